#include "FakeRuntime.h"
#include "ModGlobal.h"
#include "ModINI.h"
#include "ProcessStart.h"
#include "ProgramTable.h"
#include "frmAbout.h"
#include "frmConfig.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

// Rows write a list as its lines joined by " ", the three boxes joined by ";".
class tst_frmConfig : public QObject {
    Q_OBJECT
    std::unique_ptr<velkora::test::FakeRuntime> m_runtime;
    std::unique_ptr<frmConfig> m_window;
    static constexpr int Any = -2;

    static void row(const char *name, const auto &...v) { (QTest::newRow(name) << ... << v); }
    // select: the rows clicked in turn, v = arrow down; typed: then into the boxes.
    void open(const QString &lines, const QString &select = {}, const QString &typed = {})
    {
        m_window = std::make_unique<frmConfig>(*m_runtime);
        QListWidget *list = m_window->List1;
        list->addItems(lines.split(u' ', Qt::SkipEmptyParts));
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        for (QChar c : select) {
            const QPoint at = list->visualItemRect(list->item(c.digitValue())).center();
            c == u'v' ? QTest::keyClick(list, Qt::Key_Down)
                      : QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        }
        for (int i = 0; i < 3 && !typed.isEmpty(); ++i) {
            box(i)->clear();
            QTest::keyClicks(box(i), typed.section(u';', i, i));
        }
    }
    QLineEdit *box(int i) const { return m_window->txtProg[size_t(i)]; }
    QString boxes() const { return box(0)->text() + u';' + box(1)->text() + u';' + box(2)->text(); }

private Q_SLOTS:
    void init()
    {
        ModGlobal::resetGlobals();
        velkora::resetProgramTable();
        m_window.reset();
        m_runtime = std::make_unique<velkora::test::FakeRuntime>();
    }

    // press: a = hinzufügen, c = ändern, k = löschen, u = Hoch, d = Runter;
    // selected: the selected row afterwards (Any: after an insert, Qt's affair).
    void editing_data()
    {
        QTest::addColumn<QString>("lines");
        QTest::addColumn<QString>("select");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("press");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("boxes");
        QTest::addColumn<int>("selected");
        auto show = [](const char *name, const char *lines, const char *select, const char *boxes,
                       int sel) { row(name, lines, select, "", "", lines, boxes, sel); };
        show("empty fields keep those shown", "/a|A|30 C:\\X.EXE||", "01", "C:\\X.EXE;A;30", 1);
        show("bar in name keeps seconds", "/a|A|5 C:\\X|Tool|Beta|20", "01", "C:\\X;Tool;5", 1);
        show("no selection changes nothing", "/a|A|5", "", ";;10", -1);
        show("no bar changes nothing", "/a|A|5 kaputt", "01", "/a;A;5", 1);
        show("keyboard, leading zero", "/a|A|3 /b|B|04", "0v", "/b;B;4", 1);

        const char *five = "a|1 b|2 c|3 d|4 e|5";
        row("append, 61 is 10", five, "", "p;n;61", "a", "a|1 b|2 c|3 d|4 e|5 p|n|10", ";;10", -1);
        row("insert, 2 kept", five, "2", "p;n;2", "a", "a|1 b|2 p|n|2 c|3 d|4 e|5", ";;10", Any);
        row("60 kept", five, "", "p;n;60", "a", "a|1 b|2 c|3 d|4 e|5 p|n|60", ";;10", -1);
        row("-5 becomes 10", five, "", "p;n;-5", "a", "a|1 b|2 c|3 d|4 e|5 p|n|10", ";;10", -1);
        row("05 as typed", five, "", "p;n;05", "a", "a|1 b|2 c|3 d|4 e|5 p|n|05", ";;10", -1);
        row("blank seconds refused", five, "", "p;n; ", "a", five, "p;n; ", -1);
        row("letters refused", five, "2", "p;n;abc", "a", five, "p;n;abc", 2);
        row("empty path refused", five, "", ";n;15", "a", five, ";n;15", -1);
        row("bar in name refused", five, "1", "p;x|y;15", "c", five, "p;x|y;15", 1);
        row("change, 0 is 10", five, "3", "/n;N;0", "c", "a|1 b|2 c|3 /n|N|10 e|5", ";;10", -1);
        row("change 99 without selection", five, "", "/n;N;99", "c", five, "/n;N;10", -1);

        const char *typed = "x;y;7"; // kept: moving and deleting show no entry
        row("delete, then none selected", five, "1", typed, "kk", "a|1 c|3 d|4 e|5", typed, -1);
        row("move in an empty list", "", "", typed, "ud", "", typed, -1);
        row("move the only line", "a|1", "0", typed, "ud", "a|1", typed, 0);
        row("move without selection", five, "", typed, "ud", five, typed, -1);
        row("up twice, then no more", five, "2", typed, "uuu", "c|3 a|1 b|2 d|4 e|5", typed, 0);
        row("down twice, then no more", five, "2", typed, "ddd", "a|1 b|2 d|4 e|5 c|3", typed, 4);
    }
    void editing()
    {
        QFETCH(QString, lines);
        QFETCH(QString, select);
        QFETCH(QString, typed);
        QFETCH(QString, press);
        open(lines, select, typed);
        if (select.isEmpty())
            m_window->ShowSelectedEntry();
        const frmConfig &w = *m_window;
        std::array buttons {w.cmd_add, w.cmd_change, w.cmd_kill, w.cmd_updown[0], w.cmd_updown[1]};
        for (QChar c : press)
            QTest::mouseClick(buttons[size_t(QStringLiteral("ackud").indexOf(c))], Qt::LeftButton);

        QTEST(w.listLines().join(u' '), "after");
        QTEST(boxes(), "boxes");
        QFETCH(int, selected);
        if (selected != Any)
            QCOMPARE(w.List1->selectionModel()->selectedRows().value(0).row(), selected);
    }

    // suchen, then Testen; the fake start fails but for /usr/bin/true.
    void searchAndTest_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("boxes");
        QTest::addColumn<QString>("message");
        const char *fail = "2:Datei nicht gefunden";
        row("dots in folder and name", "/d.a/x.y.sh", "/d.a/x.y.sh;x;33", fail);
        row("no dot, start succeeds", "/usr/bin/true", "/usr/bin/true;true;33", "");
        row("backslash is part of the name", "/tmp/a\\b.sh", "/tmp/a\\b.sh;a\\b;33", fail);
        row("cancel empties the box: no start", "", ";;33", "");
    }
    void searchAndTest()
    {
        QFETCH(QString, chosen);
        open(QStringLiteral("a|1"), QStringLiteral("0"), QStringLiteral("alt;alt;33"));
        m_runtime->nextChosenFile = chosen;
        m_runtime->startAnswer = [](const QString &path) {
            const bool ok = path == QLatin1String("/usr/bin/true");
            return velkora::StartResult {ok ? 0 : 2, QStringLiteral("Datei nicht gefunden"), 0};
        };
        QTest::mouseClick(m_window->cmd_Search, Qt::LeftButton);
        QTEST(boxes(), "boxes");
        QTest::mouseClick(m_window->cmd_test, Qt::LeftButton);

        const auto c = m_runtime->chooseCalls.value(0);
        QCOMPARE(c.owner, m_window.get());
        QCOMPARE(QStringList({c.initialFolder, c.filterText, c.defaultExtension, c.title}),
                 QString::fromUtf8("/;Alle Dateien (*);.txt;Test: Bitte wählen!").split(u';'));
        QCOMPARE(m_runtime->starts.size(), chosen.isEmpty() ? 0 : 1);
        for (const auto &s : m_runtime->starts)
            QVERIFY(s.commandText == chosen && s.style == velkora::WindowStyle::MinimizedFocus);
        QTEST(m_runtime->messages.join(u';'), "message");
    }

    // "Testen" through the real program start, as the user meets it.
    void testStartsForReal_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("message");
        row("empty box: nothing", QString(), QString());
        row("blanks", QStringLiteral("   "), QStringLiteral("22:Ungültiger Befehl oder ungültiges Argument"));
        row("missing file", QStringLiteral("/nonexistent/prog"), QStringLiteral("2:Datei nicht gefunden"));
        row("script writes its marker", QStringLiteral("%1/mark er.sh"), QString());
    }
    void testStartsForReal()
    {
        QFETCH(QString, path);
        QTemporaryDir dir;
        path = path.arg(dir.path());
        const QString marker = dir.filePath(QStringLiteral("marker"));
        QFile script(dir.filePath(QStringLiteral("mark er.sh")));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\necho started > \"$(dirname \"$0\")/marker\"\n");
        script.close();
        QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        m_runtime->startAnswer = [](const QString &text) {
            return velkora::startProgram(text, velkora::WindowStyle::MinimizedFocus);
        };
        open({}, {}, path + QStringLiteral(";;10"));
        QTest::mouseClick(m_window->cmd_test, Qt::LeftButton);
        QTEST(m_runtime->messages.join(u';'), "message");
        QCOMPARE(m_runtime->starts.size(), path.isEmpty() ? 0 : 1);
        if (path.endsWith(QLatin1String(".sh")))
            QTRY_VERIFY(QFile::exists(marker));
        QVERIFY(m_window->isVisible());
    }

    void onlyExitWrites()
    {
        QTemporaryDir dir;
        const QString ini = ModGlobal::IniFilePath = dir.filePath(QStringLiteral("Velkora.ini"));
        auto value = [&ini](int section) {
            return ModINI::ReadIniValue(ini, QString::number(section), QStringLiteral("DATEI"));
        };
        open(QStringLiteral("/bin/a|A|5 /bin/b|B|30"));
        QVERIFY(m_window->close());
        QCOMPARE(value(0), QString());

        open(QStringLiteral("/bin/a|A|5 /bin/b|B|30"), QStringLiteral("1"));
        QTest::mouseClick(m_window->cmd_updown[0], Qt::LeftButton); // an order only the list knows
        QTest::mouseClick(m_window->cmd_exit, Qt::LeftButton);
        QCOMPARE(QStringList({value(0), value(1), value(2)}),
                 QStringList({QStringLiteral("/bin/b"), QStringLiteral("/bin/a"), QString()}));
        QCOMPARE(m_runtime->ends, 1);
    }

    void infoMenuOpensAboutModally()
    {
        open({});
        bool aboutShown = false;
        QTimer::singleShot(0, this, [this, &aboutShown] {
            auto *about = qobject_cast<frmAbout *>(QApplication::activeModalWidget());
            aboutShown = about && about->parentWidget() == m_window.get() && about->close();
        });
        m_window->mnuInfo->trigger();
        QVERIFY(aboutShown);
    }

    void deferredControlsAppearWhenNeeded()
    {
        frmConfig filled(*m_runtime, nullptr, frmConfig::Controls::WhenNeeded);
        QVERIFY(!filled.List1);
        velkora::ProgramTable[0].path = QStringLiteral("/bin/true");
        filled.FillProgramList();
        QCOMPARE(filled.listLines(), QStringList(QStringLiteral("/bin/true||")));

        frmConfig w(*m_runtime, nullptr, frmConfig::Controls::WhenNeeded);
        w.show();
        QCOMPARE(w.centralWidget()->size(), QSize(609, 302));
        QCOMPARE(w.cmd_exit->geometry(), QRect(496, 192, 73, 49));
        QVERIFY(QTest::qWaitForWindowActive(&w));
        for (QWidget *next :
             QWidgetList {w.List1, w.cmd_updown[0], w.cmd_updown[1], w.cmd_kill, w.cmd_change,
                          w.cmd_Search, w.cmd_add, w.cmd_test, w.txtProg[0], w.txtProg[1],
                          w.cmd_exit, w.txtProg[2], w.List1}) {
            QCOMPARE(QApplication::focusWidget(), next);
            QTest::keyClick(next, Qt::Key_Tab);
        }
    }
};

QTEST_MAIN(tst_frmConfig)
#include "tst_frmConfig.moc"
