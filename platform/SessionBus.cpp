#include "platform/SessionBus.h"

#include "platform/Log.h"

#include <QDeadlineTimer>
#include <QSocketNotifier>

#include <systemd/sd-bus.h>

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <ctime>
#include <memory>
#include <utility>

#include <poll.h>

namespace velkora {

struct SessionBus::Call {
    SessionBus *bus;
    Handler handler;
};

namespace {

const char *const Daemon = "org.freedesktop.DBus";
const char *const DaemonPath = "/org/freedesktop/DBus";

// systemd's rule for unit names: [A-Za-z0-9:_.] stand for themselves, every
// other byte, the "-" that separates the name's parts included, is \xNN.
QByteArray scopeName(const QString &name, qint64 pid)
{
    constexpr qsizetype MaxUnitName = 255;
    const QByteArray prefix = "app-velkora-";
    const QByteArray suffix = '-' + QByteArray::number(pid) + ".scope";
    QByteArray escaped;
    for (const char c : name.toUtf8()) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')
            || (c >= '0' && c <= '9') || c == ':' || c == '_' || c == '.';
        const QByteArray piece = plain
            ? QByteArray(1, c)
            : "\\x" + QByteArray::number(uchar(c), 16).rightJustified(2, '0');
        if (prefix.size() + escaped.size() + piece.size() + suffix.size() > MaxUnitName)
            break;
        escaped += piece;
    }
    return prefix + escaped + suffix;
}

QString describe(const sd_bus_error *error)
{
    return QString::fromUtf8(error->name) + QStringLiteral(": ")
        + QString::fromUtf8(error->message);
}

} // namespace

SessionBus::SessionBus(QObject *parent)
    : QObject(parent)
{
    m_timeout.setSingleShot(true);
    m_timeout.setTimerType(Qt::PreciseTimer);
    connect(&m_timeout, &QTimer::timeout, this, &SessionBus::pump);
}

SessionBus::~SessionBus()
{
    if (m_bus)
        close(0);
}

bool SessionBus::ensureOpen()
{
    if (m_bus)
        return true;
    if (m_missing)
        return false;
    // Opening only starts a non-blocking connect; the handshake and Hello
    // follow in pump(), so a bus that never answers costs nothing here.
    sd_bus *bus = nullptr;
    const int r = sd_bus_open_user(&bus);
    const int fd = r < 0 ? r : sd_bus_get_fd(bus);
    if (fd < 0) {
        sd_bus_close_unref(bus);
        m_missing = true;
        qCInfo(lcSession).noquote()
            << QStringLiteral("no session bus (%1): started programs get no scope "
                              "of their own, desktop entries start through Exec")
                   .arg(qt_error_string(-fd));
        return false;
    }
    m_bus = bus;
    m_readable = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    m_writable = new QSocketNotifier(fd, QSocketNotifier::Write, this);
    connect(m_readable, &QSocketNotifier::activated, this, &SessionBus::pump);
    connect(m_writable, &QSocketNotifier::activated, this, &SessionBus::pump);
    updateWatch();
    return true;
}

bool SessionBus::call(const char *destination, const char *path, const char *interface,
                      const char *member, Handler handler, const char *types, ...)
{
    if (!ensureOpen())
        return false;
    auto *pending = new Call {this, std::move(handler)};
    sd_bus_slot *slot = nullptr;
    va_list args;
    va_start(args, types);
    const int r = sd_bus_call_method_asyncv(m_bus, &slot, destination, path, interface, member,
                                            &SessionBus::onReply, pending, types, args);
    va_end(args);
    if (r < 0) {
        delete pending;
        qCWarning(lcSession).noquote()
            << QStringLiteral("cannot send %1 to %2: %3")
                   .arg(QLatin1String(member), QLatin1String(destination), qt_error_string(-r));
        return false;
    }
    // The bus owns the slot from here on and frees the call with it.
    ++m_pending;
    sd_bus_slot_set_destroy_callback(slot, &SessionBus::onCallGone);
    sd_bus_slot_set_floating(slot, 1);
    sd_bus_slot_unref(slot);
    updateWatch();
    return true;
}

int SessionBus::onReply(sd_bus_message *reply, void *userdata, sd_bus_error *)
{
    static_cast<Call *>(userdata)->handler(reply, sd_bus_message_get_error(reply));
    return 0;
}

void SessionBus::onCallGone(void *userdata)
{
    auto *pending = static_cast<Call *>(userdata);
    --pending->bus->m_pending;
    delete pending;
}

void SessionBus::pump()
{
    if (!m_bus)
        return;
    int r = 0;
    do
        r = sd_bus_process(m_bus, nullptr);
    while (r > 0);
    if (r < 0)
        close(r);
    else
        updateWatch();
}

void SessionBus::updateWatch()
{
    const int events = sd_bus_get_events(m_bus);
    m_writable->setEnabled(events > 0 && (events & POLLOUT) != 0);
    uint64_t until = 0;
    if (sd_bus_get_timeout(m_bus, &until) < 0 || until == UINT64_MAX) {
        m_timeout.stop();
        return;
    }
    timespec now {};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    const uint64_t nowUs = uint64_t(now.tv_sec) * 1000000 + uint64_t(now.tv_nsec) / 1000;
    const uint64_t waitMs = until > nowUs ? (until - nowUs + 999) / 1000 : 0;
    m_timeout.start(int(std::min<uint64_t>(waitMs, INT_MAX)));
}

void SessionBus::close(int error)
{
    if (error < 0)
        qCWarning(lcSession).noquote()
            << QStringLiteral("session bus connection closed: %1").arg(qt_error_string(-error));
    for (QSocketNotifier *notifier : {m_readable, m_writable}) {
        notifier->setEnabled(false);
        notifier->deleteLater();
    }
    m_readable = m_writable = nullptr;
    m_timeout.stop();
    sd_bus_close_unref(std::exchange(m_bus, nullptr));
}

void SessionBus::drain(int ms)
{
    const QDeadlineTimer deadline(ms);
    while (m_bus && m_pending > 0 && !deadline.hasExpired()) {
        pump();
        if (m_bus && m_pending > 0)
            sd_bus_wait(m_bus, uint64_t(std::max<qint64>(deadline.remainingTime(), 0)) * 1000);
    }
}

void SessionBus::startScope(const QString &name, qint64 pid, const QString &description)
{
    if (m_noSystemd)
        return;
    const QByteArray unit = scopeName(name, pid);
    const auto answered = [this, unit, pid](sd_bus_message *, const sd_bus_error *error) {
        if (!error) {
            qCDebug(lcSession).noquote() << "process" << pid << "runs in" << unit;
        } else if (sd_bus_error_has_name(error, SD_BUS_ERROR_SERVICE_UNKNOWN)
                   || sd_bus_error_has_name(error, SD_BUS_ERROR_NAME_HAS_NO_OWNER)) {
            if (!std::exchange(m_noSystemd, true))
                qCInfo(lcSession) << "no systemd user manager on the session bus: started "
                                     "programs stay in Velkora's own unit";
        } else if (sd_bus_error_has_name(error, "org.freedesktop.systemd1.NoSuchProcess")) {
            // Short-lived programs often end before systemd gets to them.
            qCDebug(lcSession).noquote() << "process" << pid << "ended before its scope was made";
        } else {
            qCWarning(lcSession).noquote() << QStringLiteral("scope %1 for process %2 failed: %3")
                                                  .arg(QString::fromUtf8(unit))
                                                  .arg(pid)
                                                  .arg(describe(error));
        }
    };
    const QByteArray text = description.toUtf8();
    call("org.freedesktop.systemd1", "/org/freedesktop/systemd1",
         "org.freedesktop.systemd1.Manager", "StartTransientUnit", answered, "ssa(sv)a(sa(sv))",
         unit.constData(), "fail", 4u, "PIDs", "au", 1u, uint32_t(pid), "Slice", "s", "app.slice",
         "Description", "s", text.constData(), "CollectMode", "s", "inactive-or-failed", 0u);
}

bool SessionBus::askNameAvailable(const QString &busName, std::function<void(bool)> answer)
{
    struct Asking {
        int noes = 0;
        bool told = false;
        std::function<void(bool)> answer;
    };
    auto asking = std::make_shared<Asking>();
    asking->answer = std::move(answer);
    const auto tell = [asking](bool yes) {
        if (!asking->told && (yes || ++asking->noes == 2)) {
            asking->told = true;
            asking->answer(yes);
        }
    };
    const QByteArray name = busName.toUtf8();
    const auto owned = [tell](sd_bus_message *reply, const sd_bus_error *error) {
        int has = 0;
        tell(!error && sd_bus_message_read(reply, "b", &has) > 0 && has);
    };
    if (!call(Daemon, DaemonPath, Daemon, "NameHasOwner", owned, "s", name.constData()))
        return false;
    const auto activatable = [tell, name](sd_bus_message *reply, const sd_bus_error *error) {
        bool listed = false;
        const char *entry = nullptr;
        if (!error && sd_bus_message_enter_container(reply, 'a', "s") > 0) {
            while (!listed && sd_bus_message_read(reply, "s", &entry) > 0)
                listed = name == entry;
        }
        tell(listed);
    };
    call(Daemon, DaemonPath, Daemon, "ListActivatableNames", activatable, nullptr);
    return true;
}

void SessionBus::activate(const QString &busName, const QString &startupId)
{
    const QByteArray name = busName.toUtf8();
    QByteArray path = '/' + name;
    path.replace('.', '/').replace('-', '_');
    const auto answered = [name](sd_bus_message *, const sd_bus_error *error) {
        if (error)
            qCWarning(lcStart).noquote() << QStringLiteral("activating %1 failed: %2")
                                                .arg(QString::fromUtf8(name), describe(error));
    };
    const char *const interface = "org.freedesktop.Application";
    const QByteArray id = startupId.toUtf8();
    // With no startup id the dictionary is empty, and the entry after the count is not read.
    call(name.constData(), path.constData(), interface, "Activate", answered, "a{sv}",
         id.isEmpty() ? 0u : 1u, "desktop-startup-id", "s", id.constData());
}

} // namespace velkora
