#pragma once
// Desktop entries read the way the desktop itself launches them: found by
// desktop id through the XDG data folders, parsed with GLib's key-file
// reader, the Exec line split with shell quoting and its field codes
// expanded. Pure reading: nothing here starts, waits or talks to a bus.

#include <QString>
#include <QStringList>

namespace velkora {

// What is wrong with a desktop entry, beyond the errno reported for it.
enum class EntryProblem {
    None,
    UnknownId,
    NotAnEntry,
    NoExec,
    BadExec,
    Link,
    NotApplication,
    Hidden,
    TryExecMissing,
    ExecMissing,
    NoTerminal,
    NoWorkingFolder,
    TooLarge, // over 1 MiB: refused unread
};

struct [[nodiscard]] DesktopEntry {
    int errorNumber = 0; // errno when the entry cannot be started
    EntryProblem problem = EntryProblem::None;
    QStringList exec; // the Exec line split, field codes expanded; the program not yet looked up
    QString tryExec;
    QString workingFolder; // Path
    bool terminal = false;
    bool dbusActivatable = false;
};

/// The file of a desktop id ("org.example.App.desktop", where "-" may also
/// stand for a subfolder) in $XDG_DATA_HOME/applications, then in each
/// $XDG_DATA_DIRS/applications; the first hit wins, and within a folder the
/// file itself before the shortest subfolder. Symbolic links that lead back
/// to a folder on the way are not followed, and no folder is walked twice for
/// the same rest of the id, so the work grows with the id's length, not with
/// its ways of splitting. Empty when there is none.
QString findDesktopFile(const QString &desktopId);

/// Splits text into words by shell quoting, without any expansion. False on
/// unbalanced quotes; a text of blanks gives no words.
[[nodiscard]] bool splitWords(const QString &text, QStringList *words);

/// Reads a desktop entry; errorNumber and problem say why it cannot be started.
/// A file over 1 MiB is refused (EFBIG, TooLarge) without being read whole,
/// and a FIFO or device in its place does not block. evenHidden reads one
/// with Hidden=true as if it were shown.
DesktopEntry readDesktopEntry(const QString &path, bool evenHidden = false);

} // namespace velkora
