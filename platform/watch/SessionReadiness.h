#pragma once
// The tray and the network of the running session. The tray is ready when a
// StatusNotifierHost is registered with the StatusNotifierWatcher on the
// session bus or, on X11, when an XEmbed tray owns its selection. The network
// is online as NetworkManager says (State 70, or 0: it cannot tell), else as
// systemd-networkd says (OnlineState "online"); with neither of them on the
// system bus, or no system bus at all, it counts as online. Each bus and the
// X display are connected to only when a condition first needs them.

#include "platform/watch/Readiness.h"

#include <array>
#include <memory>

namespace velkora {

class BusConnection;
class BusProperty;
class XTraySelection;

class SessionReadiness : public Readiness {
public:
    /// onX11: the program's windows are on X11, where an XEmbed tray counts
    /// too. changed() may come from within a bus's or the display's
    /// processing: delete this object with deleteLater() in a slot of it.
    explicit SessionReadiness(bool onX11, QObject *parent = nullptr);
    ~SessionReadiness() override;

    void watch(Condition condition) override;
    bool holds(Condition condition) const override;

private:
    enum class NetworkSource { Unknown, NetworkManager, Networkd, Neither, NoSystemBus };

    void watchTray();
    void watchNetwork();
    bool hostRegistered() const;
    bool trayReady() const;
    NetworkSource networkSource() const;
    bool networkOnline();
    void update(Condition condition);

    bool m_onX11;
    std::array<bool, 2> m_watched {};
    std::array<bool, 2> m_holds {};
    bool m_noSystemBus = false;
    NetworkSource m_source = NetworkSource::Unknown;
    std::unique_ptr<XTraySelection> m_xTray;
    std::unique_ptr<BusProperty> m_host, m_networkManager, m_networkd;
    // Last, so that they go first, and with them every handler that reaches
    // the members above.
    std::unique_ptr<BusConnection> m_session, m_system;
};

} // namespace velkora
