#pragma once
// Program start without a shell. The command text is read the way a Windows
// user expects (an unquoted path with blanks works), with POSIX shell quoting
// for the arguments and no expansion of any kind; desktop entries are started
// as the desktop starts them. A program starts through posix_spawn, a D-Bus
// activatable entry over the session bus; either way the start returns at
// once: nothing here waits on D-Bus, on GLib's worker thread or on another
// process.
//
// platform/start/ uses platform/core/, QtCore and GLib (desktop entries as the
// desktop reads them).

#include "platform/start/DesktopEntry.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace velkora {

class SessionBus;

// How the started program should show its window. Callers say what they want;
// Linux has no general way to ask another program for a minimized window, so
// the start accepts the style and does nothing with it.
enum class WindowStyle { Normal = 1, MinimizedFocus = 2 };

struct [[nodiscard]] StartResult {
    int errorNumber = 0; // errno of the failure, 0 on success
    QString description; // German description of the failure, empty on success
    qint64 pid = 0; // the started process; 0 when it failed or goes over the session bus
    bool ok() const { return errorNumber == 0; }
};

// What a command text resolves to, before anything is started.
struct [[nodiscard]] ResolvedCommand {
    int errorNumber = 0; // errno when the text cannot be started
    EntryProblem problem = EntryProblem::None;
    QStringList argv; // program (absolute path after PATH lookup) and its arguments
    QString name; // program file name or desktop id: names the scope and the startup id
    QString workingFolder; // empty: ours
    QString busName; // a D-Bus activatable desktop entry's application id
};

/// Reads a command text in four steps: the whole text as an executable file,
/// a .desktop file or a desktop id (an autostart entry that Velkora took over
/// from the session, then an application, then an autostart entry the
/// session starts), a quoted program, the longest leading part that is an
/// executable file; the rest is split with shell quoting. A first word
/// without "/" is looked up in PATH. Relative paths resolve against "/" when
/// the current folder is gone.
ResolvedCommand resolveCommand(const QString &commandText);

/// What a desktop entry file runs, read as resolveCommand reads the file's
/// path; evenHidden reads one with Hidden=true as if it were shown.
ResolvedCommand resolveDesktopFile(const QString &path, bool evenHidden = false);

/// An executable regular file named by name: a path when it holds a "/",
/// otherwise a command looked up in PATH. Empty when there is none.
QString findProgram(const QString &name);

/// Starts programs detached: each start returns at once, leaves no zombie
/// behind, and the child runs in its own session with descriptors 0-2 only,
/// default signals, and a transient systemd scope of its own where a user
/// manager answers on the session bus. Every start is logged on lcStart.
class ProcessStarter : public QObject {
public:
    explicit ProcessStarter(QObject *parent = nullptr);
    ~ProcessStarter() override;

    StartResult start(const QString &commandText, WindowStyle style);

    /// On X11: each start gets a fresh DESKTOP_STARTUP_ID whose _TIME part is
    /// the server time of the user's last input (0: none seen, no _TIME part).
    void setUserTimeSource(std::function<quint64()> lastUserTime);

    /// Gives session-bus requests still under way a short time to go out and
    /// be answered; for the end of the program, where nothing else is waiting.
    void finish();

private:
    StartResult launch(const QString &commandText, const ResolvedCommand &command);
    QByteArray nextStartupId(const QString &name);

    std::unique_ptr<SessionBus> m_bus;
    std::function<quint64()> m_lastUserTime;
    quint64 m_starts = 0;
    // Activatable entries waiting for the bus to tell how to start them.
    QHash<quint64, std::function<void(bool)>> m_undecided;
};

/// German description of an errno value, or of what is wrong with a desktop
/// entry, as shown to the user.
QString errorDescription(int errorNumber, EntryProblem problem = EntryProblem::None);

/// Opens /dev/null on each of descriptors 0-2 that is closed, so that no file
/// or socket opened later takes its place and is handed on to every started
/// program. Call first thing in main().
void ensureStandardDescriptors();

} // namespace velkora
