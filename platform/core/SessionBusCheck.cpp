#include "platform/core/SessionBusCheck.h"

#include <QDeadlineTimer>
#include <QtGlobal>

#include <algorithm>

#include <systemd/sd-bus.h>

namespace velkora {

namespace {

const char AddressVariable[] = "DBUS_SESSION_BUS_ADDRESS";

struct LeftBus {
    bool left = false;
    bool given = false;
    QByteArray entry; // the variable as given, "NAME=value"
};

LeftBus &leftBus()
{
    static LeftBus state;
    return state;
}

// The address as sd-bus and libdbus find it: the variable, else the socket
// in the user's runtime folder. Read here, on the main thread, before Qt
// starts changing the environment.
QByteArray sessionBusAddress()
{
    if (qEnvironmentVariableIsSet(AddressVariable))
        return qgetenv(AddressVariable);
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    return runtime.isEmpty() ? QByteArray()
                             : "unix:path=" + runtime.toPercentEncoding("/*", "~") + "/bus";
}

bool staysSilent(sd_bus *bus, const QDeadlineTimer &deadline)
{
    for (;;) {
        const int r = sd_bus_process(bus, nullptr);
        if (r < 0 || sd_bus_is_open(bus) <= 0 || sd_bus_is_ready(bus) > 0)
            return false;
        if (r > 0)
            continue;
        if (deadline.hasExpired())
            return true;
        const qint64 restNs = std::max<qint64>(deadline.remainingTimeNSecs(), 0);
        sd_bus_wait(bus, uint64_t(restNs / 1000 + 1));
    }
}

} // namespace

SessionBusCheck::SessionBusCheck(int budgetMs)
    : m_address(sessionBusAddress())
{
    if (m_address.isEmpty())
        return;
    m_asking = std::thread([this, deadline = QDeadlineTimer(budgetMs, Qt::PreciseTimer)] {
        sd_bus *bus = nullptr;
        if (sd_bus_new(&bus) < 0)
            return;
        // Only the connect and the first bytes of the handshake happen
        // here; the Hello goes out queued.
        if (sd_bus_set_address(bus, m_address.constData()) >= 0
            && sd_bus_set_bus_client(bus, 1) >= 0 && sd_bus_start(bus) >= 0)
            m_silent = staysSilent(bus, deadline);
        // Closed without a flush, which would wait on a silent bus.
        sd_bus_close_unref(bus);
    });
}

SessionBusCheck::~SessionBusCheck()
{
    if (m_asking.joinable())
        m_asking.join();
}

bool SessionBusCheck::silent()
{
    // A wait on the window thread, but a bounded one, before any window
    // exists, and none at all where the bus is healthy: the alternative is
    // Qt waiting on the same bus for good.
    if (m_asking.joinable())
        m_asking.join();
    return m_silent;
}

QByteArray SessionBusCheck::address() const
{
    return m_address;
}

void leaveSessionBus()
{
    LeftBus &state = leftBus();
    if (state.left)
        return;
    state.given = qEnvironmentVariableIsSet(AddressVariable);
    state.entry = QByteArray(AddressVariable) + '=' + qgetenv(AddressVariable);
    // A path that is no socket: every client fails at once, and none goes
    // looking for a bus elsewhere or starts one of its own, as an unset
    // address would let libdbus do.
    qputenv(AddressVariable, "unix:path=/dev/null");
    state.left = true;
}

bool sessionBusLeft()
{
    return leftBus().left;
}

const char *givenSessionBusEntry()
{
    const LeftBus &state = leftBus();
    return state.left && state.given ? state.entry.constData() : nullptr;
}

} // namespace velkora
