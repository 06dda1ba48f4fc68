#include "platform/core/SessionBusCheck.h"

#include <QtGlobal>

#include <algorithm>

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

} // namespace

SessionBusCheck::SessionBusCheck(int budgetMs)
    : m_deadline(budgetMs, Qt::PreciseTimer)
{
    // Only the connect and the first bytes of the handshake happen here;
    // the Hello goes out queued.
    if (sd_bus_open_user(&m_bus) < 0)
        m_bus = nullptr;
}

SessionBusCheck::~SessionBusCheck()
{
    // Closed without a flush, which would wait on a silent bus.
    sd_bus_close_unref(m_bus);
}

bool SessionBusCheck::silent()
{
    // A wait on the window thread, but a bounded one and before any window
    // exists: the alternative is Qt waiting on the same bus for good.
    while (m_bus) {
        const int r = sd_bus_process(m_bus, nullptr);
        if (r < 0 || sd_bus_is_open(m_bus) <= 0 || sd_bus_is_ready(m_bus) > 0)
            return false;
        if (r > 0)
            continue;
        if (m_deadline.hasExpired())
            return true;
        const qint64 restNs = std::max<qint64>(m_deadline.remainingTimeNSecs(), 0);
        sd_bus_wait(m_bus, uint64_t(restNs / 1000 + 1));
    }
    return false;
}

QByteArray SessionBusCheck::address() const
{
    const char *address = nullptr;
    if (!m_bus || sd_bus_get_address(m_bus, &address) < 0)
        return {};
    return address;
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
