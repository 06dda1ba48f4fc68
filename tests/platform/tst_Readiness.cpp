#include "platform/watch/SessionReadiness.h"

#include <QtTest>

#include <csignal>

#include <xcb/xcb.h>

using namespace velkora;

// Long enough for every answer of a local bus or display to have come: a report missed or made
// twice shows by then.
const int Settle = 400;
enum class Bus { Running, Silent, Missing };

// An XEmbed tray as tray programs make one: a window takes the selection and says so on the root.
class XTray {
    xcb_connection_t *m_x = xcb_connect(nullptr, nullptr);
    xcb_window_t m_root = xcb_setup_roots_iterator(xcb_get_setup(m_x)).data->root, m_window = 0;
    xcb_atom_t atom(const char *name)
    {
        const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply {
            xcb_intern_atom_reply(m_x, xcb_intern_atom(m_x, 0, strlen(name), name), nullptr),
            &std::free};
        return reply->atom;
    }

public:
    ~XTray() { xcb_disconnect(m_x); }
    void toggle() // takes the selection, or destroys the window that owns it
    {
        if (!m_window) {
            xcb_create_window(m_x, 0, m_window = xcb_generate_id(m_x), m_root, 0, 0, 1, 1, 0,
                              XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
            const xcb_atom_t selection = atom("_NET_SYSTEM_TRAY_S0"), manager = atom("MANAGER");
            xcb_set_selection_owner(m_x, m_window, selection, XCB_CURRENT_TIME);
            const xcb_client_message_data_t data {.data32 = {0, selection, m_window, 0, 0}};
            // type, format, sequence, window, message type, data (time, selection, owner)
            const xcb_client_message_event_t message {
                XCB_CLIENT_MESSAGE, 32, 0, m_root, manager, data};
            xcb_send_event(m_x, 0, m_root, XCB_EVENT_MASK_STRUCTURE_NOTIFY,
                           reinterpret_cast<const char *>(&message));
        } else {
            xcb_destroy_window(m_x, std::exchange(m_window, 0));
        }
        xcb_flush(m_x);
    }
};

// Two dbus-daemons as the session and the system bus, watch_standin.py for the services on them,
// an Xvfb for the XEmbed tray.
class tst_Readiness : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QProcess m_sessionBus, m_systemBus, m_display;
    QByteArray m_session, m_system;

    QByteArray startBus(QProcess &daemon)
    {
        daemon.start("dbus-daemon",
                     {"--nofork", "--print-address", "--config-file=" BUS_CONF,
                      "--address=unix:dir=" + m_dir.path()});
        return daemon.waitForReadyRead(10000) ? daemon.readLine().trimmed() : QByteArray();
    }
    // Watches the condition, then acts once per later step; after each, it holds as expected and
    // changed() came once per change.
    static void steps(Condition condition, const QList<bool> &holds,
                      const std::function<void(qsizetype)> &act = {})
    {
        SessionReadiness readiness(true);
        QSignalSpy spy(&readiness, &Readiness::changed);
        readiness.watch(condition);
        qsizetype changes = 0;
        for (qsizetype step = 0; step < holds.size(); ++step) {
            if (step > 0)
                act(step - 1);
            const bool changing = holds[step] != (step > 0 && holds[step - 1]);
            changes += changing ? 1 : 0;
            if (!changing)
                QTest::qWait(Settle);
            QTRY_COMPARE_WITH_TIMEOUT(spy.count(), changes, 10000);
            QCOMPARE(readiness.holds(condition), holds[step]);
        }
        QTest::qWait(Settle);
        QCOMPARE(spy.count(), changes);
        for (const QList<QVariant> &report : spy)
            QCOMPARE(report.at(0).value<Condition>(), condition);
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_session = startBus(m_sessionBus), m_system = startBus(m_systemBus);
        QVERIFY2(!m_session.isEmpty() && !m_system.isEmpty(), "dbus-daemon did not start");
        m_display.start("Xvfb", {"-displayfd", "1", "-noreset", "-nolisten", "tcp"});
        QVERIFY2(m_display.waitForReadyRead(10000), "Xvfb did not start");
        qputenv("DISPLAY", ':' + m_display.readLine().trimmed());
    }
    void cleanupTestCase()
    {
        for (QProcess *process : {&m_sessionBus, &m_systemBus, &m_display}) {
            process->terminate();
            QVERIFY(process->waitForFinished());
        }
    }
    void init()
    {
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_session);
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", m_system);
    }

    void services_data()
    {
        QTest::addColumn<Condition>("condition");
        QTest::addColumn<QStringList>("running"); // the stand-in's services before watching
        QTest::addColumn<QStringList>("told"); // to the stand-in after watching, one by one
        QTest::addColumn<QList<bool>>("holds"); // once watched, then after each word told
        const auto row = [](const char *name, Condition condition, const QStringList &running,
                            const QStringList &told, const QList<bool> &holds) {
            QTest::newRow(name) << condition << running << told << holds;
        };
        const Condition tray = Condition::Tray, network = Condition::Network;
        row("host registered before watching", tray, {"tray=1"}, {}, {true});
        row("host registered later, then going", tray, {"tray=0"}, {"tray=1", "tray=0"},
            {false, true, false});
        row("watcher coming late with a host, then going", tray, {}, {"tray=1", "tray=-"},
            {false, true, false});
        row("NetworkManager connected, disconnected, connected", network, {"nm=70"},
            {"nm=20", "nm=70"}, {true, false, true});
        row("NetworkManager that cannot tell counts as online", network, {"nm=0"}, {}, {true});
        row("NetworkManager decides over systemd-networkd", network, {"nm=50", "networkd=online"},
            {"nm=70"}, {false, true});
        row("systemd-networkd alone", network, {"networkd=degraded"}, {"networkd=online"},
            {false, true});
        row("neither: online until NetworkManager comes disconnected and goes", network, {},
            {"nm=20", "nm=-"}, {true, false, true});
    }
    void services()
    {
        QFETCH(Condition, condition);
        QFETCH(QStringList, running);
        QFETCH(QStringList, told);
        QFETCH(QList<bool>, holds);
        QProcess standin;
        standin.start("/usr/bin/python3", QStringList {STANDIN} + running);
        QVERIFY2(standin.waitForReadyRead(10000), "the stand-in did not start");
        steps(condition, holds, [&](qsizetype i) { standin.write(told[i].toUtf8() + '\n'); });
        standin.kill(), standin.waitForFinished();
    }

    void noServices_data()
    {
        QTest::addColumn<Condition>("condition");
        QTest::addColumn<Bus>("bus"); // the bus it asks, where nothing stands in for a service
        QTest::addColumn<bool>("xTray"); // an XEmbed tray runs before watching
        QTest::addColumn<QList<bool>>("holds"); // once watched, then after each toggle of the tray
        const Condition tray = Condition::Tray, network = Condition::Network;
        const auto row = [](const char *name, Condition condition, Bus bus, bool xTray,
                            const QList<bool> &holds) {
            QTest::newRow(name) << condition << bus << xTray << holds;
        };
        row("X tray before watching, going, coming back", tray, Bus::Running, true,
            {true, false, true});
        row("X tray, the session bus never answering", tray, Bus::Silent, true, {true});
        row("session bus never answering: no tray", tray, Bus::Silent, false, {false});
        row("system bus never answering: not online", network, Bus::Silent, false, {false});
        row("no system bus: online", network, Bus::Missing, false, {true});
    }
    void noServices()
    {
        QFETCH(Condition, condition);
        QFETCH(Bus, bus);
        QFETCH(bool, xTray);
        QFETCH(QList<bool>, holds);
        QProcess silent;
        if (bus != Bus::Running) {
            const QByteArray address = bus == Bus::Silent ? startBus(silent) : "unix:path=/none";
            QVERIFY(bus == Bus::Missing || ::kill(pid_t(silent.processId()), SIGSTOP) == 0);
            qputenv(condition == Condition::Tray ? "DBUS_SESSION_BUS_ADDRESS"
                                                 : "DBUS_SYSTEM_BUS_ADDRESS",
                    address);
        }
        XTray tray;
        if (xTray)
            tray.toggle();
        steps(condition, holds, [&](qsizetype) { tray.toggle(); });
        silent.kill(), silent.waitForFinished();
    }
};

QTEST_GUILESS_MAIN(tst_Readiness)
#include "tst_Readiness.moc"
