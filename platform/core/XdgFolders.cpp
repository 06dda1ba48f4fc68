#include "platform/core/XdgFolders.h"

#include "platform/core/NativePath.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velkora {

namespace {

// The XDG rules ignore a relative path in the variable.
QString xdgHome(const char *variable, QLatin1String belowHome)
{
    const QByteArray xdg = qgetenv(variable);
    if (xdg.startsWith('/'))
        return QDir::cleanPath(pathFromNative(xdg));
    return QDir::cleanPath(homeFolder() + belowHome);
}

QStringList xdgDirs(const char *variable, const char *fallback)
{
    QByteArray value = qgetenv(variable);
    if (value.isEmpty())
        value = fallback;
    QStringList folders;
    for (const QByteArray &folder : value.split(':')) {
        if (folder.startsWith('/'))
            folders.append(QDir::cleanPath(pathFromNative(folder)));
    }
    return folders;
}

} // namespace

QString homeFolder()
{
    const QByteArray home = qgetenv("HOME");
    if (home.startsWith('/'))
        return pathFromNative(home);
    if (const passwd *entry = ::getpwuid(::geteuid()); entry && entry->pw_dir)
        return pathFromNative(entry->pw_dir);
    return QStringLiteral("/");
}

QString configHome()
{
    return xdgHome("XDG_CONFIG_HOME", QLatin1String("/.config"));
}

QString dataHome()
{
    return xdgHome("XDG_DATA_HOME", QLatin1String("/.local/share"));
}

QStringList configDirs()
{
    return xdgDirs("XDG_CONFIG_DIRS", "/etc/xdg");
}

QStringList dataDirs()
{
    return xdgDirs("XDG_DATA_DIRS", "/usr/local/share:/usr/share");
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
