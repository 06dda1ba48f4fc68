#pragma once
// Changing the session's autostart files as little as possible: keys set or
// removed with GLib's key-file reader, which keeps every other key, group,
// comment and translation; several files changed all or none, as far as the
// file system allows. The login entry and the takeover both change files
// through here.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

namespace velkora {

struct KeyChanges {
    QList<std::pair<const char *, QByteArray>> set; // values as the file holds them (escaped)
    QList<const char *> remove;
};

/// The bytes of entryFile with keys of its [Desktop Entry] group set and
/// removed; the file's own bytes when that changes nothing. nullopt, with a
/// German reason naming the file, when it cannot be read or is no desktop
/// entry.
[[nodiscard]] std::optional<QByteArray> changedEntry(const QString &entryFile,
                                                     const KeyChanges &changes, QString *error);

struct FileChange {
    QString path;
    std::optional<QByteArray> bytes; // the new content; nullopt: the file is removed
};

/// Writes each file (atomically, through a symbolic link, the folders made
/// where missing) or removes it; a file that would not change is left alone.
/// Every file and folder is checked before anything changes, and what a later
/// failure leaves half done is put back. False with a German reason naming
/// the file or folder. checkOnly: the check alone, nothing changed.
[[nodiscard]] bool applyChanges(const QList<FileChange> &changes, QString *error,
                                bool checkOnly = false);

/// The path with every link, "." and ".." resolved; empty when it leads nowhere.
QString canonicalPath(const QString &path);

/// True when the entry file runs executable (canonical paths compared),
/// Hidden or not; arguments gets what it passes, field codes expanded.
bool runsExecutable(const QString &entryFile, const QString &executable,
                    QStringList *arguments = nullptr);

} // namespace velkora
