#include "app/Startup.h"

#include "config/ModeFile.h"
#include "platform/Runtime.h"
#include "platform/core/Log.h"
#include "platform/core/NativePath.h"
#include "platform/session/ConfigLocation.h"
#include "ui/config/frmConfig.h"
#include "ui/runner/frmAuto.h"

#include <QFileInfo>
#include <QMutex>

#include <cstdio>
#include <cstdlib>

namespace Startup {

Mode modeOf(const QString &argumentText)
{
    const QString head = argumentText.left(2).toLower();
    if (head == QLatin1String("/c"))
        return Mode::Configuration;
    if (head == QLatin1String("/?"))
        return Mode::Usage;
    return Mode::Automatic;
}

QString usageText()
{
    // The example names the Windows file on purpose: users know the program by it.
    return QStringLiteral("Zum Konfigurieren starten Sie das Programm mit /config\r\n"
                          "z.B. : Velkora.exe /config");
}

namespace {

// The usage message as a terminal shows it.
QByteArray usageLines()
{
    return usageText().replace(QLatin1String("\r\n"), QLatin1String("\n")).toUtf8() + '\n';
}

QByteArray helpText(const QString &program, const QString &listFile)
{
    const QString usage = QStringLiteral(
        "Aufruf: %1 [/config | /? | -h | --help | --version]\n"
        "\n"
        "Startet die Programme einer Liste nacheinander, jedes nach seiner eigenen\n"
        "Wartezeit, in einem kleinen Countdown-Fenster (\"Autostart\"). Ein Doppelklick\n"
        "auf den Rand des Fensters bricht ab. Es läuft immer nur ein Exemplar.\n"
        "\n"
        "  ohne Argument  Countdown: startet die Programme der Liste\n"
        "  /config        Konfigurationsfenster: die Liste bearbeiten und speichern\n"
        "                 (jedes Argument, das mit /c beginnt)\n"
        "  /?             kurzer Hinweis, wie die Konfiguration geöffnet wird\n"
        "  -h, --help     diese Hilfe\n"
        "  --version      Name und Version\n"
        "\n");
    const QString place = QStringLiteral(
        "(neben dem Programm, wenn sie dort liegt oder der Ordner beschreibbar ist,\n"
        "sonst in $XDG_CONFIG_HOME/velkora/, meist also ~/.config/velkora/)\n");
    return usage.arg(program).toUtf8() + "Die Liste: " + velkora::pathToNative(listFile) + '\n'
        + place.toUtf8();
}

struct HeldLine {
    QtMsgType type;
    QByteArray category;
    QString message;
};

// Never freed: a thread of Qt's may still be logging when the search ends.
struct SearchState {
    QtMessageHandler previous = nullptr;
    Startup::Mode mode = Startup::Mode::Automatic;
    QMutex mutex;
    QList<HeldLine> lines;
};

SearchState &searchState()
{
    static SearchState state;
    return state;
}

void passOn(QtMessageHandler handler, const HeldLine &line)
{
    const QMessageLogContext context(nullptr, 0, nullptr, line.category.constData());
    handler(line.type, context, line.message);
}

void holdBack(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    SearchState &state = searchState();
    const QMutexLocker lock(&state.mutex);
    if (type != QtFatalMsg) {
        state.lines.append({type, context.category, message});
        return;
    }
    // No display that Qt can use; it would abort and blame its installation.
    if (state.mode == Startup::Mode::Usage) {
        const QByteArray usage = usageLines();
        std::fwrite(usage.constData(), 1, size_t(usage.size()), stdout);
        std::fflush(stdout);
        std::_Exit(0);
    }
    const QString reason = (state.lines.isEmpty() ? message : state.lines.constFirst().message)
                               .section(u'\n', 0, 0)
                               .trimmed();
    passOn(state.previous,
           {QtWarningMsg, velkora::lcSession().categoryName(),
            QStringLiteral("no display found: %1 (DISPLAY \"%2\", WAYLAND_DISPLAY \"%3\")")
                .arg(reason, qEnvironmentVariable("DISPLAY"),
                     qEnvironmentVariable("WAYLAND_DISPLAY"))});
    std::fflush(stderr);
    std::_Exit(1);
}

} // namespace

QByteArray terminalAnswer(const QStringList &arguments)
{
    const QString first = arguments.value(1);
    if (first == QLatin1String("--version"))
        return "Velkora " + QByteArray::number(VELKORA_VERSION_MAJOR) + '.'
            + QByteArray::number(VELKORA_VERSION_MINOR) + '.'
            + QByteArray::number(VELKORA_VERSION_PATCH) + '\n';
    if (first != QLatin1String("--help") && first != QLatin1String("-h"))
        return {};
    const velkora::AppInfo app = velkora::applicationInfo();
    return helpText(QFileInfo(arguments.value(0)).fileName(),
                    velkora::configFilePath(app.folder, app.baseName));
}

void beginDisplaySearch(const QStringList &arguments)
{
    SearchState &state = searchState();
    state.mode = modeOf(arguments.mid(1).join(u' '));
    state.previous = qInstallMessageHandler(holdBack);
}

void endDisplaySearch()
{
    SearchState &state = searchState();
    const QMutexLocker lock(&state.mutex);
    qInstallMessageHandler(state.previous);
    for (const HeldLine &line : std::as_const(state.lines))
        passOn(state.previous, line);
    state.lines.clear();
}

QString notAnsweringText(const QString &title)
{
    return title
        + QStringLiteral(" läuft bereits, antwortet aber nicht.\r\n"
                         "Bitte beenden Sie das laufende Programm und starten Sie es erneut.");
}

std::optional<int> ActivatePreviousInstance(velkora::Runtime &runtime)
{
    if (!runtime.previousInstance())
        return std::nullopt;
    // Our own title goes first, so that nothing of ours can be taken for the
    // earlier copy.
    const QString title = runtime.appTitle();
    runtime.setAppTitle(QString());
    if (runtime.activateFirstCopy())
        return 0;
    // A stopped or hung first copy: without a word the user would see
    // nothing happen at all.
    qCWarning(velkora::lcSession, "%s runs already but does not answer", qUtf8Printable(title));
    runtime.setAppTitle(runtime.appInfo().baseName);
    runtime.messageBox(notAnsweringText(title));
    return 1;
}

// Beside the executable where it is or may be kept there; otherwise (a
// package in /usr) in the user's configuration folder. The line tells the
// user, and the journal, which file this run uses.
QString InitIniPath(const velkora::AppInfo &appInfo)
{
    const QString IniFilePath = velkora::configFilePath(appInfo.folder, appInfo.baseName);
    qCInfo(velkora::lcConfig, "list file %s", velkora::pathToNative(IniFilePath).constData());
    return IniFilePath;
}

void fxAutoProg(velkora::Runtime &runtime, const velkora::ProgramList &table)
{
    frmAuto runner(runtime, table);
    runner.runModal();
}

std::unique_ptr<frmConfig> run(velkora::Runtime &runtime)
{
    if (const std::optional<int> status = ActivatePreviousInstance(runtime)) {
        runtime.endProgram(*status);
        return nullptr;
    }
    const QString IniFilePath = InitIniPath(runtime.appInfo());
    const velkora::ProgramList table = ModeFile::LoadProgramTable(IniFilePath);

    switch (modeOf(runtime.argumentText())) {
    case Mode::Configuration: {
        auto window = std::make_unique<frmConfig>(runtime, IniFilePath);
        window->setWindowTitle(runtime.appInfo().baseName);
        window->FillProgramList(table);
        return window;
    }
    case Mode::Usage:
        runtime.messageBox(usageText());
        break;
    case Mode::Automatic:
        if (velkora::runsAsRoot())
            qCWarning(velkora::lcStart,
                      "running as root: every program of the list starts as root too");
        fxAutoProg(runtime, table);
        break;
    }
    runtime.endProgram();
    return nullptr;
}

} // namespace Startup
