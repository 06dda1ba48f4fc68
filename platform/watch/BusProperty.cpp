#include "platform/watch/BusProperty.h"

#include <utility>

namespace velkora {

namespace {

const char *const Daemon = "org.freedesktop.DBus";
const char *const DaemonPath = "/org/freedesktop/DBus";
const char *const Properties = "org.freedesktop.DBus.Properties";

// The variant at the message's read position, for the types the watched
// properties have; any other type reads as unknown.
QVariant variantValue(sd_bus_message *message)
{
    const char *contents = nullptr;
    if (sd_bus_message_peek_type(message, nullptr, &contents) <= 0
        || sd_bus_message_enter_container(message, 'v', contents) <= 0)
        return {};
    QVariant value;
    int flag = 0;
    uint32_t number = 0;
    const char *text = nullptr;
    const QByteArray type = contents;
    if (type == "b" && sd_bus_message_read_basic(message, 'b', &flag) > 0)
        value = flag != 0;
    else if (type == "u" && sd_bus_message_read_basic(message, 'u', &number) > 0)
        value = uint(number);
    else if (type == "s" && sd_bus_message_read_basic(message, 's', &text) > 0)
        value = QByteArray(text);
    else
        sd_bus_message_skip(message, contents);
    sd_bus_message_exit_container(message);
    return value;
}

} // namespace

BusProperty::BusProperty(BusConnection &bus, QByteArray name, QByteArray path, QByteArray interface,
                         QByteArray property, std::function<void()> updated)
    : m_bus(bus)
    , m_name(std::move(name))
    , m_path(std::move(path))
    , m_interface(std::move(interface))
    , m_property(std::move(property))
    , m_updated(std::move(updated))
{ }

void BusProperty::follow(const char *member, BusConnection::SignalHandler handler)
{
    m_bus.subscribe(m_name.constData(), m_path.constData(), m_interface.constData(), member,
                    std::move(handler));
}

void BusProperty::start()
{
    const QByteArray owners = "type='signal',sender='" + QByteArray(Daemon) + "',path='"
        + DaemonPath + "',interface='" + Daemon + "',member='NameOwnerChanged',arg0='" + m_name
        + '\'';
    const QByteArray changes = "type='signal',sender='" + m_name + "',path='" + m_path
        + "',interface='" + Properties + "',member='PropertiesChanged',arg0='" + m_interface + '\'';
    m_bus.subscribe(owners.constData(), [this](sd_bus_message *message) { ownerChanged(message); });
    m_bus.subscribe(changes.constData(),
                    [this](sd_bus_message *message) { propertiesChanged(message); });
    const auto running = [this](sd_bus_message *reply, const sd_bus_error *error) {
        int has = 0;
        if (error || sd_bus_message_read(reply, "b", &has) <= 0)
            return;
        if (has) {
            refresh();
        } else {
            m_presence = Presence::Absent;
            m_updated();
        }
    };
    m_bus.call(Daemon, DaemonPath, Daemon, "NameHasOwner", running, "s", m_name.constData());
}

void BusProperty::refresh()
{
    m_bus.call(
        m_name.constData(), m_path.constData(), Properties, "Get",
        [this](sd_bus_message *reply, const sd_bus_error *error) { answered(reply, error); }, "ss",
        m_interface.constData(), m_property.constData());
}

void BusProperty::setValue(const QVariant &value)
{
    m_presence = Presence::Present;
    m_value = value;
    m_updated();
}

void BusProperty::answered(sd_bus_message *reply, const sd_bus_error *error)
{
    if (!error) {
        setValue(variantValue(reply));
        return;
    }
    // Any other error (a timeout, no such property) says nothing of whether it runs.
    if (sd_bus_error_has_names(error, SD_BUS_ERROR_SERVICE_UNKNOWN, SD_BUS_ERROR_NAME_HAS_NO_OWNER))
        m_presence = Presence::Absent;
    m_value.clear();
    m_updated();
}

void BusProperty::ownerChanged(sd_bus_message *message)
{
    const char *name = nullptr, *before = nullptr, *after = nullptr;
    if (sd_bus_message_read(message, "sss", &name, &before, &after) <= 0)
        return;
    m_presence = *after ? Presence::Present : Presence::Absent;
    m_value.clear();
    m_updated();
    if (*after)
        refresh();
}

// PropertiesChanged(s interface, a{sv} changed, as invalidated); the match
// already chose the interface.
void BusProperty::propertiesChanged(sd_bus_message *message)
{
    const char *key = nullptr;
    if (sd_bus_message_skip(message, "s") < 0
        || sd_bus_message_enter_container(message, 'a', "{sv}") <= 0)
        return;
    while (sd_bus_message_enter_container(message, 'e', "sv") > 0) {
        if (sd_bus_message_read_basic(message, 's', &key) > 0 && m_property == key)
            setValue(variantValue(message));
        else
            sd_bus_message_skip(message, "v");
        sd_bus_message_exit_container(message);
    }
    if (sd_bus_message_exit_container(message) < 0
        || sd_bus_message_enter_container(message, 'a', "s") <= 0)
        return;
    while (sd_bus_message_read_basic(message, 's', &key) > 0) {
        if (m_property == key)
            refresh();
    }
}

} // namespace velkora
