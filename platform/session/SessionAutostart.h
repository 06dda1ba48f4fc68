#pragma once
// The programs that the session itself starts at login, all at once, and
// Velkora's way of taking them into its own list: it hides the session's
// entry (marked as its own change) and gives it back, marks gone, when the
// program has left the list. Velkora's list holds a taken entry as
// "<desktop id>.desktop", which the program start resolves to the entry.

#include <QList>
#include <QString>
#include <QStringList>

namespace velkora {

struct SessionEntry {
    QString desktopId; // the file name without ".desktop"
    QString file; // the file the session reads
    QString name; // the localized Name; the desktop id where there is none
    QString command; // Exec; empty for an entry that only D-Bus activation starts
    int seconds = 10; // its delay where one of 2 to 60 is set, else 10
    bool system = false; // from a $XDG_CONFIG_DIRS folder rather than the user's
};

namespace SessionAutostart {

/// The entries the session starts at login for this user, as it reads them,
/// sorted by desktop id; those that run executable (Velkora itself) left out.
QList<SessionEntry> loginEntries(const QString &executable);

/// Stops the session from starting these entries: a user entry gets
/// Hidden=true in place, a system entry a user copy with Hidden=true, each
/// marked as Velkora's change. For after a saved "Exit" only. An id that the
/// session does not start is passed over. All or nothing: false, with a
/// German reason naming the file or folder, when one cannot be changed or
/// has no command Velkora could run, and then nothing is changed.
/// checkOnly: whether it could, nothing changed.
[[nodiscard]] bool takeOver(const QStringList &desktopIds, QString *error, bool checkOnly = false);

/// Undoes the takeover of every entry whose desktop id no longer stands in
/// the list (listCommands: the command texts of the saved list): the user
/// entry loses Velkora's keys, Velkora's copy of a system entry is removed.
/// Entries without Velkora's mark are never touched. For after a saved
/// "Exit" only; all or nothing, as takeOver.
[[nodiscard]] bool giveBack(const QStringList &listCommands, QString *error);

/// For each command text, the desktop id of an entry that the session starts
/// and that starts the same program (the same desktop id, or the same
/// executable by canonical path, arguments compared too for launchers such as
/// env or flatpak); empty where there is none.
QStringList alsoStartedBySession(const QStringList &commandTexts);

} // namespace SessionAutostart

} // namespace velkora
