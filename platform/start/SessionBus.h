#pragma once
// What a program start asks of the user's session bus: a systemd scope of its
// own for each started process, and the activation of D-Bus activatable
// desktop entries. Every request goes out without waiting (BusConnection), so
// a bus that never answers, or none at all, cannot hold up a program start.

#include "platform/core/BusConnection.h"

#include <QString>

#include <functional>

namespace velkora {

class SessionBus : public QObject {
public:
    explicit SessionBus(QObject *parent = nullptr);

    /// Asks the systemd user manager to move the process into a transient
    /// scope of its own under app.slice. Failures are logged, never reported;
    /// once the bus says that no manager answers or that it cannot start one,
    /// no scope is asked for again.
    void startScope(const QString &name, qint64 pid, const QString &description);

    /// Asks the bus daemon whether busName is owned or can be activated.
    /// Returns false when there is no bus to ask; otherwise `answer` is called
    /// at most once, later, and not at all when the bus stays silent.
    bool askNameAvailable(const QString &busName, std::function<void(bool)> answer);

    /// Calls org.freedesktop.Application.Activate on the application's bus name.
    void activate(const QString &busName, const QString &startupId);

    /// Gives calls still under way up to `ms` milliseconds to be answered,
    /// waiting on the bus alone; for the end of the program only.
    void drain(int ms);

private:
    void scopeAnswered(const QByteArray &unit, qint64 pid, const sd_bus_error *error);

    BusConnection m_bus;
    bool m_noSystemd = false; // nobody answers for systemd on this bus, or it cannot start
};

} // namespace velkora
