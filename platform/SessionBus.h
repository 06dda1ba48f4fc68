#pragma once
// The user's session bus, driven from the thread that owns it without ever
// waiting: the connection is opened at its first use, its socket and its
// timeout are watched by the event loop, and every answer arrives later
// through a callback. No thread of ours and none of GLib's is involved, so a
// bus that never answers, or none at all, cannot hold up a program start.

#include <QObject>
#include <QString>
#include <QTimer>

#include <systemd/sd-bus.h>

#include <functional>

class QSocketNotifier;

namespace velkora {

class SessionBus : public QObject {
public:
    explicit SessionBus(QObject *parent = nullptr);
    ~SessionBus() override;

    /// Asks the systemd user manager to move the process into a transient
    /// scope of its own under app.slice. Failures are logged, never reported.
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
    struct Call;
    using Handler = std::function<void(sd_bus_message *reply, const sd_bus_error *error)>;

    bool ensureOpen();
    bool call(const char *destination, const char *path, const char *interface, const char *member,
              Handler handler, const char *types, ...);
    void pump();
    void updateWatch();
    void close(int error);
    static int onReply(sd_bus_message *reply, void *userdata, sd_bus_error *);
    static void onCallGone(void *userdata);

    sd_bus *m_bus = nullptr;
    QSocketNotifier *m_readable = nullptr;
    QSocketNotifier *m_writable = nullptr;
    QTimer m_timeout;
    int m_pending = 0;
    bool m_missing = false; // no bus could be opened: do not try again
    bool m_noSystemd = false; // nobody answers for systemd on this bus
};

} // namespace velkora
