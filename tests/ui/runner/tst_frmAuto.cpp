#include "config/ProgramTable.h"
#include "tests/support/FakeRuntime.h"
#include "ui/runner/frmAuto.h"

#include <QLabel>
#include <QTest>
#include <QTimer>

// table "path[,seconds];..." from slot 0 ("-": no path), names = paths in capitals. log "tick:path"
// per start, "tick:close". shown: countdown after load, in tick 1. cancelTick < 0: in its yield.
struct Run {
    QString table;
    int count;
    QString log;
    QStringList shown = {};
    QString failing = {};
    int cancelTick = 0;
};
Q_DECLARE_METATYPE(Run)

class tst_frmAuto : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void ticks_data()
    {
        QTest::addColumn<Run>("run");
        const auto row = [](const char *name, const Run &run) { QTest::newRow(name) << run; };
        const QStringList zero {"Starte in (0 sek.)", "Starte in (-1 sek. )"};
        row("5, 10, 2; b fails", {"a,5;b,10;c,2", 3, "5:a 15:b 17:c 17:close", {}, "b"});
        row("61 and 3600 wait 10, 60 waits 60", {"a,61;b,3600;c,60", 3, "10:a 20:b 80:c 80:close"});
        row("0", {"a,0;b", 2, "1:a 2:b 2:close", zero});
        row("-5", {"a,-5", 1, "1:a 1:close", {"Starte in (-5 sek.)", "Starte in (-6 sek. )"}});
        row("unset time", {"a;b", 2, "1:a 2:b 2:close", zero});
        row("slots 0, 1, 5: slot 2 waited out", {"a,2;b,3;-,4;-;-;f,1", 3, "2:a 5:b 9:close"});
        row("empty table", {{}, 0, "1:close", zero});
        row("double-click between ticks", {"a,2;b,3;c,1", 3, "2:a 3:close", {}, {}, 3});
        row("double-click in a due tick's yield", {"a,2;b,3;c,1", 3, "2:a 5:close", {}, {}, -5});
        QString allLog;
        for (int tick = 2; tick <= 62; tick += 2)
            allLog += QStringLiteral("%1:p ").arg(tick);
        row("all 31 slots", {QString("p,2;").repeated(31), 31, allLog + "62:close"});
    }

    void ticks()
    {
        QFETCH(Run, run);
        velkora::resetProgramTable();
        const QStringList items = run.table.split(u';', Qt::SkipEmptyParts);
        for (std::size_t slot = 0; slot < std::size_t(items.size()); ++slot) {
            const QStringList fields = items[slot].split(u',');
            if (fields[0] != u"-")
                velkora::ProgramTable[slot] = {fields[0], fields[0].toUpper(), std::nullopt};
            if (fields.size() > 1)
                velkora::ProgramTable[slot].seconds = fields[1].toInt();
        }
        velkora::EntryCount = run.count;
        velkora::test::FakeRuntime runtime;
        frmAuto w(runtime);
        QStringList shown, events;
        int tick = 0;
        runtime.startAnswer = [&](const QString &path) {
            const bool right = w.lbl1[1]->text() == path.toUpper()
                && runtime.starts.last().style == velkora::WindowStyle::MinimizedFocus;
            events << QString::number(tick) + ':' + path + (right ? "" : "!");
            return velkora::StartResult {path == run.failing ? 2 : 0, {}, 0};
        };
        runtime.onYield = [&] {
            if (tick == 1)
                shown << w.lbl1[0]->text();
            if (tick > 0 && tick == -run.cancelTick)
                w.Form_DblClick();
        };
        connect(&w, &QDialog::finished, this, [&] { events << QString::number(tick) + ":close"; });
        w.Form_Load();
        shown << w.lbl1[0]->text();
        for (tick = 1; tick <= 90; ++tick) { // past the close: a closed window starts nothing
            w.Timer1_Timer();
            if (tick == run.cancelTick)
                w.Form_DblClick();
        }
        QCOMPARE((events + runtime.messages).join(u' '), run.log); // a failed start says nothing
        QCOMPARE(shown.mid(0, run.shown.size()), run.shown);
    }

    void window()
    {
        velkora::test::FakeRuntime runtime;
        frmAuto w(runtime);
        QVERIFY(!(w.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QVERIFY(w.Timer1->timerType() == Qt::PreciseTimer && w.Timer1->interval() == 1000);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::mouseDClick(w.windowHandle(), Qt::LeftButton, {}, QPoint(156, 20)); // on a label
        QVERIFY(w.isVisible());
        QTest::mouseDClick(w.windowHandle(), Qt::LeftButton, {}, QPoint(3, 30)); // on the margin
        QVERIFY(!w.isVisible());
    }
};

QTEST_MAIN(tst_frmAuto)
#include "tst_frmAuto.moc"
