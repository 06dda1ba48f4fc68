#include "app/BuiltinIconStyle.h"
#include "app/DeferredAppIcon.h"
#include "app/DesktopRuntime.h"
#include "app/DestroyedWindowFilter.h"
#include "app/Startup.h"
#include "platform/core/EndSignals.h"
#include "platform/core/Log.h"
#include "platform/core/SessionBusCheck.h"
#include "platform/session/AppInfo.h"
#include "platform/session/SingleInstance.h"
#include "platform/start/ProcessStart.h"
#include "ui/config/frmConfig.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstdio>

namespace {

// How long from the start of the process a session bus may take to answer
// before Velkora and Qt keep off it. A healthy one answers within a
// millisecond, and its answer is in before the first window is made.
constexpr int BusAnswerBudgetMs = 300;

[[nodiscard]] bool writeToStandardOutput(const QByteArray &text)
{
    const bool written
        = std::fwrite(text.constData(), 1, size_t(text.size()), stdout) == size_t(text.size());
    return std::fflush(stdout) == 0 && written;
}

void setUpApplication(QTranslator &qtGerman)
{
    QApplication::setApplicationName(QStringLiteral("Velkora"));
    QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                            .arg(VELKORA_VERSION_MAJOR)
                                            .arg(VELKORA_VERSION_MINOR)
                                            .arg(VELKORA_VERSION_PATCH));
    velkora::setAppIconAfterFirstPaint();
    // The Wayland app id. On X11 the desktop entry's StartupWMClass names the
    // window class instead, which Qt takes from the application name.
    QGuiApplication::setDesktopFileName(velkora::appId());
    // The interface is German whatever the system's language, Qt's own
    // dialogs (file chooser, message box buttons) included.
    if (qtGerman.load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"),
                      QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtGerman);
}

// Qt's accessibility bridge, platform theme and menu bar connect to the
// session bus on the window thread, synchronously, from the first window on.
void keepOffSilentBus(velkora::SessionBusCheck &bus)
{
    if (!bus.silent())
        return;
    qCWarning(velkora::lcSession,
              "the session bus at %s does not answer: Velkora and Qt keep off it; started "
              "programs still get it",
              bus.address().constData());
    velkora::leaveSessionBus();
}

} // namespace

int main(int argc, char *argv[])
{
    // Before anything opens a file: a socket that became descriptor 0 would
    // be handed on to every started program.
    velkora::ensureStandardDescriptors();
    // The mode test must see the arguments as they were given, so Qt gets
    // none of them and removes none of its own options (-reverse, -title,
    // -display ...); its settings come from the environment instead.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    if (const QByteArray answer = Startup::terminalAnswer(arguments); !answer.isEmpty())
        return writeToStandardOutput(answer) ? 0 : 1;
    velkora::installLogHandler();
    velkora::EndSignals::catchSignals();
    velkora::SessionBusCheck bus(BusAnswerBudgetMs);
    // The launcher's activation token is taken before Qt consumes it: a
    // second copy hands it on to the first.
    QString activationToken = qEnvironmentVariable("XDG_ACTIVATION_TOKEN");
    if (activationToken.isEmpty())
        activationToken = qEnvironmentVariable("DESKTOP_STARTUP_ID");
    static int qtArgc = 1;
    static char *qtArgv[] = {argv[0], nullptr};

    Startup::beginDisplaySearch(arguments);
    QApplication app(qtArgc, qtArgv);
    Startup::endDisplaySearch();
    QApplication::setStyle(new velkora::BuiltinIconStyle);
    QTranslator qtGerman;
    setUpApplication(qtGerman);
    velkora::DestroyedWindowFilter destroyedWindows;
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        app.installNativeEventFilter(&destroyedWindows);

    velkora::DesktopRuntime runtime(arguments, activationToken);
    QObject::connect(runtime.singleInstance(), &velkora::SingleInstance::activationRequested, &app,
                     &velkora::bringOwnWindowForward);
    // Ends as closing the window does: nothing more started, nothing saved.
    velkora::EndSignals endSignals;
    QObject::connect(&endSignals, &velkora::EndSignals::received, &app,
                     [&runtime] { runtime.endProgram(0); });
    keepOffSilentBus(bus);

    const std::unique_ptr<frmConfig> window = Startup::run(runtime);
    if (window) {
        window->show();
        runtime.endProgram(QApplication::exec());
    }
    return 0;
}
