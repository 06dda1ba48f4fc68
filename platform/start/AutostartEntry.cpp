#include "platform/start/AutostartEntry.h"

#include "platform/core/FileDescriptor.h"
#include "platform/core/NativePath.h"
#include "platform/core/XdgFolders.h"
#include "platform/start/ProcessStart.h"

#include <glib.h>

#include <cerrno>
#include <memory>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velkora {

namespace {

const char *const Group = G_KEY_FILE_DESKTOP_GROUP;
constexpr QLatin1String Suffix(".desktop");
// Far beyond any real entry; a bigger file is no entry the session would read either.
constexpr qsizetype MaxEntrySize = 1 << 20;

bool present(const QString &path)
{
    struct stat st;
    return ::lstat(pathToNative(path).constData(), &st) == 0;
}

QStringList currentDesktops()
{
    QStringList desktops;
    for (const QByteArray &desktop : qgetenv("XDG_CURRENT_DESKTOP").split(':')) {
        if (!desktop.isEmpty())
            desktops.append(QString::fromUtf8(desktop));
    }
    return desktops;
}

// GLib's rule: the first current desktop that either list names decides;
// where neither names one, an OnlyShowIn list leaves the entry out.
bool shownHere(GKeyFile *keys)
{
    g_auto(GStrv) only = g_key_file_get_string_list(keys, Group, "OnlyShowIn", nullptr, nullptr);
    g_auto(GStrv) notShown = g_key_file_get_string_list(keys, Group, "NotShowIn", nullptr, nullptr);
    const QStringList desktops = currentDesktops();
    for (const QString &desktop : desktops) {
        const QByteArray name = desktop.toUtf8();
        if (only && g_strv_contains(only, name.constData()))
            return true;
        if (notShown && g_strv_contains(notShown, name.constData()))
            return false;
    }
    return !only;
}

int delayOf(GKeyFile *keys)
{
    for (const char *key : {"X-GNOME-Autostart-Delay", "X-MATE-Autostart-Delay"}) {
        g_autoptr(GError) error = nullptr;
        const int delay = g_key_file_get_integer(keys, Group, key, &error);
        if (!error)
            return delay;
    }
    return -1;
}

void readKeys(GKeyFile *keys, AutostartEntry &entry)
{
    const auto flag = [keys](const char *key) {
        return g_key_file_get_boolean(keys, Group, key, nullptr) != FALSE;
    };
    const auto text = [keys](const char *key) {
        g_autofree gchar *value = g_key_file_get_string(keys, Group, key, nullptr);
        return QString::fromUtf8(value);
    };
    entry.hidden = flag(G_KEY_FILE_DESKTOP_KEY_HIDDEN);
    // Only an explicit "false" switches it off; a missing or odd value leaves it on.
    g_autoptr(GError) error = nullptr;
    entry.switchedOff
        = !g_key_file_get_boolean(keys, Group, "X-GNOME-Autostart-enabled", &error) && !error;
    entry.otherDesktop = !shownHere(keys);
    const QString tryExec = text(G_KEY_FILE_DESKTOP_KEY_TRY_EXEC);
    entry.notInstalled = !tryExec.isEmpty() && findProgram(tryExec).isEmpty();
    entry.command = text(G_KEY_FILE_DESKTOP_KEY_EXEC);
    entry.runnable = text(G_KEY_FILE_DESKTOP_KEY_TYPE) == QLatin1String("Application")
        && (!entry.command.trimmed().isEmpty() || flag(G_KEY_FILE_DESKTOP_KEY_DBUS_ACTIVATABLE));
    entry.taken = flag(TakenKey);
    entry.copy = flag(CopyKey);
    g_autofree gchar *name
        = g_key_file_get_locale_string(keys, Group, G_KEY_FILE_DESKTOP_KEY_NAME, nullptr, nullptr);
    entry.name = QString::fromUtf8(name);
    entry.delay = delayOf(keys);
}

AutostartEntry readEntry(const QString &desktopId, const QString &file, bool system)
{
    AutostartEntry entry;
    entry.desktopId = desktopId;
    entry.file = file;
    entry.system = system;
    QByteArray bytes;
    g_autoptr(GKeyFile) keys = g_key_file_new();
    entry.readable = readEntryFile(file, &bytes)
        && g_key_file_load_from_data(keys, bytes.constData(), gsize(bytes.size()), G_KEY_FILE_NONE,
                                     nullptr)
        && g_key_file_has_group(keys, Group);
    if (entry.readable)
        readKeys(keys, entry);
    return entry;
}

// Names as bytes: a file name that is not UTF-8 still is an entry.
QStringList desktopIdsIn(const QString &folder)
{
    const auto close = [](DIR *opened) { ::closedir(opened); };
    const std::unique_ptr<DIR, decltype(close)> dir(::opendir(pathToNative(folder).constData()),
                                                    close);
    QStringList ids;
    while (const dirent *found = dir ? ::readdir(dir.get()) : nullptr) {
        const QString name = pathFromNative(found->d_name);
        if (!name.startsWith(u'.') && name.endsWith(Suffix) && name.size() > Suffix.size())
            ids.append(name.chopped(Suffix.size()));
    }
    return ids;
}

} // namespace

QStringList autostartFolders()
{
    QStringList folders {configHome() + QLatin1String("/autostart")};
    const QStringList dirs = configDirs();
    for (const QString &dir : dirs)
        folders.append(dir + QLatin1String("/autostart"));
    folders.removeDuplicates();
    return folders;
}

QString userAutostartFile(const QString &desktopId)
{
    return configHome() + QLatin1String("/autostart/") + desktopId + Suffix;
}

QString systemAutostartFile(const QString &desktopId)
{
    const QStringList folders = autostartFolders().mid(1);
    for (const QString &folder : folders) {
        if (const QString file = folder + u'/' + desktopId + Suffix; present(file))
            return file;
    }
    return {};
}

AutostartEntry findAutostartEntry(const QString &desktopId)
{
    const QStringList folders = autostartFolders();
    for (qsizetype i = 0; i < folders.size(); ++i) {
        if (const QString file = folders.at(i) + u'/' + desktopId + Suffix; present(file))
            return readEntry(desktopId, file, i > 0);
    }
    AutostartEntry none;
    none.desktopId = desktopId;
    return none;
}

QList<AutostartEntry> autostartEntries()
{
    QStringList ids;
    const QStringList folders = autostartFolders();
    for (const QString &folder : folders)
        ids += desktopIdsIn(folder);
    ids.removeDuplicates();
    ids.sort();
    QList<AutostartEntry> entries;
    for (const QString &id : std::as_const(ids))
        entries.append(findAutostartEntry(id));
    return entries;
}

bool readEntryFile(const QString &path, QByteArray *bytes, int *errorNumber)
{
    const auto fail = [errorNumber](int error) {
        if (errorNumber)
            *errorNumber = error;
        return false;
    };
    const FileDescriptor file(
        ::open(pathToNative(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat st;
    if (file.get() < 0 || ::fstat(file.get(), &st) != 0)
        return fail(errno);
    if (!S_ISREG(st.st_mode))
        return fail(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    return readToEnd(file.get(), st.st_size, MaxEntrySize, bytes) || fail(errno);
}

} // namespace velkora
