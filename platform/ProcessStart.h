#pragma once
// Program start without a shell. The command text is read the way a Windows
// user expects (an unquoted path with blanks works), with POSIX shell quoting
// for the arguments and no expansion of any kind.

#include <QString>
#include <QStringList>

namespace velkora {

// How the started program should show its window. Linux has no general way to
// ask another program for a minimized window, so the style is passed through
// (as a hint only) and documented as such.
enum class WindowStyle { Normal = 1, MinimizedFocus = 2 };

struct StartResult {
    int errorNumber = 0; // errno of the failure, 0 on success
    QString description; // German description of the failure, empty on success
    qint64 pid = 0; // the started process, 0 when it failed
    bool ok() const { return errorNumber == 0; }
};

// What a command text resolves to, before anything is started.
struct ResolvedCommand {
    int errorNumber = 0; // errno when the text cannot be started
    QString desktopFile; // set when the text names a .desktop file
    QStringList argv; // program (absolute path after PATH lookup) and its arguments
};

/// Reads a command text in four steps: the whole text as an executable file,
/// a .desktop file, a quoted program, the longest leading part that is an
/// executable file; the rest is split with shell quoting. A first word without
/// "/" is looked up in PATH.
ResolvedCommand resolveCommand(const QString &commandText);

/// Starts the command text detached: returns at once, leaves no zombie behind,
/// the child outlives us in its own session and inherits no descriptor above 2.
StartResult startProgram(const QString &commandText, WindowStyle style);

/// German description of an errno value, as shown to the user.
QString errorDescription(int errorNumber);

} // namespace velkora
