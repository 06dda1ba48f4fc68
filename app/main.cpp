#include "app/DesktopRuntime.h"
#include "app/Startup.h"
#include "platform/AppInfo.h"
#include "platform/ProcessStart.h"
#include "platform/SingleInstance.h"
#include "resources/Resources.h"
#include "ui/config/frmConfig.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

int main(int argc, char *argv[])
{
    // Before anything opens a file: a socket that became descriptor 0 would
    // be handed on to every started program.
    velkora::ensureStandardDescriptors();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velkora"));
    QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                            .arg(VELKORA_VERSION_MAJOR)
                                            .arg(VELKORA_VERSION_MINOR)
                                            .arg(VELKORA_VERSION_PATCH));
    QApplication::setWindowIcon(velkora::appIcon());
    // The Wayland app id. On X11 the desktop entry's StartupWMClass names the
    // window class instead, which Qt takes from the application name.
    QGuiApplication::setDesktopFileName(velkora::appId());
    // The interface is German whatever the system's language, Qt's own
    // dialogs (file chooser, message box buttons) included.
    QTranslator qtGerman;
    if (qtGerman.load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"),
                      QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtGerman);

    velkora::DesktopRuntime runtime(QApplication::arguments());
    QObject::connect(runtime.singleInstance(), &velkora::SingleInstance::activationRequested, &app,
                     &velkora::raiseWindowTitled);

    const std::unique_ptr<frmConfig> window = Startup::run(runtime);
    if (!window)
        return 0;
    window->show();
    return QApplication::exec();
}
