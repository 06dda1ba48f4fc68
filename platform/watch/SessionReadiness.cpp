#include "platform/watch/SessionReadiness.h"

#include "platform/core/BusConnection.h"
#include "platform/core/Log.h"
#include "platform/watch/BusProperty.h"
#include "platform/watch/XTraySelection.h"

#include <utility>

namespace velkora {

namespace {

const char *const SnWatcher = "org.kde.StatusNotifierWatcher";
const char *const NetworkManager = "org.freedesktop.NetworkManager";
const uint NmConnectedGlobal = 70;
const uint NmUnknown = 0; // NetworkManager cannot tell: not a reason to wait

std::size_t indexOf(Condition condition)
{
    return condition == Condition::Tray ? 0 : 1;
}

} // namespace

SessionReadiness::SessionReadiness(bool onX11, QObject *parent)
    : Readiness(parent)
    , m_onX11(onX11)
{ }

SessionReadiness::~SessionReadiness() = default;

bool SessionReadiness::holds(Condition condition) const
{
    return m_holds[indexOf(condition)];
}

void SessionReadiness::watch(Condition condition)
{
    if (std::exchange(m_watched[indexOf(condition)], true))
        return;
    if (condition == Condition::Tray)
        watchTray();
    else
        watchNetwork();
}

void SessionReadiness::watchTray()
{
    const auto updated = [this] { update(Condition::Tray); };
    if (m_onX11) {
        m_xTray = std::make_unique<XTraySelection>(updated);
        if (!m_xTray->start())
            m_xTray.reset();
    }
    m_session = std::make_unique<BusConnection>(BusConnection::Kind::Session, lcWatch);
    if (!m_session->open())
        return;
    m_host = std::make_unique<BusProperty>(*m_session, SnWatcher, "/StatusNotifierWatcher",
                                           SnWatcher, "IsStatusNotifierHostRegistered", updated);
    BusProperty *host = m_host.get();
    host->follow("StatusNotifierHostRegistered",
                 [host](sd_bus_message *) { host->setValue(true); });
    // One host going says nothing of the others.
    host->follow("StatusNotifierHostUnregistered", [host](sd_bus_message *) { host->refresh(); });
    host->start();
    m_session->setClosedHandler([this] {
        m_host.reset();
        update(Condition::Tray);
    });
}

void SessionReadiness::watchNetwork()
{
    m_system = std::make_unique<BusConnection>(BusConnection::Kind::System, lcWatch);
    if (!m_system->open()) {
        m_noSystemBus = true;
        // Told later, as every answer is: watch() itself reports nothing.
        QMetaObject::invokeMethod(
            this, [this] { update(Condition::Network); }, Qt::QueuedConnection);
        return;
    }
    const auto updated = [this] { update(Condition::Network); };
    m_networkManager = std::make_unique<BusProperty>(*m_system, NetworkManager,
                                                     "/org/freedesktop/NetworkManager",
                                                     NetworkManager, "State", updated);
    m_networkd = std::make_unique<BusProperty>(
        *m_system, "org.freedesktop.network1", "/org/freedesktop/network1",
        "org.freedesktop.network1.Manager", "OnlineState", updated);
    BusProperty *nm = m_networkManager.get();
    nm->follow("StateChanged", [nm](sd_bus_message *message) {
        uint32_t state = 0;
        if (sd_bus_message_read_basic(message, 'u', &state) > 0)
            nm->setValue(uint(state));
    });
    nm->start();
    m_networkd->start();
    // A bus that breaks tells nothing more: the caller's limit decides.
    m_system->setClosedHandler([this] {
        m_networkManager.reset();
        m_networkd.reset();
        update(Condition::Network);
    });
}

bool SessionReadiness::hostRegistered() const
{
    return m_host && m_host->presence() == BusProperty::Presence::Present
        && m_host->value().toBool();
}

bool SessionReadiness::trayReady() const
{
    return hostRegistered() || (m_xTray && m_xTray->owned());
}

SessionReadiness::NetworkSource SessionReadiness::networkSource() const
{
    using Presence = BusProperty::Presence;
    if (m_noSystemBus)
        return NetworkSource::NoSystemBus;
    if (!m_networkManager)
        return NetworkSource::Unknown;
    const Presence nm = m_networkManager->presence(), networkd = m_networkd->presence();
    if (nm == Presence::Present)
        return NetworkSource::NetworkManager;
    if (nm == Presence::Unknown || networkd == Presence::Unknown)
        return NetworkSource::Unknown;
    return networkd == Presence::Present ? NetworkSource::Networkd : NetworkSource::Neither;
}

bool SessionReadiness::networkOnline()
{
    const NetworkSource source = networkSource();
    const bool changed = source != std::exchange(m_source, source);
    switch (source) {
    case NetworkSource::NetworkManager: {
        if (changed)
            qCInfo(lcWatch, "NetworkManager tells whether the network is online");
        const QVariant state = m_networkManager->value();
        return state.isValid()
            && (state.toUInt() == NmConnectedGlobal || state.toUInt() == NmUnknown);
    }
    case NetworkSource::Networkd:
        if (changed)
            qCInfo(lcWatch, "systemd-networkd tells whether the network is online");
        return m_networkd->value().toByteArray() == "online";
    case NetworkSource::Neither:
        if (changed)
            qCInfo(lcWatch,
                   "neither NetworkManager nor systemd-networkd is on the system bus: "
                   "the network counts as online");
        return true;
    case NetworkSource::NoSystemBus:
        if (changed)
            qCInfo(lcWatch, "no system bus to ask: the network counts as online");
        return true;
    case NetworkSource::Unknown:
        break;
    }
    return false;
}

void SessionReadiness::update(Condition condition)
{
    const bool now = condition == Condition::Tray ? trayReady() : networkOnline();
    if (now == std::exchange(m_holds[indexOf(condition)], now))
        return;
    if (condition == Condition::Tray && now)
        qCInfo(lcWatch, "tray ready: %s",
               hostRegistered() ? "a StatusNotifierHost is registered"
                                : (m_xTray->selectionName() + " has an owner").constData());
    else if (condition == Condition::Tray)
        qCInfo(lcWatch, "tray gone");
    Q_EMIT changed(condition);
}

} // namespace velkora
