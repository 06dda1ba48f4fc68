#include "app/BuiltinIconStyle.h"
#include "app/DeferredAppIcon.h"
#include "app/DesktopRuntime.h"
#include "app/DestroyedWindowFilter.h"
#include "app/Startup.h"
#include "platform/session/AppInfo.h"
#include "platform/session/SingleInstance.h"
#include "platform/start/ProcessStart.h"
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
    // The mode test must see the arguments as they were given, so Qt gets
    // none of them and removes none of its own options (-reverse, -title,
    // -display ...); its settings come from the environment instead. The
    // launcher's activation token is taken before Qt consumes it: a second
    // copy hands it on to the first.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    QString activationToken = qEnvironmentVariable("XDG_ACTIVATION_TOKEN");
    if (activationToken.isEmpty())
        activationToken = qEnvironmentVariable("DESKTOP_STARTUP_ID");
    static int qtArgc = 1;
    static char *qtArgv[] = {argv[0], nullptr};

    QApplication app(qtArgc, qtArgv);
    QApplication::setStyle(new velkora::BuiltinIconStyle);
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
    QTranslator qtGerman;
    if (qtGerman.load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"),
                      QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtGerman);
    velkora::DestroyedWindowFilter destroyedWindows;
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        app.installNativeEventFilter(&destroyedWindows);

    velkora::DesktopRuntime runtime(arguments, activationToken);
    QObject::connect(runtime.singleInstance(), &velkora::SingleInstance::activationRequested, &app,
                     &velkora::bringOwnWindowForward);

    const std::unique_ptr<frmConfig> window = Startup::run(runtime);
    if (window) {
        window->show();
        runtime.endProgram(QApplication::exec());
    }
    return 0;
}
