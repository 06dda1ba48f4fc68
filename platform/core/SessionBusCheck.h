#pragma once
// Whether the user's session bus answers, found out at start-up without
// holding it up. A bus daemon that takes connections and never answers (a
// stopped or hung one) would hold the window thread for good: Qt connects to
// the session bus synchronously for its accessibility bridge, its platform
// theme and the menu bar's global menu. Where the bus stays silent, the
// process leaves it: Qt and BusConnection then find no bus at once, while
// started programs still get the session's real bus address.

#include <QByteArray>

#include <thread>

namespace velkora {

class SessionBusCheck {
public:
    /// Starts asking the session bus, on a thread of its own, whether it
    /// answers within budgetMs, and returns at once: the handshake goes on
    /// while the caller does other work.
    explicit SessionBusCheck(int budgetMs);
    ~SessionBusCheck();
    SessionBusCheck(const SessionBusCheck &) = delete;
    SessionBusCheck &operator=(const SessionBusCheck &) = delete;

    /// True when the bus took the connection but has neither answered nor
    /// failed within the budget. Returns at once when the answer is in, else
    /// at the end of the budget. False for a bus that answered, and for one
    /// that is not there or refuses us: Qt finds that out at once itself.
    [[nodiscard]] bool silent();

    /// The bus's address, for the log.
    QByteArray address() const;

private:
    QByteArray m_address;
    bool m_silent = false;
    std::thread m_asking;
};

/// Keeps this process off the session bus from now on: D-Bus clients in it
/// (Qt's, GLib's, BusConnection) find no bus. Call before anything uses the
/// bus, while no other thread reads the environment.
void leaveSessionBus();

/// True after leaveSessionBus().
bool sessionBusLeft();

/// After leaveSessionBus(): "DBUS_SESSION_BUS_ADDRESS=..." as this process
/// was given it, for the environment of the programs it starts; null when it
/// was given none, or has not left the bus.
const char *givenSessionBusEntry();

} // namespace velkora
