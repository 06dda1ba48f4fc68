#pragma once
// The runtime services that the windows and the start-up reach the outside
// world through. Windows receive a Runtime at construction; tests hand in a
// fake that records what would have been started or shown.
//
// platform/ holds the operating-system side of every service and uses no
// widgets (QtCore, GLib, libsystemd, libxcb). The services that need
// widgets (message box, file chooser) are declared here and carried out by the
// application (app/DesktopRuntime).

#include "platform/session/AppInfo.h"
#include "platform/session/SessionAutostart.h"
#include "platform/start/ProcessStart.h"
#include "platform/watch/Readiness.h"

#include <QList>
#include <QString>
#include <QStringList>

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

    /// Whether the tray and the network are ready, and when that changes.
    virtual Readiness &readiness() = 0;

    virtual AppInfo appInfo() const = 0;
    virtual QString appTitle() const = 0;
    virtual void setAppTitle(const QString &title) = 0;

    /// True when another copy of this executable runs for this user.
    virtual bool previousInstance() = 0;
    /// Asks the first copy to bring its own visible window forward, whatever
    /// that window's caption; false when it did not answer.
    virtual bool activateFirstCopy() = 0;

    /// True when the session will run this program's countdown at login.
    virtual bool loginStartEnabled() = 0;
    /// Makes the session run the running executable's countdown at login
    /// (on), or no longer (off), changing its entries as little as possible.
    /// False with a German reason when that fails.
    [[nodiscard]] virtual bool setLoginStart(bool on, QString *error) = 0;

    /// The programs the session starts at login by itself, Velkora left out.
    virtual QList<SessionEntry> sessionEntries() = 0;
    /// After a saved "Exit" only: the session no longer starts these desktop
    /// ids, which the list now holds as "<id>.desktop". All or nothing; false
    /// with a German reason.
    [[nodiscard]] virtual bool takeOverSessionEntries(const QStringList &desktopIds, QString *error)
        = 0;
    /// Whether takeOverSessionEntries could do it now, nothing changed; false
    /// with a German reason (a folder that cannot be written, say).
    [[nodiscard]] virtual bool canTakeOverSessionEntries(const QStringList &desktopIds,
                                                         QString *error)
        = 0;
    /// After a saved "Exit" only: the session starts again every entry taken
    /// over whose id the saved list (its command texts) no longer holds.
    [[nodiscard]] virtual bool giveBackSessionEntries(const QStringList &listCommands,
                                                      QString *error)
        = 0;
    /// For each command text, the desktop id of an entry by which the session
    /// starts the same program too; empty where none does.
    virtual QStringList alsoStartedBySession(const QStringList &commandTexts) = 0;

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
