#pragma once
// One copy per user and per executable. A lock file in the user's private
// runtime folder decides which copy is first; only the lock holder listens on
// a local socket, over which later copies ask it to bring a window to the front.

#include <QObject>
#include <QString>
#include <memory>

class QLockFile;
class QLocalServer;
class QLocalSocket;

namespace velkora {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    /// key names this executable (e.g. a hash of its resolved path);
    /// runtimeDir defaults to $XDG_RUNTIME_DIR (or Qt's runtime location).
    explicit SingleInstance(const QString &key, QObject *parent = nullptr,
                            const QString &runtimeDir = QString());
    ~SingleInstance() override;

    /// True when another copy holds the lock. Otherwise this copy takes the
    /// lock and starts listening for activation requests.
    bool previousInstance();

    /// Asks the first copy to bring the window with this title to the front and
    /// waits (briefly) for its acknowledgement. False when no first copy answered.
    bool activateByTitle(const QString &title);

    /// Where the lock file and the socket live; empty when no private
    /// runtime folder was found (the guard is then off).
    QString lockPath() const;
    QString socketPath() const;

Q_SIGNALS:
    /// In the first copy: a later copy asked for the window with this title.
    void activationRequested(const QString &title);

private:
    enum class Role { Undecided, First, Second, Unguarded };

    void listen();
    bool removeBrokenLock();
    void acceptPeers();
    void readRequest(QLocalSocket *peer);

    QString m_runtimeDir;
    QString m_key;
    Role m_role = Role::Undecided;
    std::unique_ptr<QLockFile> m_lock;
    std::unique_ptr<QLocalServer> m_server;
};

} // namespace velkora
