#pragma once
// The session's own autostart entries, read as the session reads them at
// login: a file in the user's folder overrides the system folders' files of
// the same name, and an entry runs unless Hidden, X-GNOME-Autostart-enabled,
// OnlyShowIn/NotShowIn or a missing TryExec say otherwise. Pure reading, as
// DesktopEntry: the session side (platform/session) changes the files.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace velkora {

// Velkora's marks in an entry it took over from the session: the entry is
// hidden by Velkora, and (the copy key) the file is a user copy that Velkora
// wrote of a system entry.
inline constexpr char TakenKey[] = "X-Velkora-Taken";
inline constexpr char CopyKey[] = "X-Velkora-Copy";

struct AutostartEntry {
    QString desktopId; // the file name without ".desktop"
    QString file; // the file the session reads for that name; empty: there is none
    bool system = false; // from a $XDG_CONFIG_DIRS folder, the user having none of that name
    bool readable = false; // a key file with a [Desktop Entry] group
    bool hidden = false; // Hidden=true
    bool switchedOff = false; // X-GNOME-Autostart-enabled=false
    bool otherDesktop = false; // OnlyShowIn/NotShowIn leave out $XDG_CURRENT_DESKTOP
    bool notInstalled = false; // its TryExec is not found
    bool runnable = false; // an application with an Exec, or D-Bus activatable
    bool taken = false; // marked as taken over by Velkora
    bool copy = false; // marked as Velkora's user copy of a system entry
    QString name; // the localized Name
    QString command; // Exec as the file has it, unescaped
    int delay = -1; // X-GNOME-Autostart-Delay, else X-MATE-Autostart-Delay; -1: neither

    /// True when the session starts it at login.
    bool sessionStarts() const
    {
        return readable && runnable && !hidden && !switchedOff && !otherDesktop && !notInstalled;
    }
};

/// $XDG_CONFIG_HOME/autostart, then each $XDG_CONFIG_DIRS/autostart: the
/// user's folder first, as the session ranks them.
QStringList autostartFolders();

/// $XDG_CONFIG_HOME/autostart/<desktopId>.desktop, whether it is there or not.
QString userAutostartFile(const QString &desktopId);

/// The first file of that desktop id in a $XDG_CONFIG_DIRS folder; empty when
/// none has one.
QString systemAutostartFile(const QString &desktopId);

/// The entry the session reads for desktopId; its file is empty when no
/// folder has one. A name in the user's folder hides the system files even
/// when it cannot be read.
AutostartEntry findAutostartEntry(const QString &desktopId);

/// Every entry the session reads, one per file name, sorted by desktop id.
QList<AutostartEntry> autostartEntries();

/// The bytes of an entry file: a regular file (links followed) of at most
/// 1 MiB, opened without waiting on a FIFO. False with errno otherwise.
[[nodiscard]] bool readEntryFile(const QString &path, QByteArray *bytes,
                                 int *errorNumber = nullptr);

} // namespace velkora
