#include "platform/session/SingleInstance.h"

#include "platform/core/Log.h"
#include "platform/core/NativePath.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStringDecoder>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <optional>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace velkora {

namespace {

// The whole of activateFirstCopy(): connecting (with retries), sending, and
// waiting for the answer. A first copy still starting under the load of a
// login may be slow to answer; only one that stays silent is reported.
constexpr int RequestBudgetMs = 3000;
constexpr int ConnectRetryMs = 20;
// A peer of the first copy has this long to deliver its request.
constexpr int PeerTimeoutMs = 1000;
constexpr qint64 MaxRequestBytes = 4096;
constexpr int MaxPeers = 16;
// A lock file without readable owner is only being written if it is younger.
constexpr qint64 BrokenLockAgeMs = 5000;

const QByteArray RequestVerb = QByteArrayLiteral("activate ");
const QByteArray Acknowledgement = QByteArrayLiteral("ok\n");

// A folder that no one else can change or swap: a real folder (lstat: no
// symbolic link), ours, writable by no one else; the last one of a path is
// also closed to reading (0700).
bool isOwnFolder(const QString &path, bool closed, bool followLink = false)
{
    const QByteArray native = pathToNative(path);
    struct stat st { };
    if ((followLink ? ::stat(native.constData(), &st) : ::lstat(native.constData(), &st)) != 0)
        return false;
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
        return false;
    return closed ? (st.st_mode & 0777) == 0700 : (st.st_mode & 022) == 0;
}

// Never a name in a shared folder such as /tmp, which another user could
// create first and so switch the guard off. The home folder itself may be
// reached through a link (/home -> /var/home); below it nothing may.
QString privateCacheFolder()
{
    const QString home = QDir::cleanPath(QDir::homePath());
    const QString below = home.endsWith(QLatin1Char('/')) ? home : home + QLatin1Char('/');
    QString base = QDir::cleanPath(qEnvironmentVariable("XDG_CACHE_HOME"));
    if (!QDir::isAbsolutePath(base) || !base.startsWith(below))
        base = below + QLatin1String(".cache");
    if (!isOwnFolder(home, false, true))
        return {};
    const QStringList steps = (base + QLatin1String("/velkora"))
                                  .mid(below.size())
                                  .split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString path = home == QLatin1String("/") ? QString() : home;
    for (qsizetype i = 0; i < steps.size(); ++i) {
        path += QLatin1Char('/') + steps.at(i);
        if (::mkdir(pathToNative(path).constData(), 0700) != 0 && errno != EEXIST)
            return {};
        if (!isOwnFolder(path, i == steps.size() - 1))
            return {};
    }
    return path;
}

bool isPlainName(const QString &key)
{
    return !key.isEmpty() && key != QLatin1String(".") && key != QLatin1String("..")
        && !key.contains(QLatin1Char('/')) && !key.contains(QChar(0)) && key.size() <= 64;
}

bool peerIsSameUser(qintptr descriptor)
{
    ucred cred {};
    socklen_t length = sizeof cred;
    if (::getsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_PEERCRED, &cred, &length) != 0
        || length != sizeof cred)
        return false;
    return cred.uid == ::geteuid();
}

int remainingMs(const QDeadlineTimer &deadline)
{
    return static_cast<int>(std::max<qint64>(0, deadline.remainingTime()));
}

// The token travels percent-encoded, so that any text fits in one line.
QByteArray encodeRequest(const QString &activationToken)
{
    return RequestVerb + activationToken.toUtf8().toPercentEncoding() + '\n';
}

std::optional<QString> decodeRequest(const QByteArray &line)
{
    if (!line.startsWith(RequestVerb) || !line.endsWith('\n'))
        return std::nullopt;
    const QByteArray encoded = line.mid(RequestVerb.size()).chopped(1);
    const bool plain = std::all_of(encoded.begin(), encoded.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')
            || c == '-' || c == '.' || c == '_' || c == '~' || c == '%';
    });
    if (!plain)
        return std::nullopt;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString token = utf8(QByteArray::fromPercentEncoding(encoded));
    if (utf8.hasError())
        return std::nullopt;
    return token;
}

void dropPeer(QLocalSocket *peer)
{
    peer->abort();
    peer->deleteLater();
}

} // namespace

QString privateRuntimeFolder()
{
    // Cleaned first: lstat() follows a link named with a trailing "/".
    const QString runtime = QDir::cleanPath(qEnvironmentVariable("XDG_RUNTIME_DIR"));
    if (QDir::isAbsolutePath(runtime) && isOwnFolder(runtime, true))
        return runtime;
    return privateCacheFolder();
}

SingleInstance::SingleInstance(const QString &key, QObject *parent, const QString &runtimeDir)
    : QObject(parent)
    , m_key(key)
{
    if (!isPlainName(key)) {
        qCWarning(lcSession, "unusable single-copy key \"%ls\"; more than one copy may run",
                  qUtf16Printable(key));
        return;
    }
    if (runtimeDir.isEmpty())
        m_runtimeDir = privateRuntimeFolder();
    else if (isOwnFolder(QDir::cleanPath(runtimeDir), true))
        m_runtimeDir = QDir::cleanPath(runtimeDir);
    if (m_runtimeDir.isEmpty()) {
        qCWarning(lcSession,
                  "no private folder for the single-copy lock ($XDG_RUNTIME_DIR or "
                  "~/.cache/velkora: ours, mode 0700, no link); more than one copy "
                  "may run");
        return;
    }
    if (pathToNative(socketPath()).size() >= qsizetype(sizeof(sockaddr_un::sun_path)))
        qCWarning(lcSession, "socket path too long, a later copy cannot reach this one: %ls",
                  qUtf16Printable(socketPath()));
}

SingleInstance::~SingleInstance()
{
    release();
}

void SingleInstance::release()
{
    // The socket goes before the lock, so that a copy that takes the lock
    // next never has its fresh socket removed by us. Closing the server
    // removes its socket file; dropping the lock removes the lock file.
    m_server.reset();
    m_lock.reset();
}

bool SingleInstance::previousInstance()
{
    if (m_role != Role::Undecided)
        return m_role == Role::Second;
    if (m_runtimeDir.isEmpty()) {
        m_role = Role::Unguarded;
        return false;
    }
    m_lock = std::make_unique<QLockFile>(lockPath());
    // Only a dead owner makes the lock stale, never its age: the first copy
    // may run for days.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0) || removeBrokenLock()) {
        m_role = Role::First;
        listen();
        return false;
    }
    if (m_lock->error() == QLockFile::LockFailedError) {
        m_role = Role::Second;
        return true;
    }
    qCWarning(lcSession, "cannot create %ls; more than one copy may run",
              qUtf16Printable(lockPath()));
    m_role = Role::Unguarded;
    return false;
}

// QLockFile judges a lock by the process id written in it. A copy killed
// between creating the file and writing its id leaves a file that no copy
// would ever take again, so such a file is removed once it is old enough
// that no one can still be writing it.
bool SingleInstance::removeBrokenLock()
{
    const auto isBroken = [this] {
        qint64 pid = 0;
        QString hostName;
        QString appName;
        if (m_lock->getLockInfo(&pid, &hostName, &appName))
            return false;
        // Qt reads a modification time of 0 (the epoch) as none at all.
        const QFileInfo info(lockPath());
        const QDateTime modified = info.lastModified();
        return info.exists()
            && (!modified.isValid()
                || qAbs(modified.msecsTo(QDateTime::currentDateTime())) > BrokenLockAgeMs);
    };
    if (m_lock->error() != QLockFile::LockFailedError || !isBroken())
        return false;
    // The same guard file QLockFile uses when it removes a stale lock; held
    // until our own lock is in place, so two copies cannot both clear and take it.
    QLockFile guard(lockPath() + QLatin1String(".rmlock"));
    if (!guard.tryLock(0) || !isBroken() || !m_lock->removeStaleLockFile())
        return false;
    return m_lock->tryLock(0);
}

void SingleInstance::listen()
{
    m_server = std::make_unique<QLocalServer>();
    // The lock is ours, so a socket file here was left by a copy that died.
    // Qt's user-only access option is not used: it would replace even a live
    // socket, and the folder is private anyway.
    QLocalServer::removeServer(socketPath());
    if (!m_server->listen(socketPath())) {
        qCWarning(lcSession, "cannot listen on %ls: %ls", qUtf16Printable(socketPath()),
                  qUtf16Printable(m_server->errorString()));
        m_server.reset();
        return;
    }
    connect(m_server.get(), &QLocalServer::newConnection, this, &SingleInstance::acceptPeers);
}

void SingleInstance::acceptPeers()
{
    while (QLocalSocket *peer = m_server->nextPendingConnection()) {
        const auto peers = m_server->findChildren<QLocalSocket *>(Qt::FindDirectChildrenOnly);
        if (peers.size() > MaxPeers || !peerIsSameUser(peer->socketDescriptor())) {
            dropPeer(peer);
            continue;
        }
        peer->setReadBufferSize(MaxRequestBytes);
        QTimer::singleShot(PeerTimeoutMs, peer, [peer] { dropPeer(peer); });
        connect(peer, &QLocalSocket::readyRead, this, [this, peer] { readRequest(peer); });
        connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
        if (peer->bytesAvailable() > 0)
            readRequest(peer);
    }
}

void SingleInstance::readRequest(QLocalSocket *peer)
{
    if (peer->state() != QLocalSocket::ConnectedState)
        return;
    if (!peer->canReadLine()) {
        // A full buffer without a line break can never become a request.
        if (peer->bytesAvailable() >= MaxRequestBytes)
            dropPeer(peer);
        return;
    }
    const std::optional<QString> token = decodeRequest(peer->readLine(MaxRequestBytes));
    if (!token) {
        dropPeer(peer);
        return;
    }
    disconnect(peer, &QLocalSocket::readyRead, this, nullptr);
    peer->write(Acknowledgement);
    peer->disconnectFromServer();
    Q_EMIT activationRequested(*token);
}

bool SingleInstance::activateFirstCopy(const QString &activationToken)
{
    // The lock holder would be asking itself and could not answer while waiting.
    if (m_runtimeDir.isEmpty() || m_role == Role::First)
        return false;
    QByteArray request = encodeRequest(activationToken);
    // A token this long is no token; the request goes without it.
    if (request.size() > MaxRequestBytes)
        request = encodeRequest(QString());
    const QDeadlineTimer deadline(RequestBudgetMs);
    QLocalSocket socket;
    // The first copy takes the lock before it listens, so a missing or
    // refusing socket may just be early.
    for (;;) {
        socket.connectToServer(socketPath());
        if (socket.waitForConnected(remainingMs(deadline)))
            break;
        socket.abort();
        if (deadline.hasExpired())
            return false;
        QThread::msleep(
            static_cast<unsigned long>(std::min(ConnectRetryMs, remainingMs(deadline))));
    }
    if (!peerIsSameUser(socket.socketDescriptor())) {
        qCWarning(lcSession, "%ls belongs to another user", qUtf16Printable(socketPath()));
        return false;
    }
    socket.write(request);
    while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(remainingMs(deadline))) { }
    QByteArray answer;
    while (!answer.endsWith('\n') && answer.size() < Acknowledgement.size()) {
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(remainingMs(deadline)))
            break;
        answer += socket.read(Acknowledgement.size() - answer.size());
    }
    return answer == Acknowledgement;
}

QString SingleInstance::lockPath() const
{
    return m_runtimeDir.isEmpty()
        ? QString()
        : m_runtimeDir + QLatin1Char('/') + m_key + QLatin1String(".lock");
}

QString SingleInstance::socketPath() const
{
    return m_runtimeDir.isEmpty()
        ? QString()
        : m_runtimeDir + QLatin1Char('/') + m_key + QLatin1String(".socket");
}

} // namespace velkora
