#include "platform/session/AutostartFiles.h"

#include "platform/core/Log.h"
#include "platform/core/NativePath.h"
#include "platform/core/XdgFolders.h"
#include "platform/ini/IniFile.h"
#include "platform/start/AutostartEntry.h"
#include "platform/start/ProcessStart.h"

#include <QFileInfo>

#include <glib.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velkora {

namespace {

const char *const Group = G_KEY_FILE_DESKTOP_GROUP;

// The German reason for the window, and the line on record.
QString changeFailure(int errorNumber, const QString &path,
                      EntryProblem problem = EntryProblem::None)
{
    const QString cause = problem == EntryProblem::None ? qt_error_string(errorNumber)
                                                        : QStringLiteral("no desktop entry");
    qCWarning(lcSession, "cannot change the session's autostart at \"%s\": %s",
              pathToNative(path).constData(), qUtf8Printable(cause));
    return errorDescription(errorNumber, problem) + QLatin1String(": ") + path;
}

// GLib 2.74 puts a new key after the blank and comment lines that end its
// group, which mostly belong to the next group; there the new keys would also
// pile up blank lines when they are taken out again. They go right after the
// group's last key instead, and the blank line that GLib then adds before the
// next group is dropped, so that removing them gives the old bytes back.
QByteArray newKeysAfterLastKey(const QByteArray &data, const QByteArray &firstNewKey,
                               qsizetype added)
{
    if (added == 0)
        return data;
    QList<QByteArray> lines = data.chopped(data.endsWith('\n') ? 1 : 0).split('\n');
    const qsizetype header = lines.indexOf(QByteArray('[' + QByteArray(Group) + ']'));
    qsizetype firstNew = header + 1;
    while (firstNew < lines.size() && !lines.at(firstNew).startsWith(firstNewKey + '='))
        ++firstNew;
    if (header < 0 || firstNew + added > lines.size())
        return data;
    qsizetype trailing = firstNew;
    while (trailing - 1 > header
           && (lines.at(trailing - 1).isEmpty() || lines.at(trailing - 1).startsWith('#')))
        --trailing;
    if (trailing == firstNew)
        return data;
    if (const qsizetype after = firstNew + added; after < lines.size() && lines.at(after).isEmpty())
        lines.removeAt(after);
    std::rotate(lines.begin() + trailing, lines.begin() + firstNew,
                lines.begin() + firstNew + added);
    return lines.join('\n') + '\n';
}

// Set or removed, in place, where that changes anything; the first key that is new.
QByteArray applyKeyChanges(GKeyFile *keys, const KeyChanges &changes, bool *modified,
                           qsizetype *added)
{
    QByteArray first;
    for (const auto &[key, value] : changes.set) {
        g_autofree gchar *old = g_key_file_get_value(keys, Group, key, nullptr);
        if (old && value == old)
            continue;
        if (!old && (*added)++ == 0)
            first = key;
        g_key_file_set_value(keys, Group, key, value.constData());
        *modified = true;
    }
    for (const char *key : changes.remove)
        *modified = g_key_file_remove_key(keys, Group, key, nullptr) || *modified;
    return first;
}

// errno when the change cannot be made, with the file or folder at fault.
int obstacle(const FileChange &change, QString *where)
{
    const QByteArray path = pathToNative(change.path);
    struct stat st;
    if (change.bytes && ::lstat(path.constData(), &st) == 0) {
        *where = change.path;
        // As the replacement has it: a file without any write bit stays, even for root.
        if (::stat(path.constData(), &st) == 0 && (st.st_mode & 0222) == 0)
            return EACCES;
        return ::faccessat(AT_FDCWD, path.constData(), W_OK, AT_EACCESS) == 0 ? 0 : errno;
    }
    // A new file or a removal: the folder changes, or the nearest one above
    // that exists, which then gets the missing ones.
    QString folder = QFileInfo(change.path).path();
    bool found = false;
    while (!(found = ::stat(pathToNative(folder).constData(), &st) == 0)
           && folder != QLatin1String("/"))
        folder = QFileInfo(folder).path();
    *where = folder;
    if (found && !S_ISDIR(st.st_mode))
        return ENOTDIR;
    return ::faccessat(AT_FDCWD, pathToNative(folder).constData(), W_OK | X_OK, AT_EACCESS) == 0
        ? 0
        : errno;
}

bool apply(const FileChange &change, QString *error)
{
    if (!change.bytes) {
        if (::unlink(pathToNative(change.path).constData()) == 0 || errno == ENOENT)
            return true;
        *error = changeFailure(errno, change.path);
        return false;
    }
    if (int errorNumber = 0; !makeFolderFor(change.path, &errorNumber)) {
        *error = changeFailure(errorNumber, QFileInfo(change.path).path());
        return false;
    }
    // Atomic, so that the session never reads half an entry.
    const IniIoStatus status = replaceFile(change.path, *change.bytes);
    if (!status.ok())
        *error = changeFailure(status.error, change.path);
    return status.ok();
}

} // namespace

std::optional<QByteArray> changedEntry(const QString &entryFile, const KeyChanges &changes,
                                       QString *error)
{
    QByteArray bytes;
    int errorNumber = 0;
    if (!readEntryFile(entryFile, &bytes, &errorNumber)) {
        *error = changeFailure(errorNumber, entryFile);
        return std::nullopt;
    }
    g_autoptr(GKeyFile) keys = g_key_file_new();
    if (!g_key_file_load_from_data(
            keys, bytes.constData(), gsize(bytes.size()),
            GKeyFileFlags(G_KEY_FILE_KEEP_COMMENTS | G_KEY_FILE_KEEP_TRANSLATIONS), nullptr)
        || !g_key_file_has_group(keys, Group)) {
        *error = changeFailure(ENOEXEC, entryFile, EntryProblem::NotAnEntry);
        return std::nullopt;
    }
    bool modified = false;
    qsizetype added = 0;
    const QByteArray firstNew = applyKeyChanges(keys, changes, &modified, &added);
    if (!modified)
        return bytes;
    gsize size = 0;
    g_autofree gchar *data = g_key_file_to_data(keys, &size, nullptr);
    return newKeysAfterLastKey(QByteArray(data, qsizetype(size)), firstNew, added);
}

bool applyChanges(const QList<FileChange> &changes, QString *error, bool checkOnly)
{
    QList<FileChange> needed, undo;
    for (const FileChange &change : changes) {
        QByteArray before;
        const bool existed = readEntryFile(change.path, &before);
        if (change.bytes ? existed && before == *change.bytes : !QFileInfo::exists(change.path))
            continue;
        needed.append(change);
        undo.append({change.path, existed ? std::optional(before) : std::nullopt});
    }
    for (const FileChange &change : std::as_const(needed)) {
        QString where;
        if (const int errorNumber = obstacle(change, &where); errorNumber != 0) {
            *error = changeFailure(errorNumber, where);
            return false;
        }
    }
    if (checkOnly)
        return true;
    for (qsizetype i = 0; i < needed.size(); ++i) {
        if (apply(needed.at(i), error))
            continue;
        QString ignored; // the failure above is what the user learns of
        for (qsizetype done = i - 1; done >= 0; --done)
            static_cast<void>(apply(undo.at(done), &ignored));
        return false;
    }
    return true;
}

QString canonicalPath(const QString &path)
{
    const std::unique_ptr<char, decltype(&std::free)> resolved(
        ::realpath(pathToNative(path).constData(), nullptr), &std::free);
    return resolved ? pathFromNative(resolved.get()) : QString();
}

bool runsExecutable(const QString &entryFile, const QString &executable, QStringList *arguments)
{
    const ResolvedCommand command = resolveDesktopFile(entryFile, true);
    const QString program = command.argv.isEmpty() ? QString() : canonicalPath(command.argv[0]);
    if (program.isEmpty() || program != canonicalPath(executable))
        return false;
    if (arguments)
        *arguments = command.argv.mid(1);
    return true;
}

} // namespace velkora
