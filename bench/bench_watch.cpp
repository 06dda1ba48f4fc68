// How soon a change of the tray or the network reaches Readiness::changed():
// from the moment the stand-in's signals have left (tests/platform/
// watch_standin.py prints that moment), or the X tray's requests were sent,
// to the signal's arrival; on private buses and a private Xvfb, a round
// turning the condition on and one turning it off again. No timer of the
// watchers is involved: every figure is one bus or X event's way through.
//
// Usage: bench_watch [rounds]   (default 50)

#include "platform/watch/SessionReadiness.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

#include <xcb/xcb.h>

using namespace velkora;

namespace {

double secondsNow()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void report(const char *what, std::vector<double> values, int missed)
{
    if (values.empty()) {
        std::printf("%-44s no samples, %d missed\n", what, missed);
        return;
    }
    std::sort(values.begin(), values.end());
    std::printf("%-44s n=%3zu  median %7.0f us  max %7.0f us  missed %d\n", what, values.size(),
                values[values.size() / 2] * 1e6, values.back() * 1e6, missed);
}

QByteArray startBus(QProcess &daemon, const QString &folder)
{
    daemon.start(QStringLiteral("dbus-daemon"),
                 {QStringLiteral("--nofork"), QStringLiteral("--print-address"),
                  QStringLiteral("--config-file=" BUS_CONF),
                  QStringLiteral("--address=unix:dir=") + folder});
    return daemon.waitForReadyRead(10000) ? daemon.readLine().trimmed() : QByteArray();
}

// Takes the XEmbed tray selection of screen 0 and says so, or gives it up by
// destroying its window; returns when the requests have left.
class XTray {
public:
    XTray()
        : m_x(xcb_connect(nullptr, nullptr))
        , m_root(xcb_setup_roots_iterator(xcb_get_setup(m_x)).data->root)
        , m_selection(atom("_NET_SYSTEM_TRAY_S0"))
        , m_manager(atom("MANAGER"))
    { }
    ~XTray() { xcb_disconnect(m_x); }
    XTray(const XTray &) = delete;
    XTray &operator=(const XTray &) = delete;

    double toggle()
    {
        if (m_window != XCB_NONE) {
            xcb_destroy_window(m_x, std::exchange(m_window, XCB_NONE));
        } else {
            m_window = xcb_generate_id(m_x);
            xcb_create_window(m_x, 0, m_window, m_root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                              XCB_COPY_FROM_PARENT, 0, nullptr);
            xcb_set_selection_owner(m_x, m_window, m_selection, XCB_CURRENT_TIME);
            const xcb_client_message_data_t data {.data32 = {0, m_selection, m_window, 0, 0}};
            const xcb_client_message_event_t message {XCB_CLIENT_MESSAGE, 32,  0, m_root,
                                                      m_manager,          data};
            xcb_send_event(m_x, 0, m_root, XCB_EVENT_MASK_STRUCTURE_NOTIFY,
                           reinterpret_cast<const char *>(&message));
        }
        xcb_flush(m_x);
        return secondsNow();
    }

private:
    xcb_atom_t atom(const char *name)
    {
        const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply {
            xcb_intern_atom_reply(m_x, xcb_intern_atom(m_x, 0, uint16_t(strlen(name)), name),
                                  nullptr),
            &std::free};
        return reply ? reply->atom : XCB_NONE;
    }

    xcb_connection_t *m_x;
    xcb_window_t m_root;
    xcb_atom_t m_selection, m_manager;
    xcb_window_t m_window = XCB_NONE;
};

struct Case {
    const char *name;
    Condition condition;
    QStringList services; // the stand-in's, at its start
    QByteArray on, off; // the words that turn the condition on and off; none: the X tray
};

// Turns the condition on and off `rounds` times; each latency is the time
// from the change's moment to changed(). Both that moment (the stand-in's
// answer) and changed() are taken in the event loop, so that neither waits
// for the other.
void measure(const Case &c, int rounds)
{
    QProcess standin;
    standin.start(QStringLiteral("/usr/bin/python3"),
                  QStringList {QStringLiteral(STANDIN)} + c.services);
    if (!standin.waitForReadyRead(10000) || !standin.readLine().startsWith("ready")) {
        std::printf("%-44s the stand-in did not start\n", c.name);
        return;
    }
    std::unique_ptr<XTray> tray = c.on.isEmpty() ? std::make_unique<XTray>() : nullptr;
    SessionReadiness readiness(tray != nullptr);
    QEventLoop loop;
    double changedAt = -1, reported = 0;
    int awaited = 0;
    const auto arrived = [&] {
        if (--awaited == 0)
            loop.quit();
    };
    QObject::connect(&readiness, &Readiness::changed, &loop, [&] {
        reported = secondsNow();
        arrived();
    });
    QObject::connect(&standin, &QProcess::readyReadStandardOutput, &loop, [&] {
        while (standin.canReadLine()) {
            changedAt = standin.readLine().split(' ').value(1).trimmed().toDouble();
            arrived();
        }
    });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
    readiness.watch(c.condition);
    awaited = -1; // the first answers come: the condition does not hold yet
    guard.start(500);
    loop.exec();
    std::vector<double> on, off;
    int missedOn = 0, missedOff = 0;
    for (int round = 0; round < 2 * rounds; ++round) {
        const bool turningOn = round % 2 == 0;
        reported = 0, changedAt = -1;
        awaited = tray ? 1 : 2;
        if (tray)
            changedAt = tray->toggle();
        else
            standin.write((turningOn ? c.on : c.off) + '\n');
        guard.start(5000);
        loop.exec();
        if (awaited != 0 || readiness.holds(c.condition) != turningOn)
            ++(turningOn ? missedOn : missedOff);
        else
            (turningOn ? on : off).push_back(reported - changedAt);
    }
    standin.kill();
    standin.waitForFinished();
    report((QByteArray(c.name) + ", on").constData(), on, missedOn);
    report((QByteArray(c.name) + ", off").constData(), off, missedOff);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("velkora.watch.info=false"));
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    QTemporaryDir folder;
    QProcess session, system, display;
    qputenv("DBUS_SESSION_BUS_ADDRESS", startBus(session, folder.path()));
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", startBus(system, folder.path()));
    display.start(QStringLiteral("Xvfb"),
                  {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-noreset"),
                   QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    if (!display.waitForReadyRead(10000)) {
        std::printf("Xvfb did not start\n");
        return 1;
    }
    qputenv("DISPLAY", ':' + display.readLine().trimmed());

    const QStringList none;
    const Case cases[] = {
        {"StatusNotifierHost registered",
         Condition::Tray,
         {QStringLiteral("tray=0")},
         "tray=1",
         "tray=0"},
        {"NetworkManager State 70",
         Condition::Network,
         {QStringLiteral("nm=20")},
         "nm=70",
         "nm=20"},
        {"systemd-networkd OnlineState online",
         Condition::Network,
         {QStringLiteral("networkd=degraded")},
         "networkd=online",
         "networkd=degraded"},
        {"XEmbed tray selection owned", Condition::Tray, none, {}, {}},
    };
    for (const Case &c : cases)
        measure(c, rounds);
    for (QProcess *process : {&session, &system, &display}) {
        process->terminate();
        process->waitForFinished();
    }
    return 0;
}
