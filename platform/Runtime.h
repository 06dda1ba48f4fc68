#pragma once
// The runtime services that the windows and the start-up reach the outside
// world through. Windows receive a Runtime at construction; tests hand in a
// fake that records what would have been started or shown.
//
// platform/ holds the operating-system side of every service and uses no
// widgets (QtCore, GLib, libsystemd). The services that need
// widgets (message box, file chooser) are declared here and carried out by the
// application (app/DesktopRuntime).

#include "platform/session/AppInfo.h"
#include "platform/start/ProcessStart.h"

#include <QString>

class QObject;

namespace velkora {

class Runtime {
public:
    virtual ~Runtime() = default;

    /// Starts a program; returns at once. Failures carry errno and a German text.
    virtual StartResult startProgram(const QString &commandText, WindowStyle style) = 0;

    /// Modal message: OK only, no icon, the application title as its title.
    virtual void messageBox(const QString &text) = 0;

    /// Modal file chooser owned by owner (a window); the full path, or empty on cancel.
    virtual QString chooseFile(QObject *owner, const QString &initialFolder,
                               const QString &filterText, const QString &title)
        = 0;

    /// Starts the first installed system information tool with a normal window.
    virtual StartResult startSysInfo() = 0;

    virtual AppInfo appInfo() const = 0;
    virtual QString appTitle() const = 0;
    virtual void setAppTitle(const QString &title) = 0;

    /// True when another copy of this executable runs for this user.
    virtual bool previousInstance() = 0;
    /// Asks the first copy to bring its own visible window forward, whatever
    /// that window's caption; false when it did not answer.
    virtual bool activateFirstCopy() = 0;

    /// True when the user's login start entry starts this program.
    virtual bool loginStartEnabled() = 0;
    /// Writes (on) or removes (off) the login start entry for the running
    /// executable. False with a German reason when that fails.
    virtual bool setLoginStart(bool on, QString *error) = 0;

    /// The arguments after the program's name, joined by single blanks.
    virtual QString argumentText() const = 0;

    /// Handles every waiting window event before it returns.
    virtual void yield() = 0;

    /// Ends the process at once with this exit status: no handler runs,
    /// nothing is written but the removal of the single-copy lock and socket.
    /// The real runtime never returns from it; a test's fake records the call
    /// and returns, so every caller returns right after it.
    virtual void endProgram(int status = 0) = 0;
};

} // namespace velkora
