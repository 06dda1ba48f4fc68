#include "platform/core/BusConnection.h"

#include "platform/core/Log.h"
#include "platform/core/SessionBusCheck.h"

#include <QDeadlineTimer>
#include <QSocketNotifier>

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <ctime>
#include <utility>

#include <poll.h>

namespace velkora {

// What a slot carries: a reply handler (a method call) or a signal handler.
struct BusConnection::Pending {
    BusConnection *connection;
    ReplyHandler reply;
    SignalHandler signal;
};

BusConnection::BusConnection(Kind kind, LogCategory log, QObject *parent)
    : QObject(parent)
    , m_kind(kind)
    , m_log(log)
{
    m_timeout.setSingleShot(true);
    m_timeout.setTimerType(Qt::PreciseTimer);
    connect(&m_timeout, &QTimer::timeout, this, &BusConnection::pump);
}

BusConnection::~BusConnection()
{
    if (m_bus)
        close(0);
}

const char *BusConnection::name() const
{
    return m_kind == Kind::Session ? "session bus" : "system bus";
}

void BusConnection::setClosedHandler(std::function<void()> closed)
{
    m_closed = std::move(closed);
}

bool BusConnection::open()
{
    if (m_bus)
        return true;
    if (m_missing)
        return false;
    // Left at start-up because it did not answer: that was said in the log.
    if (m_kind == Kind::Session && sessionBusLeft()) {
        m_missing = true;
        return false;
    }
    sd_bus *bus = nullptr;
    const int r = m_kind == Kind::Session ? sd_bus_open_user(&bus) : sd_bus_open_system(&bus);
    const int fd = r < 0 ? r : sd_bus_get_fd(bus);
    if (fd < 0) {
        sd_bus_close_unref(bus);
        m_missing = true;
        qCInfo(m_log, "no %s: %s", name(), qUtf8Printable(qt_error_string(-fd)));
        return false;
    }
    m_bus = bus;
    m_readable = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    m_writable = new QSocketNotifier(fd, QSocketNotifier::Write, this);
    connect(m_readable, &QSocketNotifier::activated, this, &BusConnection::pump);
    connect(m_writable, &QSocketNotifier::activated, this, &BusConnection::pump);
    updateWatch();
    return true;
}

// The bus owns the slot from here on and frees `pending` with it.
bool BusConnection::track(int result, sd_bus_slot *slot, Pending *pending, const char *what)
{
    if (result < 0) {
        delete pending;
        qCWarning(m_log, "cannot send %s on the %s: %s", what, name(),
                  qUtf8Printable(qt_error_string(-result)));
        return false;
    }
    m_pending += pending->reply ? 1 : 0;
    sd_bus_slot_set_destroy_callback(slot, &BusConnection::onSlotGone);
    sd_bus_slot_set_floating(slot, 1);
    sd_bus_slot_unref(slot);
    updateWatch();
    return true;
}

bool BusConnection::call(const char *destination, const char *path, const char *interface,
                         const char *member, ReplyHandler handler, const char *types, ...)
{
    if (!open())
        return false;
    auto *pending = new Pending {this, std::move(handler), {}};
    sd_bus_slot *slot = nullptr;
    va_list args;
    va_start(args, types);
    const int r = sd_bus_call_method_asyncv(m_bus, &slot, destination, path, interface, member,
                                            &BusConnection::onMessage, pending, types, args);
    va_end(args);
    return track(r, slot, pending, member);
}

bool BusConnection::subscribe(const char *sender, const char *path, const char *interface,
                              const char *member, SignalHandler handler)
{
    if (!open())
        return false;
    auto *pending = new Pending {this, {}, std::move(handler)};
    sd_bus_slot *slot = nullptr;
    const int r = sd_bus_match_signal_async(m_bus, &slot, sender, path, interface, member,
                                            &BusConnection::onMessage, nullptr, pending);
    return track(r, slot, pending, "AddMatch");
}

bool BusConnection::subscribe(const char *rule, SignalHandler handler)
{
    if (!open())
        return false;
    auto *pending = new Pending {this, {}, std::move(handler)};
    sd_bus_slot *slot = nullptr;
    const int r
        = sd_bus_add_match_async(m_bus, &slot, rule, &BusConnection::onMessage, nullptr, pending);
    return track(r, slot, pending, "AddMatch");
}

int BusConnection::onMessage(sd_bus_message *message, void *userdata, sd_bus_error *)
{
    auto *pending = static_cast<Pending *>(userdata);
    if (pending->reply)
        pending->reply(message, sd_bus_message_get_error(message));
    else if (pending->signal)
        pending->signal(message);
    return 0;
}

void BusConnection::onSlotGone(void *userdata)
{
    auto *pending = static_cast<Pending *>(userdata);
    pending->connection->m_pending -= pending->reply ? 1 : 0;
    delete pending;
}

void BusConnection::pump()
{
    if (!m_bus)
        return;
    int r = 0;
    do
        r = sd_bus_process(m_bus, nullptr);
    while (r > 0 && m_bus);
    if (!m_bus)
        return; // a handler closed it
    if (r < 0)
        close(r);
    else
        updateWatch();
}

void BusConnection::updateWatch()
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

void BusConnection::close(int error)
{
    if (error < 0)
        qCWarning(m_log, "%s connection closed: %s", name(),
                  qUtf8Printable(qt_error_string(-error)));
    for (QSocketNotifier *notifier : {m_readable, m_writable}) {
        notifier->setEnabled(false);
        notifier->deleteLater();
    }
    m_readable = m_writable = nullptr;
    m_timeout.stop();
    sd_bus_close_unref(std::exchange(m_bus, nullptr));
    if (error < 0 && m_closed)
        m_closed();
}

void BusConnection::drain(int ms)
{
    const QDeadlineTimer deadline(ms);
    while (m_bus && m_pending > 0 && !deadline.hasExpired()) {
        pump();
        if (m_bus && m_pending > 0)
            sd_bus_wait(m_bus, uint64_t(std::max<qint64>(deadline.remainingTime(), 0)) * 1000);
    }
}

} // namespace velkora
