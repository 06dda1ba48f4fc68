#include "app/Startup.h"

#include "config/ModeFile.h"
#include "platform/Runtime.h"
#include "platform/core/Log.h"
#include "platform/core/NativePath.h"
#include "platform/session/ConfigLocation.h"
#include "ui/config/frmConfig.h"
#include "ui/runner/frmAuto.h"

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
    qCWarning(velkora::lcSession, "%ls runs already but does not answer", qUtf16Printable(title));
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
        fxAutoProg(runtime, table);
        break;
    }
    runtime.endProgram();
    return nullptr;
}

} // namespace Startup
