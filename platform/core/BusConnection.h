#pragma once
// A D-Bus connection, to the user's session bus or to the system bus, driven
// from the thread that owns it without ever waiting: it is opened at its
// first use, its socket and its timeout are watched by the event loop, and
// every answer and signal arrives later through a callback. No thread of ours
// and none of GLib's is involved, so a bus that never answers, or none at
// all, cannot hold anything up.

#include "platform/core/Log.h"

#include <QObject>
#include <QTimer>

#include <systemd/sd-bus.h>

#include <functional>

class QSocketNotifier;

namespace velkora {

class BusConnection : public QObject {
public:
    enum class Kind { Session, System };
    using ReplyHandler = std::function<void(sd_bus_message *reply, const sd_bus_error *error)>;
    using SignalHandler = std::function<void(sd_bus_message *message)>;
    using LogCategory = const QLoggingCategory &(*)();

    /// `log` takes the connection's lines: a missing bus, a failed send, a break.
    explicit BusConnection(Kind kind, LogCategory log = lcSession, QObject *parent = nullptr);
    ~BusConnection() override;

    /// Connects unless connected; false when there is no bus to connect to
    /// (said once in the log, and not tried again). Only starts a
    /// non-blocking connect: the handshake follows in the event loop.
    bool open();

    /// Sends a method call; `handler` gets the reply or the error later, and
    /// not at all while the bus stays silent (sd-bus's own timeout then
    /// answers with an error after 25 s). False when nothing was sent.
    bool call(const char *destination, const char *path, const char *interface, const char *member,
              ReplyHandler handler, const char *types, ...);

    /// Subscribes to a signal (null fields match anything). The subscription
    /// goes out before anything sent after it, so a Get that follows cannot
    /// miss a change. False when nothing was sent.
    bool subscribe(const char *sender, const char *path, const char *interface, const char *member,
                   SignalHandler handler);

    /// The same for a whole match rule, for what the fields above cannot
    /// say (`arg0='...'`).
    bool subscribe(const char *rule, SignalHandler handler);

    /// Called once when an open connection breaks or is refused.
    void setClosedHandler(std::function<void()> closed);

    /// Gives calls still under way up to `ms` milliseconds to be answered,
    /// waiting on the bus alone; for the end of the program only.
    void drain(int ms);

    /// Which bus, for log lines: "session bus" or "system bus".
    const char *name() const;

private:
    struct Pending;

    bool track(int result, sd_bus_slot *slot, Pending *pending, const char *what);
    void pump();
    void updateWatch();
    void close(int error);
    static int onMessage(sd_bus_message *message, void *userdata, sd_bus_error *);
    static void onSlotGone(void *userdata);

    Kind m_kind;
    LogCategory m_log;
    sd_bus *m_bus = nullptr;
    QSocketNotifier *m_readable = nullptr;
    QSocketNotifier *m_writable = nullptr;
    QTimer m_timeout;
    std::function<void()> m_closed;
    int m_pending = 0; // method calls not answered yet
    bool m_missing = false; // no bus could be opened: do not try again
};

} // namespace velkora
