#include "app/Startup.h"

#include "config/ModGlobal.h"
#include "config/ModeFile.h"
#include "platform/Runtime.h"
#include "ui/config/frmConfig.h"

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

void Form_Load(frmConfig &window, velkora::Runtime &runtime)
{
    if (ModGlobal::ActivatePreviousInstance(runtime)) {
        runtime.endProgram();
        return;
    }
    ModGlobal::InitIniPath(runtime.appInfo());
    ModeFile::LoadProgramTable();

    switch (modeOf(runtime.argumentText())) {
    case Mode::Configuration:
        window.setWindowTitle(runtime.appInfo().baseName);
        window.FillProgramList();
        return;
    case Mode::Usage:
        runtime.messageBox(usageText());
        window.close();
        runtime.endProgram();
        return;
    case Mode::Automatic:
        window.fxAutoProg();
        window.close();
        runtime.endProgram();
        return;
    }
}

} // namespace Startup
