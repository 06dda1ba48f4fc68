#include "platform/ConfigLocation.h"

#include "platform/NativePath.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velkora {

namespace {

QString homeFolder()
{
    const QByteArray home = qgetenv("HOME");
    if (home.startsWith('/'))
        return pathFromNative(home);
    // A session without HOME (some service managers) still has a passwd entry.
    if (const passwd *entry = ::getpwuid(::geteuid()); entry && entry->pw_dir)
        return pathFromNative(entry->pw_dir);
    return QStringLiteral("/");
}

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

namespace {

// The XDG rules ignore a relative path in the variable.
QString xdgHome(const char *variable, QLatin1String belowHome)
{
    const QByteArray xdg = qgetenv(variable);
    if (xdg.startsWith('/'))
        return QDir::cleanPath(pathFromNative(xdg));
    return QDir::cleanPath(homeFolder() + belowHome);
}

} // namespace

QString configHome()
{
    return xdgHome("XDG_CONFIG_HOME", QLatin1String("/.config"));
}

QString dataHome()
{
    return xdgHome("XDG_DATA_HOME", QLatin1String("/.local/share"));
}

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

bool makeFolderFor(const QString &filePath, int *errorNumber)
{
    const QString folder = QFileInfo(filePath).absolutePath();
    struct stat st;
    if (::stat(pathToNative(folder).constData(), &st) == 0 && S_ISDIR(st.st_mode))
        return true; // as at almost every save
    const QStringList parts = folder.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString path;
    for (const QString &part : parts) {
        path += QLatin1Char('/') + part;
        const QByteArray name = pathToNative(path);
        if (::mkdir(name.constData(), 0700) == 0)
            continue;
        const int error = errno;
        // EEXIST says nothing about a file in the way, and some file systems
        // answer EACCES or EROFS for a folder that exists.
        if (::stat(name.constData(), &st) == 0 && S_ISDIR(st.st_mode))
            continue;
        if (errorNumber)
            *errorNumber = error == EEXIST ? ENOTDIR : error;
        return false;
    }
    return true;
}

} // namespace velkora
