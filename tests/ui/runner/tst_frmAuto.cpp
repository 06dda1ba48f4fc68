#include "FakeRuntime.h"
#include "ProgramTable.h"
#include "frmAuto.h"

#include <QLabel>
#include <QTest>
#include <QTimer>

// table: "path,seconds;..." from slot 0, "-" unset, names = paths in capitals. log: "tick:path" per
// start, "tick:close". shown: countdown after load, in and after tick 1. cancelTick < 0: in yield.
struct Run {
    QString table, log, failing;
    QStringList shown;
    int count, cancelTick;
};
Q_DECLARE_METATYPE(Run)

namespace {

void setTable(const QString &table, int count)
{
    velkora::resetProgramTable();
    const QStringList items = table.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (qsizetype slot = 0; slot < items.size(); ++slot) {
        const QStringList fields = items.at(slot).split(QLatin1Char(','));
        velkora::ProgramEntry &entry = velkora::ProgramTable[std::size_t(slot)];
        if (fields.at(0) != QLatin1String("-"))
            entry = {fields.at(0), fields.at(0).toUpper(), std::nullopt};
        if (fields.value(1, QStringLiteral("-")) != QLatin1String("-"))
            entry.seconds = fields.at(1).toInt();
    }
    velkora::EntryCount = count;
}

} // namespace

class tst_frmAuto : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void ticks_data()
    {
        QTest::addColumn<Run>("run");
        const auto row = [](const char *name, QString table, int count, QString log,
                            QStringList shown = {}, QString failing = {}, int cancelTick = 0) {
            QTest::newRow(name) << Run {table, log, failing, shown, count, cancelTick};
        };
        QStringList zero {"Starte in (0 sek.)", "Starte in (-1 sek. )", "Starte in (0 sek. )"};
        row("5, 10, 2", "a,5;b,10;c,2", 3, "5:a 15:b 17:c 17:close");
        row("61 and 3600 wait 10, 60 waits 60", "a,61;b,3600;c,60", 3, "10:a 20:b 80:c 80:close",
            {"Starte in (10 sek.)", "Starte in (9 sek. )"});
        row("0", "a,0;b,-", 2, "1:a 2:b 2:close", zero);
        row("-5", "a,-5", 1, "1:a 1:close", {"Starte in (-5 sek.)", "Starte in (-6 sek. )"});
        row("unset time (also for no number)", "a,-;b,-", 2, "1:a 2:b 2:close", zero);
        row("slots 0, 1, 5: slot 2 waited out", "a,2;b,3;-,4;-;-;f,1", 3, "2:a 5:b 9:close");
        row("empty table", {}, 0, "1:close", zero.first(2));
        row("failed start, next on time", "a,2;b,3;c,1", 3, "2:a 5:b 6:c 6:close", {}, "b");
        row("double-click between ticks", "a,2;b,3;c,1", 3, "2:a 3:close", {}, {}, 3);
        row("double-click in a due tick's yield", "a,2;b,3;c,1", 3, "2:a 5:close", {}, {}, -5);
        QString all, allLog;
        for (int slot = 0; slot < velkora::SlotCount; ++slot) {
            all += QStringLiteral("p%1,2;").arg(slot);
            allLog += QStringLiteral("%1:p%2 ").arg(2 * slot + 2).arg(slot);
        }
        row("all 31 slots", all, velkora::SlotCount, allLog + QStringLiteral("62:close"));
    }

    void ticks()
    {
        QFETCH(Run, run);
        setTable(run.table, run.count);
        velkora::test::FakeRuntime runtime;
        frmAuto w(runtime);
        QStringList seen, events;
        int tick = 0;
        runtime.startAnswer = [&](const QString &path) {
            // "!": started with another entry's name on show, or not minimised with focus.
            const bool right = w.lbl1[1]->text() == path.toUpper()
                && runtime.starts.last().style == velkora::WindowStyle::MinimizedFocus;
            events << QString::number(tick) + ':' + path + (right ? "" : "!");
            return velkora::StartResult {path == run.failing ? 2 : 0, {}, 0};
        };
        runtime.onYield = [&] {
            if (tick == 1)
                seen << w.lbl1[0]->text();
            if (run.cancelTick < 0 && tick == -run.cancelTick)
                w.Form_DblClick();
        };
        connect(&w, &QDialog::finished, this, [&] { events << QString::number(tick) + ":close"; });

        w.Form_Load();
        seen << w.lbl1[0]->text();
        for (tick = 1; tick <= 90; ++tick) { // past the close: a closed window starts nothing
            w.Timer1_Timer();
            if (tick == 1)
                seen << w.lbl1[0]->text();
            if (tick == run.cancelTick)
                w.Form_DblClick();
        }
        QCOMPARE(events.join(QLatin1Char(' ')), run.log);
        QCOMPARE(seen.mid(0, run.shown.size()), run.shown);
        QCOMPARE(runtime.messages, QStringList());
    }

    void window_data()
    {
        QTest::addColumn<QPoint>("doubleClickAt");
        QTest::addColumn<bool>("closes");
        QTest::newRow("double-click on a label") << QPoint(156, 20) << false;
        QTest::newRow("double-click on the margin") << QPoint(3, 30) << true;
    }

    void window()
    {
        QFETCH(QPoint, doubleClickAt);
        QFETCH(bool, closes);
        velkora::test::FakeRuntime runtime;
        frmAuto w(runtime);
        QCOMPARE(w.windowTitle(), QStringLiteral("Autostart"));
        QCOMPARE(w.size(), QSize(312, 62));
        QVERIFY(!(w.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QCOMPARE(w.Timer1->timerType(), Qt::PreciseTimer);
        QCOMPARE(w.Timer1->interval(), 1000);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::mouseDClick(w.windowHandle(), Qt::LeftButton, {}, doubleClickAt);
        QCOMPARE(w.isVisible(), !closes);
    }
};

QTEST_MAIN(tst_frmAuto)
#include "tst_frmAuto.moc"
