#pragma once
// One property of one service on a bus, followed as the service comes, goes
// and changes it. The owner changes and PropertiesChanged are subscribed to
// before the first question goes out, so nothing can change unseen in
// between; answers are taken in the order they arrive, which is the order
// the service and the bus sent them in. A service that never answers leaves
// the value unknown. Nothing is ever activated by asking: whether the
// service runs is asked of the bus first.

#include "platform/core/BusConnection.h"

#include <QByteArray>
#include <QVariant>

#include <functional>

namespace velkora {

class BusProperty {
public:
    enum class Presence { Unknown, Absent, Present };

    /// Follows `property` of `interface` at `path` of the service `name`;
    /// `updated` is called after every answer or change (a value that came
    /// again included).
    BusProperty(BusConnection &bus, QByteArray name, QByteArray path, QByteArray interface,
                QByteArray property, std::function<void()> updated);
    BusProperty(const BusProperty &) = delete;
    BusProperty &operator=(const BusProperty &) = delete;

    /// Subscribes to one more signal of the service's interface at its path.
    /// Before start(), so that it cannot miss what start() asks about.
    void follow(const char *member, BusConnection::SignalHandler handler);

    /// Subscribes to the owner changes and the property's changes, then asks
    /// whether the service runs. What cannot be sent is on record through the
    /// connection, and leaves the presence unknown.
    void start();

    /// Asks for the property again: a signal said it changed, not to what.
    void refresh();

    /// Takes the value a signal of the service carried.
    void setValue(const QVariant &value);

    Presence presence() const { return m_presence; }

    /// A bool, a uint or a QByteArray (strings); invalid while unknown.
    const QVariant &value() const { return m_value; }

private:
    void ownerChanged(sd_bus_message *message);
    void propertiesChanged(sd_bus_message *message);
    void answered(sd_bus_message *reply, const sd_bus_error *error);

    BusConnection &m_bus;
    QByteArray m_name, m_path, m_interface, m_property;
    std::function<void()> m_updated;
    Presence m_presence = Presence::Unknown;
    QVariant m_value;
};

} // namespace velkora
