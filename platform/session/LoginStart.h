#pragma once
// Start at login through the session's XDG autostart entries, read as the
// session reads them. A new entry comes from the same template that
// `make install-autostart` fills in, with the same quoting, so both write the
// same bytes for the same executable; an entry that is there already is
// changed only where it must be.

#include <QByteArray>
#include <QString>

namespace velkora::LoginStart {

/// $XDG_CONFIG_HOME/autostart/<application id>.desktop.
QString entryPath();

/// The entry that starts executable (an absolute path) at login; empty when
/// the path cannot be named in a desktop entry (a "%", a control character,
/// a name that is not text).
QByteArray entryFor(const QString &executable);

/// True when entryFile runs the countdown of executable, hidden or not: the
/// same file by canonical path (a bare name looked up in PATH), with no
/// arguments or with ones that select neither another mode nor --help,
/// -h or --version.
bool runsCountdown(const QString &entryFile, const QString &executable);

/// True when the session will run the countdown of executable at login: an
/// entry that it starts runs it. Read as the session reads its entries (user
/// over system by file name; Hidden, X-GNOME-Autostart-enabled,
/// OnlyShowIn/NotShowIn, TryExec).
bool isEnabled(const QString &executable);

/// On: repairs the entry of Velkora's file name, the user's or a user copy of
/// the system's, so that it runs the countdown and is not switched off; where
/// there is none, writes entryFor(executable). Off: every entry that runs the
/// countdown is deleted, or hidden where a system entry of its name would
/// come to light. Every other key, comment and translation stays. False with a
/// German reason, naming the file or folder, when that fails or when the
/// session still would not run it (OnlyShowIn/NotShowIn).
bool setEnabled(bool on, const QString &executable, QString *error);

} // namespace velkora::LoginStart
