#include "FakeRuntime.h"
#include "ProgramTable.h"
#include "frmAuto.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using velkora::EntryCount;
using velkora::ProgramTable;
using velkora::test::FakeRuntime;

namespace {

// "path,name,seconds; path,name,seconds; ..." fills slots from 0 on; "-" or
// nothing leaves a field unset.
void setTable(const QString &table, qint32 count)
{
    const QStringList items = table.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (qsizetype slot = 0; slot < items.size(); ++slot) {
        const QStringList fields = items.at(slot).split(QLatin1Char(','));
        auto field = [&fields](qsizetype i) -> std::optional<QString> {
            const QString value = fields.value(i).trimmed();
            if (value.isEmpty() || value == QLatin1String("-"))
                return std::nullopt;
            return value;
        };
        velkora::ProgramEntry &entry = ProgramTable[std::size_t(slot)];
        entry.path = field(0);
        entry.name = field(1);
        if (const auto seconds = field(2))
            entry.seconds = seconds->toInt();
    }
    EntryCount = count;
}

QStringList startedPaths(const FakeRuntime &runtime)
{
    QStringList paths;
    for (const FakeRuntime::Start &start : runtime.starts)
        paths << start.commandText;
    return paths;
}

QString line(const char *text)
{
    return QString::fromUtf8(text);
}

} // namespace

class tst_frmAuto : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void schedule_data();
    void schedule();
    void countdownText_data();
    void countdownText();
    void cancel_data();
    void cancel();
    void doubleClick_data();
    void doubleClick();
    void window();
    void timer();
    void runModal_data();
    void runModal();
};

void tst_frmAuto::init()
{
    velkora::resetProgramTable();
}

void tst_frmAuto::schedule_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<int>("entryCount");
    QTest::addColumn<QString>("failing");
    QTest::addColumn<QList<int>>("startTicks");
    QTest::addColumn<QStringList>("started");
    QTest::addColumn<int>("closeTick");

    const QStringList abc {line("a"), line("b"), line("c")};
    QTest::newRow("5, 10, 2") << line("a,A,5; b,B,10; c,C,2") << 3 << QString()
                              << QList<int> {5, 15, 17} << abc << 17;
    QTest::newRow("61 waits 10") << line("a,A,61") << 1 << QString() << QList<int> {10}
                                 << QStringList {line("a")} << 10;
    QTest::newRow("3600 waits 10")
        << line("a,A,3600") << 1 << QString() << QList<int> {10} << QStringList {line("a")} << 10;
    QTest::newRow("60 waits 60") << line("a,A,60") << 1 << QString() << QList<int> {60}
                                 << QStringList {line("a")} << 60;
    QTest::newRow("0 on the first tick")
        << line("a,A,0; b,B,2") << 2 << QString() << QList<int> {1, 3}
        << QStringList {line("a"), line("b")} << 3;
    QTest::newRow("-5 on the first tick")
        << line("a,A,-5") << 1 << QString() << QList<int> {1} << QStringList {line("a")} << 1;
    QTest::newRow("unset time on the first tick")
        << line("a,A,-; b,B,-") << 2 << QString() << QList<int> {1, 2}
        << QStringList {line("a"), line("b")} << 2;
    QTest::newRow("lowest time on the first tick")
        << line("a,A,-2147483648") << 1 << QString() << QList<int> {1} << QStringList {line("a")}
        << 1;
    QTest::newRow("slots 0, 1, 5: slot 2 waited out")
        << line("a,A,2; b,B,3; -,-,4; -; -; f,F,1") << 3 << QString() << QList<int> {2, 5}
        << QStringList {line("a"), line("b")} << 9;
    QTest::newRow("slots 0, 1, 5: slot 2 without time")
        << line("a,A,2; b,B,3; -; -; -; f,F,1") << 3 << QString() << QList<int> {2, 5}
        << QStringList {line("a"), line("b")} << 6;
    QTest::newRow("empty table") << QString() << 0 << QString() << QList<int> {} << QStringList {}
                                 << 1;
    QTest::newRow("empty table, slot 0 with a time")
        << line("-,-,4") << 0 << QString() << QList<int> {} << QStringList {} << 4;
    QTest::newRow("failed start, next on time")
        << line("a,A,2; b,B,3; c,C,1") << 3 << line("b") << QList<int> {2, 5, 6} << abc << 6;
    QTest::newRow("last start fails, window closes")
        << line("a,A,2; b,B,3; c,C,1") << 3 << line("c") << QList<int> {2, 5, 6} << abc << 6;
    QTest::newRow("path handed over unchanged")
        << line("/opt/My App/run --x \"two words\",Tool,1") << 1 << QString() << QList<int> {1}
        << QStringList {line("/opt/My App/run --x \"two words\"")} << 1;

    QStringList all, paths;
    QList<int> ticks;
    int tick = 0;
    for (int slot = 0; slot < velkora::SlotCount; ++slot) {
        const int seconds = 1 + slot % 3;
        tick += seconds;
        paths << QStringLiteral("p%1").arg(slot);
        ticks << tick;
        all << QStringLiteral("p%1,N%1,%2").arg(slot).arg(seconds);
    }
    QTest::newRow("all 31 slots") << all.join(QLatin1Char(';')) << velkora::SlotCount << QString()
                                  << ticks << paths << tick;
}

void tst_frmAuto::schedule()
{
    QFETCH(QString, table);
    QFETCH(int, entryCount);
    QFETCH(QString, failing);
    QFETCH(QList<int>, startTicks);
    QFETCH(QStringList, started);
    QFETCH(int, closeTick);

    setTable(table, entryCount);
    FakeRuntime runtime;
    runtime.startAnswer = [&failing](const QString &path) {
        if (path == failing)
            return velkora::StartResult {2, QStringLiteral("Datei nicht gefunden"), 0};
        return velkora::StartResult {0, {}, 4242};
    };
    frmAuto w(runtime);
    QSignalSpy closed(&w, &QDialog::finished);

    w.Form_Load();
    QList<int> ticks;
    int closedOn = 0;
    for (int tick = 1; tick <= velkora::SlotCount * 61 && closed.isEmpty(); ++tick) {
        const qsizetype before = runtime.starts.size();
        w.Timer1_Timer();
        for (qsizetype i = before; i < runtime.starts.size(); ++i)
            ticks << tick;
        if (!closed.isEmpty())
            closedOn = tick;
    }

    QCOMPARE(ticks, startTicks);
    QCOMPARE(startedPaths(runtime), started);
    for (const FakeRuntime::Start &start : runtime.starts)
        QCOMPARE(start.style, velkora::WindowStyle::MinimizedFocus);
    QCOMPARE(closedOn, closeTick);
    QCOMPARE(closed.count(), 1);
    QCOMPARE(runtime.messages, QStringList());
}

void tst_frmAuto::countdownText_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<int>("entryCount");
    QTest::addColumn<QString>("firstName");
    QTest::addColumn<QStringList>("shown"); // after loading, then in each tick's yield
    QTest::addColumn<QString>("lineAfter");
    QTest::addColumn<QString>("nameAfter");

    QTest::newRow("counting down to the next slot")
        << line("a,Alpha,5; b,Beta,10") << 2 << line("Alpha")
        << QStringList {line("Starte in (5 sek.)"),  line("Starte in (4 sek. )"),
                        line("Starte in (3 sek. )"), line("Starte in (2 sek. )"),
                        line("Starte in (1 sek. )"), line("Starte in (0 sek. )")}
        << line("Starte in (10 sek. )") << line("Beta");
    QTest::newRow("over 60 counts from 10")
        << line("a,Alpha,61") << 1 << line("Alpha")
        << QStringList {line("Starte in (10 sek.)"), line("Starte in (9 sek. )")}
        << line("Starte in (9 sek. )") << line("Alpha");
    QTest::newRow("0") << line("a,Alpha,0; b,Beta,3") << 2 << line("Alpha")
                       << QStringList {line("Starte in (0 sek.)"), line("Starte in (-1 sek. )")}
                       << line("Starte in (3 sek. )") << line("Beta");
    QTest::newRow("-5") << line("a,Alpha,-5; b,Beta,3") << 2 << line("Alpha")
                        << QStringList {line("Starte in (-5 sek.)"), line("Starte in (-6 sek. )")}
                        << line("Starte in (3 sek. )") << line("Beta");
    QTest::newRow("unset time and name")
        << line("a,-,-; b,-,4") << 2 << QString()
        << QStringList {line("Starte in (0 sek.)"), line("Starte in (-1 sek. )")}
        << line("Starte in (4 sek. )") << QString();
    QTest::newRow("rest beyond 32 bits keeps the line")
        << line("a,Alpha,-2147483648; b,Beta,3") << 2 << line("Alpha")
        << QStringList {line("Starte in (-2147483648 sek.)"), line("Starte in (-2147483648 sek.)")}
        << line("Starte in (3 sek. )") << line("Beta");
    QTest::newRow("empty table") << QString() << 0 << QString()
                                 << QStringList {line("Starte in (0 sek.)"),
                                                 line("Starte in (-1 sek. )")}
                                 << line("Starte in (-1 sek. )") << QString();
}

void tst_frmAuto::countdownText()
{
    QFETCH(QString, table);
    QFETCH(int, entryCount);
    QFETCH(QString, firstName);
    QFETCH(QStringList, shown);
    QFETCH(QString, lineAfter);
    QFETCH(QString, nameAfter);

    setTable(table, entryCount);
    FakeRuntime runtime;
    frmAuto w(runtime);
    w.Form_Load();
    QCOMPARE(runtime.yields, 1);
    QCOMPARE(w.lbl1[1]->text(), firstName);

    QStringList seen {w.lbl1[0]->text()};
    runtime.onYield = [&] { seen << w.lbl1[0]->text(); };
    for (qsizetype tick = 1; tick < shown.size(); ++tick)
        w.Timer1_Timer();
    QCOMPARE(seen, shown);
    QCOMPARE(w.lbl1[0]->text(), lineAfter);
    QCOMPARE(w.lbl1[1]->text(), nameAfter);
}

void tst_frmAuto::cancel_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("cancelTick");

    // a is due on tick 2, b on tick 5, c on tick 6.
    QTest::newRow("double-click between ticks") << line("double-click") << 3;
    QTest::newRow("double-click in the yield of a tick") << line("yield") << 3;
    QTest::newRow("double-click in the yield of a due tick") << line("yield") << 5;
    QTest::newRow("Escape") << line("escape") << 3;
    QTest::newRow("close box") << line("close") << 4;
}

void tst_frmAuto::cancel()
{
    QFETCH(QString, how);
    QFETCH(int, cancelTick);

    setTable(line("a,A,2; b,B,3; c,C,1"), 3);
    FakeRuntime runtime;
    frmAuto w(runtime);
    w.Form_Load();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.Timer1->start();
    QSignalSpy closed(&w, &QDialog::finished);

    for (int tick = 1; tick <= 10 && closed.isEmpty(); ++tick) {
        if (tick == cancelTick && how == QLatin1String("yield"))
            runtime.onYield = [&w] { w.Form_DblClick(); };
        w.Timer1_Timer();
        if (tick != cancelTick)
            continue;
        if (how == QLatin1String("double-click"))
            w.Form_DblClick();
        else if (how == QLatin1String("escape"))
            QTest::keyClick(&w, Qt::Key_Escape);
        else if (how == QLatin1String("close"))
            w.close();
    }

    QCOMPARE(closed.count(), 1);
    QVERIFY(!w.isVisible());
    QVERIFY(!w.Timer1->isActive());
    QCOMPARE(startedPaths(runtime), QStringList {line("a")});
}

void tst_frmAuto::doubleClick_data()
{
    QTest::addColumn<QPoint>("pos");
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<bool>("closes");

    QTest::newRow("countdown line") << QPoint(156, 20) << Qt::LeftButton << false;
    QTest::newRow("name line") << QPoint(156, 44) << Qt::LeftButton << false;
    QTest::newRow("where the lines overlap") << QPoint(156, 32) << Qt::LeftButton << false;
    QTest::newRow("left margin") << QPoint(3, 30) << Qt::LeftButton << true;
    QTest::newRow("top margin") << QPoint(156, 3) << Qt::LeftButton << true;
    QTest::newRow("right margin") << QPoint(308, 30) << Qt::LeftButton << true;
    QTest::newRow("bottom margin") << QPoint(156, 59) << Qt::LeftButton << true;
    QTest::newRow("right button on the margin") << QPoint(3, 3) << Qt::RightButton << false;
}

void tst_frmAuto::doubleClick()
{
    QFETCH(QPoint, pos);
    QFETCH(Qt::MouseButton, button);
    QFETCH(bool, closes);

    setTable(line("a,A,5"), 1);
    FakeRuntime runtime;
    frmAuto w(runtime);
    w.Form_Load();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QSignalSpy closed(&w, &QDialog::finished);

    // Through the window, so that Qt picks the widget under the pointer.
    QTest::mouseDClick(w.windowHandle(), button, {}, pos);
    QCOMPARE(closed.count(), closes ? 1 : 0);
    QCOMPARE(w.isVisible(), !closes);
}

void tst_frmAuto::window()
{
    FakeRuntime runtime;
    frmAuto w(runtime);

    QCOMPARE(w.windowTitle(), line("Autostart"));
    QVERIFY(!w.windowIcon().isNull());
    QCOMPARE(w.size(), QSize(312, 62));
    QCOMPARE(w.minimumSize(), w.maximumSize());
    const Qt::WindowFlags flags = w.windowFlags();
    QVERIFY(!(flags
              & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint
                 | Qt::WindowStaysOnTopHint)));
    QVERIFY(flags & Qt::WindowCloseButtonHint);

    QCOMPARE(w.lbl1[0]->geometry(), QRect(8, 8, 297, 25));
    QCOMPARE(w.lbl1[1]->geometry(), QRect(8, 32, 297, 25));
    QVERIFY(!w.lbl1[0]->font().bold());
    const QFont nameFont = w.lbl1[1]->font();
    QCOMPARE(nameFont.family(), line("Arial"));
    QCOMPARE(nameFont.pointSizeF(), 11.25);
    QVERIFY(nameFont.bold());

    // Left where the window system puts a new window, not centred by QDialog.
    const QPoint before = w.pos();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.pos(), before);
}

void tst_frmAuto::timer()
{
    FakeRuntime runtime;
    frmAuto w(runtime);
    QCOMPARE(w.Timer1->timerType(), Qt::PreciseTimer);
    QCOMPARE(w.Timer1->interval(), 1000);
    QVERIFY(!w.Timer1->isSingleShot());
}

void tst_frmAuto::runModal_data()
{
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<QStringList>("started");

    QTest::newRow("cancelled at once") << true << QStringList {};
    QTest::newRow("runs to its last start") << false << QStringList {line("a")};
}

void tst_frmAuto::runModal()
{
    QFETCH(bool, cancel);
    QFETCH(QStringList, started);

    setTable(line("a,A,1"), 1);
    FakeRuntime runtime;
    frmAuto w(runtime);
    bool shown = false;
    bool ticking = false;
    QString text;
    QTimer::singleShot(0, &w, [&] {
        shown = w.isVisible();
        ticking = w.Timer1->isActive();
        text = w.lbl1[0]->text();
        if (cancel)
            w.Form_DblClick();
    });
    w.runModal();

    QVERIFY(shown);
    QVERIFY(ticking);
    QCOMPARE(text, line("Starte in (1 sek.)"));
    QVERIFY(!w.isVisible());
    QVERIFY(!w.Timer1->isActive());
    QCOMPARE(startedPaths(runtime), started);
}

QTEST_MAIN(tst_frmAuto)
#include "tst_frmAuto.moc"
