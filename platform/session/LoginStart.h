#pragma once
// Start at login through the user's XDG autostart folder, which every desktop
// session reads. The entry comes from the same template that
// `make install-autostart` fills in, with the same quoting, so both write the
// same bytes for the same executable.

#include <QByteArray>
#include <QString>

namespace velkora::LoginStart {

/// $XDG_CONFIG_HOME/autostart/<application id>.desktop.
QString entryPath();

/// The entry that starts executable (an absolute path) at login; empty when
/// the path cannot be named in a desktop entry (a "%", a control character,
/// a name that is not text).
QByteArray entryFor(const QString &executable);

/// True when the entry file is there and not switched off (Hidden=true or
/// X-GNOME-Autostart-enabled=false, as session settings write it).
bool isEnabled(const QString &entryFile = entryPath());

/// Writes the entry for executable (on) or removes it (off). False with a
/// German reason, naming the file or folder, when that fails.
bool setEnabled(bool on, const QString &executable, QString *error,
                const QString &entryFile = entryPath());

} // namespace velkora::LoginStart
