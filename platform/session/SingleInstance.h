#pragma once
// One copy per user and per executable. A lock (flock) on a file in a folder
// that only this user can write decides which copy is first; only the lock
// holder listens on a local socket beside it, over which later copies ask it
// to bring its window forward. Plain AF_UNIX sockets watched by
// QSocketNotifier: QtNetwork would cost every start nine more libraries.
//
// platform/session/ holds what ties Velkora to the user's session: the single
// copy, the login switch and the session's autostart entries, the list file's
// place, the program's identity. It uses platform/core/, ini/, start/ and GLib.

#include <QObject>
#include <QString>
#include <memory>

class QSocketNotifier;

namespace velkora {

/// The folder for the lock and the socket: $XDG_RUNTIME_DIR when it is a
/// private folder of ours (a real folder, owned by us, mode 0700), else
/// "velkora" in $XDG_CACHE_HOME or ~/.cache (the home folder from the passwd
/// entry when HOME is unset), created 0700 where missing, with every folder
/// from the home folder down owned by us, no symbolic link and writable by no
/// one else. Empty when neither can be had.
QString privateRuntimeFolder();

class SingleInstance : public QObject {
    Q_OBJECT
public:
    /// key names this executable (e.g. a hash of its resolved path);
    /// runtimeDir (checked like $XDG_RUNTIME_DIR) defaults to privateRuntimeFolder().
    explicit SingleInstance(const QString &key, QObject *parent = nullptr,
                            const QString &runtimeDir = QString());
    ~SingleInstance() override;

    /// True when another copy holds the lock. Otherwise this copy takes the
    /// lock and starts listening for activation requests.
    bool previousInstance();

    /// Asks the first copy to bring its own window forward, handing it this
    /// copy's activation token (may be empty), and waits briefly for its
    /// acknowledgement. False when no first copy answered.
    bool activateFirstCopy(const QString &activationToken);

    /// In the first copy: stops listening and removes the socket, then the
    /// lock, so that the next start finds a clean folder.
    void release();

    /// Where the lock file and the socket live; empty when no private
    /// runtime folder was found (the guard is then off).
    QString lockPath() const;
    QString socketPath() const;

Q_SIGNALS:
    /// In the first copy: a later copy asked for our window, with its token.
    void activationRequested(const QString &activationToken);

private:
    enum class Role { Undecided, First, Second, Unguarded };
    enum class Lock { Taken, HeldByAnother, Failed };
    class Peer;

    Lock takeLock();
    void listen();
    void acceptPeers();

    QString m_runtimeDir;
    QString m_key;
    Role m_role = Role::Undecided;
    int m_lockFd = -1;
    int m_listenFd = -1;
    std::unique_ptr<QSocketNotifier> m_listener;
    // Parent of the connected later copies, so that release() ends them all.
    std::unique_ptr<QObject> m_peers;
};

} // namespace velkora
