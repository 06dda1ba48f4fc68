#include "config/ModGlobal.h"

#include "platform/AppInfo.h"
#include "platform/Runtime.h"

namespace ModGlobal {

QString IniFilePath;
QString ShownPath;
QString ShownName;
qint32 ShownSeconds = 0;

void resetGlobals()
{
    IniFilePath.clear();
    ShownPath.clear();
    ShownName.clear();
    ShownSeconds = 0;
}

bool ActivatePreviousInstance(velkora::Runtime &runtime)
{
    if (!runtime.previousInstance())
        return false;
    // Our own title goes first, so that the request can only find the
    // earlier copy's window, never one of ours.
    const QString title = runtime.appTitle();
    runtime.setAppTitle(QString());
    runtime.activateByTitle(title);
    return true;
}

void InitIniPath(const velkora::AppInfo &appInfo)
{
    IniFilePath = appInfo.folder + QLatin1Char('/') + appInfo.baseName + QLatin1String(".ini");
}

} // namespace ModGlobal
