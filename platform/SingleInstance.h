#pragma once
// One copy per user and per executable. A lock file in the user's private
// runtime folder decides which copy is first; only the lock holder listens on
// a local socket, over which later copies ask it to bring a window to the front.

#include <QObject>
#include <QString>
#include <memory>

class QLockFile;
class QLocalServer;

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

    QString lockPath() const;
    QString socketPath() const;

Q_SIGNALS:
    /// In the first copy: a later copy asked for the window with this title.
    void activationRequested(const QString &title);

private:
    void listen();

    QString m_runtimeDir;
    QString m_key;
    std::unique_ptr<QLockFile> m_lock;
    std::unique_ptr<QLocalServer> m_server;
};

} // namespace velkora
