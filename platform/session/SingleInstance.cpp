#include "platform/session/SingleInstance.h"

#include "platform/core/FileDescriptor.h"
#include "platform/core/Log.h"
#include "platform/core/NativePath.h"
#include "platform/core/XdgFolders.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QSocketNotifier>
#include <QStringDecoder>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
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
constexpr qsizetype MaxRequestBytes = 4096;
constexpr int MaxPeers = 16;
// Out of descriptors, the first copy takes no connection for this long
// rather than being woken for the same one again and again.
constexpr int AcceptPauseMs = 100;

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
    const QString home = QDir::cleanPath(homeFolder());
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

std::optional<sockaddr_un> socketAddress(const QString &path)
{
    const QByteArray native = pathToNative(path);
    sockaddr_un address {};
    if (native.isEmpty() || native.size() >= qsizetype(sizeof address.sun_path))
        return std::nullopt;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, native.constData(), std::size_t(native.size()));
    return address;
}

bool peerIsSameUser(int fd)
{
    ucred cred {};
    socklen_t length = sizeof cred;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &length) != 0 || length != sizeof cred)
        return false;
    return cred.uid == ::geteuid();
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

int remainingMs(const QDeadlineTimer &deadline)
{
    return static_cast<int>(std::max<qint64>(0, deadline.remainingTime()));
}

// True when fd is ready for events before the deadline.
bool awaitReady(int fd, short events, const QDeadlineTimer &deadline)
{
    for (;;) {
        pollfd ready {fd, events, 0};
        const int result = ::poll(&ready, 1, remainingMs(deadline));
        if (result > 0)
            return true;
        if (result == 0 || errno != EINTR)
            return false;
    }
}

// The first copy takes the lock before it listens, so a missing or refusing
// socket may just be early: connecting is tried again until the deadline.
FileDescriptor connectToFirstCopy(const sockaddr_un &address, const QDeadlineTimer &deadline)
{
    for (;;) {
        FileDescriptor fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        if (!fd.valid())
            return fd;
        if (::connect(fd.get(), reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0)
            return fd;
        if (deadline.hasExpired())
            return FileDescriptor();
        QThread::msleep(
            static_cast<unsigned long>(std::min(ConnectRetryMs, remainingMs(deadline))));
    }
}

bool sendAll(int fd, const QByteArray &bytes, const QDeadlineTimer &deadline)
{
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n
            = ::send(fd, bytes.constData() + sent, std::size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (n > 0)
            sent += n;
        else if (n < 0 && errno == EAGAIN && awaitReady(fd, POLLOUT, deadline))
            continue;
        else if (n < 0 && errno == EINTR)
            continue;
        else
            return false;
    }
    return true;
}

// The answer, as far as it came before the peer closed or the deadline passed.
QByteArray receiveAnswer(int fd, const QDeadlineTimer &deadline)
{
    QByteArray answer;
    char byte = 0;
    while (answer.size() < Acknowledgement.size() && !answer.endsWith('\n')) {
        const ssize_t n = ::recv(fd, &byte, 1, 0);
        if (n == 1)
            answer += byte;
        else if (n < 0 && errno == EAGAIN && awaitReady(fd, POLLIN, deadline))
            continue;
        else if (!(n < 0 && errno == EINTR))
            break;
    }
    return answer;
}

} // namespace

// A later copy, connected: the first copy reads its request, answers it, and
// lets the window come forward. A peer that says nothing useful in time is
// dropped, and never holds up the others.
class SingleInstance::Peer : public QObject {
public:
    Peer(int fd, SingleInstance *guard, QObject *parent)
        : QObject(parent)
        , m_fd(fd)
        , m_readable(fd, QSocketNotifier::Read)
        , m_guard(guard)
    {
        connect(&m_readable, &QSocketNotifier::activated, this, &Peer::readRequest);
        QTimer::singleShot(PeerTimeoutMs, this, [this] { deleteLater(); });
    }

private:
    void readRequest();

    FileDescriptor m_fd;
    QSocketNotifier m_readable;
    SingleInstance *m_guard;
    QByteArray m_buffer;
};

void SingleInstance::Peer::readRequest()
{
    char chunk[512];
    while (!m_buffer.contains('\n')) {
        // A full buffer without a line break can never become a request.
        const qsizetype room = MaxRequestBytes - m_buffer.size();
        const ssize_t n = room > 0
            ? ::recv(m_fd.get(), chunk, std::min(sizeof chunk, std::size_t(room)), 0)
            : 0;
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            return; // the rest is still on its way
        if (n <= 0) {
            m_readable.setEnabled(false);
            deleteLater();
            return;
        }
        m_buffer.append(chunk, n);
    }
    m_readable.setEnabled(false);
    deleteLater();
    const std::optional<QString> token = decodeRequest(m_buffer.left(m_buffer.indexOf('\n') + 1));
    if (!token)
        return;
    // A later copy that gave up waiting has still asked: its window comes
    // forward all the same.
    static_cast<void>(::send(m_fd.get(), Acknowledgement.constData(),
                             std::size_t(Acknowledgement.size()), MSG_NOSIGNAL | MSG_DONTWAIT));
    // Last: whoever answers the signal may end the guard, and this peer with it.
    Q_EMIT m_guard->activationRequested(*token);
}

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
        qCWarning(lcSession, "unusable single-copy key \"%s\"; more than one copy may run",
                  qUtf8Printable(key));
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
    if (!socketAddress(socketPath()))
        qCWarning(lcSession, "socket path too long, a later copy cannot reach this one: %s",
                  pathToNative(socketPath()).constData());
}

SingleInstance::~SingleInstance()
{
    release();
}

void SingleInstance::release()
{
    // The socket goes before the lock, so that a copy that takes the lock
    // next never has its fresh socket removed by us; the lock file goes
    // while it is still ours.
    m_peers.reset();
    if (m_listenFd >= 0) {
        m_listener.reset();
        ::close(std::exchange(m_listenFd, -1));
        ::unlink(pathToNative(socketPath()).constData());
    }
    if (m_lockFd >= 0) {
        ::unlink(pathToNative(lockPath()).constData());
        ::close(std::exchange(m_lockFd, -1));
    }
}

bool SingleInstance::previousInstance()
{
    if (m_role != Role::Undecided)
        return m_role == Role::Second;
    if (m_runtimeDir.isEmpty()) {
        m_role = Role::Unguarded;
        return false;
    }
    switch (takeLock()) {
    case Lock::Taken:
        m_role = Role::First;
        listen();
        return false;
    case Lock::HeldByAnother:
        m_role = Role::Second;
        return true;
    case Lock::Failed:
        break;
    }
    m_role = Role::Unguarded;
    return false;
}

// flock needs no sync to disk, and the kernel lets go of it when its holder
// dies, so a killed first copy blocks nothing. The holder removes the file as
// it ends: a lock taken on a file that has lost its name meanwhile decides
// nothing, and the file is opened anew.
SingleInstance::Lock SingleInstance::takeLock()
{
    const QByteArray path = pathToNative(lockPath());
    int error = 0;
    for (int attempt = 0; attempt < 16 && error == 0; ++attempt) {
        FileDescriptor fd(
            ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
        if (!fd.valid() || ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
            if (errno == EWOULDBLOCK)
                return Lock::HeldByAnother;
            error = errno == EINTR ? 0 : errno;
            continue;
        }
        struct stat held {
        }, named {};
        if (::fstat(fd.get(), &held) == 0 && ::lstat(path.constData(), &named) == 0
            && held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
            m_lockFd = fd.take();
            return Lock::Taken;
        }
    }
    qCWarning(lcSession, "cannot lock %s: %s; more than one copy may run", path.constData(),
              error ? std::strerror(error) : "the file keeps being replaced");
    return Lock::Failed;
}

void SingleInstance::listen()
{
    const QByteArray path = pathToNative(socketPath());
    const std::optional<sockaddr_un> address = socketAddress(socketPath());
    // The lock is ours, so a socket file here was left by a copy that died.
    ::unlink(path.constData());
    FileDescriptor fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!address || !fd.valid()
        || ::bind(fd.get(), reinterpret_cast<const sockaddr *>(&*address), sizeof *address) != 0
        || ::listen(fd.get(), MaxPeers) != 0) {
        qCWarning(lcSession, "cannot listen on %s: %s", path.constData(),
                  address ? std::strerror(errno) : "path too long");
        return;
    }
    m_listenFd = fd.take();
    m_peers = std::make_unique<QObject>();
    m_listener = std::make_unique<QSocketNotifier>(m_listenFd, QSocketNotifier::Read);
    connect(m_listener.get(), &QSocketNotifier::activated, this, &SingleInstance::acceptPeers);
}

void SingleInstance::acceptPeers()
{
    for (;;) {
        FileDescriptor peer(::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
        if (!peer.valid() && errno == EINTR)
            continue;
        if (!peer.valid()) {
            if (errno == EMFILE || errno == ENFILE) {
                m_listener->setEnabled(false);
                QTimer::singleShot(AcceptPauseMs, m_listener.get(),
                                   [notifier = m_listener.get()] { notifier->setEnabled(true); });
            }
            return;
        }
        if (m_peers->children().size() < MaxPeers && peerIsSameUser(peer.get()))
            new Peer(peer.take(), this, m_peers.get());
    }
}

bool SingleInstance::activateFirstCopy(const QString &activationToken)
{
    // The lock holder would be asking itself and could not answer while waiting.
    if (m_runtimeDir.isEmpty() || m_role == Role::First)
        return false;
    const std::optional<sockaddr_un> address = socketAddress(socketPath());
    if (!address)
        return false;
    QByteArray request = encodeRequest(activationToken);
    // A token this long is no token; the request goes without it.
    if (request.size() > MaxRequestBytes)
        request = encodeRequest(QString());
    const QDeadlineTimer deadline(RequestBudgetMs);
    const FileDescriptor fd = connectToFirstCopy(*address, deadline);
    if (!fd.valid())
        return false;
    if (!peerIsSameUser(fd.get())) {
        qCWarning(lcSession, "%s belongs to another user", pathToNative(socketPath()).constData());
        return false;
    }
    return sendAll(fd.get(), request, deadline)
        && receiveAnswer(fd.get(), deadline) == Acknowledgement;
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
