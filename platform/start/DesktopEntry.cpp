#include "platform/start/DesktopEntry.h"

#include "platform/core/FileDescriptor.h"
#include "platform/core/NativePath.h"
#include "platform/core/XdgFolders.h"

#include <glib.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velkora {

namespace {

QStringList dataFolders()
{
    return QStringList {dataHome()} + dataDirs();
}

constexpr qint64 MaxEntrySize = 1024 * 1024;

// A folder as the file system knows it, whatever path led there.
using FolderId = std::pair<dev_t, ino_t>;

FolderId folderId(const struct stat &st)
{
    return {st.st_dev, st.st_ino};
}

// One folder to look in: how many bytes of the id the path to it stands for,
// and the folders on that path, this one last.
struct Visit {
    QByteArray folder;
    qsizetype used = 0;
    std::vector<FolderId> path;
};

std::vector<QByteArray> entryNames(const QByteArray &folder)
{
    std::vector<QByteArray> names;
    const std::unique_ptr<DIR, int (*)(DIR *)> dir(::opendir(folder.constData()), ::closedir);
    while (const dirent *entry = dir ? ::readdir(dir.get()) : nullptr) {
        const QByteArrayView name(entry->d_name);
        if (name != "." && name != "..")
            names.push_back(name.toByteArray());
    }
    return names;
}

// The subfolders whose name and a "-" begin the rest of the id, the longest
// first, so that the shortest comes off the stack first. A link back to a
// folder on the path is a loop, and left out.
std::vector<Visit> visitsBelow(const Visit &visit, QByteArrayView rest,
                               const std::vector<QByteArray> &names)
{
    std::vector<Visit> below;
    for (const QByteArray &name : names) {
        struct stat st;
        if (rest.size() <= name.size() + 1 || !rest.startsWith(name) || rest[name.size()] != '-')
            continue;
        const QByteArray sub = visit.folder + '/' + name;
        if (::stat(sub.constData(), &st) != 0 || !S_ISDIR(st.st_mode)
            || std::find(visit.path.begin(), visit.path.end(), folderId(st)) != visit.path.end())
            continue;
        below.push_back({sub, visit.used + name.size() + 1, visit.path});
        below.back().path.push_back(folderId(st));
    }
    std::sort(below.begin(), below.end(),
              [](const Visit &a, const Visit &b) { return a.used > b.used; });
    return below;
}

// "vendor-app.desktop" may be vendor-app.desktop or vendor/app.desktop. Depth
// first, as the splits would be tried one after another, but a folder reached
// again with the same rest of the id (through links) is not walked again:
// what it did not hold the first time, it does not hold now.
QString findIn(const QByteArray &root, const QByteArray &id)
{
    struct stat st;
    if (::stat(root.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return {};
    std::vector<Visit> stack {{root, 0, {folderId(st)}}};
    std::set<std::pair<FolderId, qsizetype>> visited;
    std::map<FolderId, std::vector<QByteArray>> names; // read once per folder
    while (!stack.empty()) {
        const Visit visit = std::move(stack.back());
        stack.pop_back();
        if (!visited.insert({visit.path.back(), visit.used}).second)
            continue;
        const QByteArrayView rest = QByteArrayView(id).sliced(visit.used);
        const QByteArray file = visit.folder + '/' + rest.toByteArray();
        if (::stat(file.constData(), &st) == 0 && S_ISREG(st.st_mode))
            return pathFromNative(file);
        if (!rest.contains('-'))
            continue;
        auto [known, fresh] = names.try_emplace(visit.path.back());
        if (fresh)
            known->second = entryNames(visit.folder);
        for (Visit &below : visitsBelow(visit, rest, known->second))
            stack.push_back(std::move(below));
    }
    return {};
}

// File and URL codes get nothing: the entry is started without files.
QStringList expandFieldCodes(const QStringList &words, const QString &name, const QString &icon,
                             const QString &path)
{
    QStringList argv;
    for (const QString &word : words) {
        if (word == QLatin1String("%i")) {
            if (!icon.isEmpty())
                argv << QStringLiteral("--icon") << icon;
            continue;
        }
        QString expanded;
        bool dropped = false;
        for (qsizetype i = 0; i < word.size(); ++i) {
            if (word.at(i) != u'%' || i + 1 == word.size()) {
                expanded += word.at(i);
                continue;
            }
            const QChar code = word.at(++i);
            if (code == u'%')
                expanded += u'%';
            else if (code == u'c')
                expanded += name;
            else if (code == u'k')
                expanded += path;
            else
                dropped = true;
        }
        if (!dropped || !expanded.isEmpty())
            argv.append(expanded);
    }
    return argv;
}

DesktopEntry brokenEntry(int errorNumber, EntryProblem problem)
{
    DesktopEntry entry;
    entry.errorNumber = errorNumber;
    entry.problem = problem;
    return entry;
}

// The file's bytes, up to the limit: what is no regular file, or larger, is
// refused before it is read, and one that grows meanwhile at the limit.
DesktopEntry readLimited(const QString &path, QByteArray *bytes)
{
    // O_NONBLOCK: a FIFO in the entry's place must not hold up the start.
    const FileDescriptor fd(
        ::open(pathToNative(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat st;
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0)
        return brokenEntry(errno, EntryProblem::None);
    if (S_ISDIR(st.st_mode))
        return brokenEntry(EISDIR, EntryProblem::None);
    if (!S_ISREG(st.st_mode))
        return brokenEntry(ENOEXEC, EntryProblem::NotAnEntry);
    if (st.st_size > MaxEntrySize)
        return brokenEntry(EFBIG, EntryProblem::TooLarge);
    if (!readToEnd(fd.get(), st.st_size, MaxEntrySize, bytes))
        return errno == EFBIG ? brokenEntry(EFBIG, EntryProblem::TooLarge)
                              : brokenEntry(errno, EntryProblem::None);
    return {};
}

DesktopEntry readKeyFile(GKeyFile *file, const QString &path, bool evenHidden)
{
    const char *const group = G_KEY_FILE_DESKTOP_GROUP;
    if (!g_key_file_has_group(file, group))
        return brokenEntry(ENOEXEC, EntryProblem::NotAnEntry);
    const auto text = [file, group](const char *key, bool localized = false) {
        g_autofree gchar *value = localized
            ? g_key_file_get_locale_string(file, group, key, nullptr, nullptr)
            : g_key_file_get_string(file, group, key, nullptr);
        return QString::fromUtf8(value);
    };
    const auto flag = [file, group](const char *key) {
        return g_key_file_get_boolean(file, group, key, nullptr) != FALSE;
    };
    const QString type = text(G_KEY_FILE_DESKTOP_KEY_TYPE);
    if (!evenHidden && flag(G_KEY_FILE_DESKTOP_KEY_HIDDEN))
        return brokenEntry(ENOENT, EntryProblem::Hidden);
    if (type == QLatin1String(G_KEY_FILE_DESKTOP_TYPE_LINK))
        return brokenEntry(ENOEXEC, EntryProblem::Link);
    if (!type.isEmpty() && type != QLatin1String(G_KEY_FILE_DESKTOP_TYPE_APPLICATION))
        return brokenEntry(ENOEXEC, EntryProblem::NotApplication);

    const QString exec = text(G_KEY_FILE_DESKTOP_KEY_EXEC);
    if (exec.toUtf8().trimmed().isEmpty())
        return brokenEntry(ENOEXEC, EntryProblem::NoExec);
    QStringList split;
    if (!splitWords(exec, &split) || split.isEmpty()) // a comment alone is no command either
        return brokenEntry(EINVAL, EntryProblem::BadExec);

    DesktopEntry entry;
    entry.exec = expandFieldCodes(split, text(G_KEY_FILE_DESKTOP_KEY_NAME, true),
                                  text(G_KEY_FILE_DESKTOP_KEY_ICON), path);
    if (entry.exec.isEmpty())
        return brokenEntry(ENOEXEC, EntryProblem::NoExec);
    entry.tryExec = text(G_KEY_FILE_DESKTOP_KEY_TRY_EXEC);
    entry.workingFolder = text(G_KEY_FILE_DESKTOP_KEY_PATH);
    entry.terminal = flag(G_KEY_FILE_DESKTOP_KEY_TERMINAL);
    entry.dbusActivatable = flag(G_KEY_FILE_DESKTOP_KEY_DBUS_ACTIVATABLE);
    return entry;
}

} // namespace

bool splitWords(const QString &text, QStringList *words)
{
    words->clear();
    int argc = 0;
    g_auto(GStrv) argv = nullptr;
    g_autoptr(GError) error = nullptr;
    if (!g_shell_parse_argv(text.toUtf8().constData(), &argc, &argv, &error))
        return g_error_matches(error, G_SHELL_ERROR, G_SHELL_ERROR_EMPTY_STRING);
    for (int i = 0; i < argc; ++i)
        words->append(QString::fromUtf8(argv[i]));
    return true;
}

QString findDesktopFile(const QString &desktopId)
{
    if (desktopId.isEmpty() || desktopId.contains(u'/') || desktopId.contains(QChar(0)))
        return {};
    const QByteArray id = pathToNative(desktopId);
    const QStringList folders = dataFolders();
    for (const QString &folder : folders) {
        if (const QString found
            = findIn(pathToNative(folder + QStringLiteral("/applications")), id);
            !found.isEmpty())
            return found;
    }
    return {};
}

DesktopEntry readDesktopEntry(const QString &path, bool evenHidden)
{
    QByteArray bytes;
    if (DesktopEntry refused = readLimited(path, &bytes); refused.errorNumber != 0)
        return refused;
    g_autoptr(GKeyFile) file = g_key_file_new();
    if (!g_key_file_load_from_data(file, bytes.constData(), gsize(bytes.size()), G_KEY_FILE_NONE,
                                   nullptr))
        return brokenEntry(ENOEXEC, EntryProblem::NotAnEntry);
    return readKeyFile(file, path, evenHidden);
}

} // namespace velkora
