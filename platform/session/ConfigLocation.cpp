#include "platform/session/ConfigLocation.h"

#include "platform/core/NativePath.h"
#include "platform/core/XdgFolders.h"

#include <QDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velkora {

namespace {

bool isBelow(const QString &path, const QLatin1String &folder)
{
    return path == folder || path.startsWith(folder + QLatin1Char('/'));
}

bool pathExists(const QString &path)
{
    struct stat st;
    return ::lstat(pathToNative(path).constData(), &st) == 0;
}

} // namespace

bool folderKeepsConfig(const QString &folder)
{
    const QString clean = QDir::cleanPath(folder);
    if (isBelow(clean, QLatin1String("/usr")) && !isBelow(clean, QLatin1String("/usr/local")))
        return false;
    return ::faccessat(AT_FDCWD, pathToNative(clean).constData(), W_OK | X_OK, AT_EACCESS) == 0;
}

QString configFilePath(const QString &folder, const QString &baseName)
{
    const QString name = baseName + QLatin1String(".ini");
    const QString beside = folder + QLatin1Char('/') + name;
    if (pathExists(beside) || folderKeepsConfig(folder))
        return beside;
    return configHome() + QLatin1String("/velkora/") + name;
}

} // namespace velkora
