#include "platform/start/SessionBus.h"

#include "platform/core/Log.h"

#include <memory>
#include <utility>

namespace velkora {

namespace {

const char *const Daemon = "org.freedesktop.DBus";
const char *const DaemonPath = "/org/freedesktop/DBus";
// What the bus daemon answers when it cannot start the service for a name.
constexpr QByteArrayView SpawnErrors("org.freedesktop.DBus.Error.Spawn.");

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
    , m_bus(BusConnection::Kind::Session)
{ }

void SessionBus::drain(int ms)
{
    m_bus.drain(ms);
}

void SessionBus::startScope(const QString &name, qint64 pid, const QString &description)
{
    if (m_noSystemd)
        return;
    const QByteArray unit = scopeName(name, pid);
    const auto answered = [this, unit, pid](sd_bus_message *, const sd_bus_error *error) {
        scopeAnswered(unit, pid, error);
    };
    const QByteArray text = description.toUtf8();
    m_bus.call("org.freedesktop.systemd1", "/org/freedesktop/systemd1",
               "org.freedesktop.systemd1.Manager", "StartTransientUnit", answered,
               "ssa(sv)a(sa(sv))", unit.constData(), "fail", 4u, "PIDs", "au", 1u, uint32_t(pid),
               "Slice", "s", "app.slice", "Description", "s", text.constData(), "CollectMode", "s",
               "inactive-or-failed", 0u);
}

void SessionBus::scopeAnswered(const QByteArray &unit, qint64 pid, const sd_bus_error *error)
{
    if (!error) {
        qCDebug(lcSession, "process %lld runs in %s", static_cast<long long>(pid),
                unit.constData());
    } else if (sd_bus_error_has_name(error, SD_BUS_ERROR_SERVICE_UNKNOWN)
               || sd_bus_error_has_name(error, SD_BUS_ERROR_NAME_HAS_NO_OWNER)) {
        if (!std::exchange(m_noSystemd, true))
            qCInfo(lcSession,
                   "no systemd user manager on the session bus: started programs "
                   "stay in Velkora's own unit");
    } else if (QByteArrayView(error->name).startsWith(SpawnErrors)) {
        // The bus has a service file for systemd but cannot start it; it
        // would try again, and fail again, for every program.
        if (!std::exchange(m_noSystemd, true))
            qCWarning(lcSession,
                      "the systemd user manager cannot be started (%s): "
                      "started programs stay in Velkora's own unit",
                      qUtf8Printable(describe(error)));
    } else if (sd_bus_error_has_name(error, "org.freedesktop.systemd1.NoSuchProcess")) {
        // Short-lived programs often end before systemd gets to them.
        qCDebug(lcSession, "process %lld ended before its scope was made",
                static_cast<long long>(pid));
    } else {
        qCWarning(lcSession, "scope %s for process %lld failed: %s", unit.constData(),
                  static_cast<long long>(pid), qUtf8Printable(describe(error)));
    }
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
    if (!m_bus.call(Daemon, DaemonPath, Daemon, "NameHasOwner", owned, "s", name.constData()))
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
    m_bus.call(Daemon, DaemonPath, Daemon, "ListActivatableNames", activatable, nullptr);
    return true;
}

void SessionBus::activate(const QString &busName, const QString &startupId)
{
    const QByteArray name = busName.toUtf8();
    QByteArray path = '/' + name;
    path.replace('.', '/').replace('-', '_');
    const auto answered = [name](sd_bus_message *, const sd_bus_error *error) {
        if (error)
            qCWarning(lcStart, "activating %s failed: %s", name.constData(),
                      qUtf8Printable(describe(error)));
    };
    const char *const interface = "org.freedesktop.Application";
    const QByteArray id = startupId.toUtf8();
    // With no startup id the dictionary is empty, and the entry after the count is not read.
    m_bus.call(name.constData(), path.constData(), interface, "Activate", answered, "a{sv}",
               id.isEmpty() ? 0u : 1u, "desktop-startup-id", "s", id.constData());
}

} // namespace velkora
