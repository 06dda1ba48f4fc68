#pragma once

#include <QString>

namespace velkora {

/// The program's one identity: desktop file id (without ".desktop"), AppStream
/// id, icon name and Wayland app id.
inline QString appId()
{
    return QStringLiteral(VELKORA_APP_ID);
}

struct AppInfo {
    QString folder; // folder of the resolved running executable
    QString baseName; // its file name without folder and without a trailing ".exe"
    int major = 0;
    int minor = 0;
    int revision = 0;
};

/// Application information of the running executable (/proc/self/exe, links
/// resolved) and the version from the build.
AppInfo applicationInfo();

/// The same, for a given executable path; split out so that tests can name files.
AppInfo applicationInfoFor(const QString &executablePath);

/// True when the process runs with root's rights (effective user id 0).
bool runsAsRoot();

} // namespace velkora
