#include "config/ProgramTable.h"
#include "tests/support/FakeRuntime.h"
#include "tests/support/Rows.h"
#include "ui/runner/frmAuto.h"

#include <QtTest>
#include <QtWidgets>

using namespace velkora;
// A slot of the table: a path (the name is the path in capitals), the seconds, the switch and the
// conditions.
struct Slot {
    QString path;
    std::optional<qint32> seconds;
    bool active = true;
    QString waitFor {};
    std::optional<qint32> waitMax {};
};
using Slots = QList<Slot>;
using Ticks = QList<int>; // counted from the window's opening
// A row of the waits: ticks after which a condition begins or ceases to hold (0: before the
// window opens, -1: never), and starts in ticks, one between two ticks at half past.
struct Wait {
    Slots table;
    int trayAfter = -1, trayGoneAfter = -1, networkAfter = -1;
    bool cancelAfterTick3 = false;
    QList<double> starts {};
    QString lineAfterTick3 {};
    QString logged {}; // a line the log must hold
};
// What the user does during a tick: a double-click somewhere, a key, closing the window.
enum Action { None, OnName, OnMargin, Escape, Close };

class tst_frmAuto : public QObject {
    Q_OBJECT
    std::unique_ptr<test::FakeRuntime> m_runtime;
    ProgramList m_table;
    std::unique_ptr<frmAuto> m_window;
    int m_tick = 0;

    QLabel *line(int i) const { return m_window->findChild<QLabel *>(QString("lbl1(%1)").arg(i)); }
    void open(const Slots &table)
    {
        m_table = {};
        for (size_t i = 0; i < size_t(table.size()); ++i) {
            const Slot &s = table[i];
            m_table.ProgramTable[i]
                = {s.path, s.path.toUpper(), s.seconds, s.active, s.waitFor, s.waitMax};
            m_table.EntryCount += m_table.ProgramTable[i].filled(); // as the load counts them
        }
        m_window = std::make_unique<frmAuto>(*m_runtime, m_table);
        m_window->Form_Load();
        m_tick = 0;
    }
    void tickUntil(int last)
    {
        while (m_tick < last)
            ++m_tick, m_window->Timer1_Timer();
    }

private Q_SLOTS:
    void init() { m_runtime = std::make_unique<test::FakeRuntime>(); }

    void schedule_data()
    {
        QTest::addColumn<Slots>("table");
        QTest::addColumn<Action>("inTick4"); // while the tick at which "b" of abc is due yields
        QTest::addColumn<Ticks>("startTicks"); // of the slots with a path, in order
        QTest::addColumn<int>("closeTick");
        const Slots abc {{"a", 1}, {"b", 3}, {"c", 2}};
        // clang-format off
        QTest::newRow("5, 10 and 2 seconds start at 5, 15 and 17, then the window closes") << Slots {{"a", 5}, {"b", 10}, {"c", 2}} << None << Ticks {5, 15, 17} << 17;
        QTest::newRow("61 and 3600 seconds wait 10, 60 waits 60") << Slots {{"a", 61}, {"b", 3600}, {"c", 60}} << None << Ticks {10, 20, 80} << 80;
        QTest::newRow("negative, 0 and unset waits start on the next tick") << Slots {{"a", -5}, {"b", 0}, {"c", {}}} << None << Ticks {1, 2, 3} << 3;
        QTest::newRow("slots 0, 1, 5 filled: slot 2's time passes, slot 5 never starts") << Slots {{"a", 2}, {"b", 3}, {"", 4}, {}, {}, {"f", 1}} << None << Ticks {2, 5} << 9;
        QTest::newRow("an empty table starts nothing and closes on the first tick") << Slots {} << None << Ticks {} << 1;
        QTest::newRow("a double-click on the margin cancels, even the start that is due") << abc << OnMargin << Ticks {1} << 4;
        QTest::newRow("a double-click on the name line does nothing") << abc << OnName << Ticks {1, 4, 6} << 6;
        QTest::newRow("Escape does nothing: a stray key at login must not cancel") << abc << Escape << Ticks {1, 4, 6} << 6;
        QTest::newRow("closing the window cancels") << abc << Close << Ticks {1} << 4;
        QTest::newRow("an entry switched off is passed over, its seconds too") << Slots {{"a", 2}, {"b", 3, false}, {"c", 2}} << None << Ticks {2, 4} << 4;
        QTest::newRow("the window ends after the last entry that is on") << Slots {{"a", 2}, {"b", 3, false}} << None << Ticks {2} << 2;
        QTest::newRow("every entry switched off: as with an empty list") << Slots {{"a", 2, false}, {"b", 3, false}} << None << Ticks {} << 1;
        // clang-format on
    }
    void schedule()
    {
        QFETCH(Slots, table);
        QFETCH(Action, inTick4);
        open(table);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        Ticks startTicks;
        QStringList started, namesShown;
        int closeTick = 0;
        m_runtime->startAnswer = [&](const QString &path) {
            startTicks << m_tick;
            started << path.toUpper();
            namesShown << line(frmAuto::EntryName)->text();
            return StartResult {path == "b" ? 2 : 0, {}, 0}; // a failure changes nothing
        };
        const QPoint at = inTick4 == OnMargin ? QPoint(3, m_window->height() - 2)
                                              : line(frmAuto::EntryName)->geometry().center();
        m_runtime->onYield = [&] {
            if (m_tick != 4 || inTick4 == None)
                return;
            if (inTick4 == Escape)
                QTest::keyClick(m_window.get(), Qt::Key_Escape);
            else if (inTick4 == Close)
                m_window->close();
            else
                QTest::mouseDClick(m_window->windowHandle(), Qt::LeftButton, {}, at);
        };
        connect(m_window.get(), &QDialog::finished, this, [&] { closeTick = m_tick; });
        tickUntil(90); // on past the close: a closed window starts nothing
        QTEST(startTicks, "startTicks");
        QCOMPARE(namesShown, started); // each start under its own name
        QTEST(closeTick, "closeTick");
        QVERIFY(m_runtime->messages.isEmpty());
    }

    void waiting_data()
    {
        QTest::addColumn<Wait>("row");
        const velkora::test::RowsOf<Wait> row;
        const Slot b {"b", 2};
        row("a condition that holds already: the entry starts at its time",
            {.table = {{"a", 2, true, "Netzwerk"}, b}, .networkAfter = 0, .starts = {2, 4}});
        row("the tray comes after tick 3: the entry starts then, the next counts from that start",
            {.table = {{"a", 2, true, "Infobereich"}, b},
             .trayAfter = 3,
             .starts = {3.5, 5},
             .lineAfterTick3 = "Warte auf Infobereich (29 sek. )",
             .logged = "^\"A\": ready after [0-9.]+ s of waiting, starting it$"});
        row("never: the entry starts after its seconds and its longest wait, on record",
            {.table = {{"a", 2, true, "Infobereich", 5}},
             .starts = {7},
             .lineAfterTick3 = "Warte auf Infobereich (4 sek. )",
             .logged = "^\"A\": still waiting for Infobereich after 5 s, starting it anyway$"});
        row("a longest wait of 0 counts as 30",
            {.table = {{"a", 1, true, "Netzwerk", 0}},
             .starts = {31},
             .lineAfterTick3 = "Warte auf Netzwerk (28 sek. )"});
        row("both: the line names the one still missing, the start waits for the last",
            {.table = {{"a", 1, true, "Infobereich, netzwerk"}},
             .trayAfter = 0,
             .networkAfter = 5,
             .starts = {5.5},
             .lineAfterTick3 = "Warte auf Netzwerk (28 sek. )"});
        row("names in any case, with blanks; an unknown one is ignored, on record",
            {.table = {{"a", 2, true, " NETZWERK ,Bluetooth"}},
             .networkAfter = 0,
             .starts = {2},
             .logged = "^\"A\" waits for \"Bluetooth\", which is unknown: ignored$"});
        row("a tray that goes again before the entry's time is waited for",
            {.table = {{"a", 3, true, "Infobereich", 4}},
             .trayAfter = 0,
             .trayGoneAfter = 1,
             .starts = {7},
             .lineAfterTick3 = "Warte auf Infobereich (4 sek. )"});
        row("an entry switched off waits for nothing",
            {.table = {{"a", 2, false, "Infobereich"}, b}, .starts = {2}});
        row("a double-click while waiting cancels: nothing starts",
            {.table = {{"a", 2, true, "Infobereich"}},
             .cancelAfterTick3 = true,
             .lineAfterTick3 = "Warte auf Infobereich (29 sek. )"});
    }
    void waiting()
    {
        QFETCH(Wait, row);
        const QRegularExpression logged(row.logged);
        if (!row.logged.isEmpty())
            QTest::ignoreMessage(row.logged.contains("unknown") ? QtWarningMsg : QtInfoMsg, logged);
        test::FakeReadiness &conditions = m_runtime->conditions;
        const auto change = [&](int tick) {
            if (tick == row.trayAfter)
                conditions.set(Condition::Tray, true);
            if (tick == row.trayGoneAfter)
                conditions.set(Condition::Tray, false);
            if (tick == row.networkAfter)
                conditions.set(Condition::Network, true);
        };
        change(0);
        open(row.table);
        QList<double> starts;
        double now = 0;
        m_runtime->startAnswer = [&](const QString &) {
            starts << now;
            return StartResult {};
        };
        bool closed = false;
        connect(m_window.get(), &QDialog::finished, this, [&] { closed = true; });
        for (m_tick = 1; m_tick <= 40 && !closed; ++m_tick) {
            now = m_tick;
            m_window->Timer1_Timer();
            if (m_tick == 3) {
                const QString shown = line(frmAuto::Countdown)->text();
                QCOMPARE(shown.startsWith("Warte") ? shown : QString(), row.lineAfterTick3);
                if (row.cancelAfterTick3)
                    m_window->Form_DblClick();
            }
            now = m_tick + 0.5; // between this tick and the next
            change(m_tick);
        }
        QCOMPARE(starts, row.starts);
    }

    // A program that the session's autostart starts too is named on the first tick.
    void doubleStartsOnRecord()
    {
        m_runtime->alsoStarted = {"", "b-app"};
        open({{"a", 5}, {"b", 5}, {"c", 5, false}});
        QTest::ignoreMessage(QtWarningMsg,
                             "\"B\" also starts through the session's autostart "
                             "(b-app.desktop): it may run twice");
        tickUntil(2);
    }

    void countdownLines()
    {
        const QString longName = QString("Ein langer Programmname, ").repeated(3);
        open({{"/bin/a", -5}, {"/bin/b", 3}});
        m_table.ProgramTable[1].name = longName;
        QLabel *countdown = line(frmAuto::Countdown), *name = line(frmAuto::EntryName);
        QCOMPARE(countdown->text(), "Starte in (-5 sek.)");
        m_runtime->onYield = [&] { QCOMPARE(countdown->text(), "Starte in (-6 sek. )"); };
        tickUntil(1);
        QCOMPARE(countdown->text(), "Starte in (3 sek. )");

        // Centred, a long name was once cut at both ends; its beginning tells entries apart.
        QVERIFY(QFontMetrics(name->font()).horizontalAdvance(name->text()) <= name->width());
        QVERIFY(name->text().endsWith(u'…') && longName.startsWith(name->text().chopped(1)));
        QCOMPARE(name->toolTip(), longName);
    }
};

QTEST_MAIN(tst_frmAuto)
#include "tst_frmAuto.moc"
