#include "platform/watch/SessionReadiness.h"

#include <QtTest>

#include <csignal>

#include <xcb/xcb.h>

using namespace velkora;

// Long enough for every answer of a local bus or display to have come: a report missed or made
// twice shows by then.
const int Settle = 400;
enum class Bus { Missing, Silent };

// An XEmbed tray as tray programs make one: a window takes the selection and says so on the root.
class XTray {
    xcb_connection_t *m_x = xcb_connect(nullptr, nullptr);
    xcb_window_t m_root = xcb_setup_roots_iterator(xcb_get_setup(m_x)).data->root, m_window = 0;
    xcb_atom_t atom(const char *name)
    {
        xcb_intern_atom_reply_t *reply
            = xcb_intern_atom_reply(m_x, xcb_intern_atom(m_x, 0, strlen(name), name), nullptr);
        const xcb_atom_t atom = reply->atom;
        std::free(reply);
        return atom;
    }

public:
    ~XTray() { xcb_disconnect(m_x); }
    void toggle() // takes the selection, or destroys the window that owns it
    {
        if (m_window) {
            xcb_destroy_window(m_x, std::exchange(m_window, 0));
        } else {
            m_window = xcb_generate_id(m_x);
            xcb_create_window(m_x, 0, m_window, m_root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                              XCB_COPY_FROM_PARENT, 0, nullptr);
            const xcb_atom_t selection = atom("_NET_SYSTEM_TRAY_S0");
            xcb_set_selection_owner(m_x, m_window, selection, XCB_CURRENT_TIME);
            const xcb_client_message_event_t manager {.response_type = XCB_CLIENT_MESSAGE,
                                                      .format = 32,
                                                      .sequence = 0,
                                                      .window = m_root,
                                                      .type = atom("MANAGER"),
                                                      .data
                                                      = {.data32 = {0, selection, m_window, 0, 0}}};
            xcb_send_event(m_x, 0, m_root, XCB_EVENT_MASK_STRUCTURE_NOTIFY,
                           reinterpret_cast<const char *>(&manager));
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

    void xembed_data()
    {
        QTest::addColumn<bool>("before"); // an owner before watching; each later step toggles it
        QTest::newRow("owner before watching, going, coming back") << true;
        QTest::newRow("none before watching, one coming, going") << false;
    }
    void xembed()
    {
        QFETCH(bool, before);
        XTray tray;
        if (before)
            tray.toggle();
        steps(Condition::Tray, {before, !before, before}, [&](qsizetype) { tray.toggle(); });
    }

    void unreachable_data()
    {
        QTest::addColumn<Condition>("condition");
        QTest::addColumn<Bus>("bus"); // what the bus the condition asks is like
        QTest::addColumn<bool>("xTray"); // an XEmbed tray runs
        QTest::addColumn<bool>("holds");
        const Condition tray = Condition::Tray, network = Condition::Network;
        QTest::newRow("no system bus: online") << network << Bus::Missing << false << true;
        QTest::newRow("silent system bus: not online") << network << Bus::Silent << false << false;
        QTest::newRow("silent session bus: no tray") << tray << Bus::Silent << false << false;
        QTest::newRow("silent session bus: the X tray seen") << tray << Bus::Silent << true << true;
        QTest::newRow("no session bus: the X tray seen") << tray << Bus::Missing << true << true;
    }
    void unreachable()
    {
        QFETCH(Condition, condition);
        QFETCH(Bus, bus);
        QFETCH(bool, xTray);
        QFETCH(bool, holds);
        QProcess silent;
        QByteArray address = "unix:path=" + QFile::encodeName(m_dir.filePath("none"));
        if (bus == Bus::Silent) {
            address = startBus(silent);
            QVERIFY(::kill(pid_t(silent.processId()), SIGSTOP) == 0);
        }
        qputenv(condition == Condition::Tray ? "DBUS_SESSION_BUS_ADDRESS"
                                             : "DBUS_SYSTEM_BUS_ADDRESS",
                address);
        XTray tray;
        if (xTray)
            tray.toggle();
        steps(condition, {holds});
        silent.kill(), silent.waitForFinished();
    }
};

QTEST_GUILESS_MAIN(tst_Readiness)
#include "tst_Readiness.moc"
