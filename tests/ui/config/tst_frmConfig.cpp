#include "config/ModGlobal.h"
#include "config/ModeFile.h"
#include "config/ProgramTable.h"
#include "config/WholeNumber.h"
#include "platform/ProcessStart.h"
#include "tests/support/FakeRuntime.h"
#include "ui/about/frmAbout.h"
#include "ui/config/frmConfig.h"

#include <QtTest>
#include <QtWidgets>

using namespace velkora;

// Rows write a list as its lines joined by " ", the three boxes joined by ";".
class tst_frmConfig : public QObject {
    Q_OBJECT
    std::unique_ptr<test::FakeRuntime> m_runtime;
    std::unique_ptr<frmConfig> m_window;

    static void row(const char *name, const auto &...v) { (QTest::newRow(name) << ... << v); }
    // select: a digit clicks that row, v presses arrow down; typed: then into the boxes.
    void open(const QString &lines, const QString &select = {}, const QString &typed = {})
    {
        resetProgramTable();
        const QStringList entries = lines.split(u' ', Qt::SkipEmptyParts);
        for (qsizetype i = 0; i < entries.size(); ++i) {
            const QStringList f = entries[i].split(u'|');
            ProgramTable[size_t(i)] = {f.value(0), f.value(1), toWholeNumber(f.value(2))};
        }
        m_window.reset(new frmConfig(*m_runtime));
        m_window->FillProgramList();
        m_window->show();
        QListWidget *list = m_window->List1;
        for (QChar c : select)
            c == u'v'
                ? QTest::keyClick(list, Qt::Key_Down)
                : QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                                    list->visualItemRect(list->item(c.digitValue())).center());
        for (int i = 0; i < 3 && !typed.isEmpty(); ++i)
            box(i)->setText(typed.section(u';', i, i));
    }
    QLineEdit *box(int i) const { return m_window->txtProg[size_t(i)]; }
    QString boxes() const { return box(0)->text() + u';' + box(1)->text() + u';' + box(2)->text(); }

private Q_SLOTS:
    void init()
    {
        resetProgramTable();
        m_window.reset();
        m_runtime = std::make_unique<test::FakeRuntime>();
    }

    // press: a hinzufügen, c ändern, k löschen, u Hoch, d Runter; selected: "" after an insert.
    void editing_data()
    {
        for (const char *c : {"lines", "select", "typed", "press", "after", "boxes", "selected"})
            QTest::addColumn<QString>(c);
        const char *three = "a|A|1 b|B|2 c|C|3", *kept = "x;y;7", *seen = "/a|A|4 /y|T|9 /x||";
        row("shown: empty fields, arrow key", seen, "01v", "", "", seen, "/x;T;9", "2");
        row("append, 61 is 10", three, "", "p;n;61", "a", "a|A|1 b|B|2 c|C|3 p|n|10", ";;10", "-1");
        row("insert, 2 kept", three, "2", "p;n;2", "a", "a|A|1 b|B|2 p|n|2 c|C|3", ";;10", "");
        row("60 kept", three, "", "p;n;60", "a", "a|A|1 b|B|2 c|C|3 p|n|60", ";;10", "-1");
        row("-5 becomes 10", three, "", "p;n;-5", "a", "a|A|1 b|B|2 c|C|3 p|n|10", ";;10", "-1");
        row("05 kept, blank name", three, "", "p; ;05", "a", "a|A|1 b|B|2 c|C|3 p| |05", ";;10", "-1");
        row("blank seconds refused", three, "", "p;n; ", "a", three, "p;n; ", "-1");
        row("letters refused", three, "2", "p;n;abc", "a", three, "p;n;abc", "2");
        row("empty path refused", three, "", ";n;15", "a", three, ";n;15", "-1");
        row("bar in name kept", three, "1", "p;x|y;15", "c", "a|A|1 p|x|y|15 c|C|3", ";;10", "-1");
        row("change, 0 is 10", three, "1", "/n;N;0", "c", "a|A|1 /n|N|10 c|C|3", ";;10", "-1");
        row("change 99 without selection", three, "", "/n;N;99", "c", three, "/n;N;10", "-1");
        row("delete, then with none selected", three, "1", kept, "kkud", "a|A|1 c|C|3", kept, "-1");
        row("move in an empty list", "", "", kept, "ud", "", kept, "-1");
        row("move the only line", "a|A|1", "0", kept, "ud", "a|A|1", kept, "0");
        row("up at top, down twice, at end", three, "0", kept, "uuddd", "b|B|2 c|C|3 a|A|1", kept, "2");
    }
    void editing()
    {
        QFETCH(QString, lines);
        QFETCH(QString, select);
        QFETCH(QString, typed);
        QFETCH(QString, press);
        QFETCH(QString, selected);
        open(lines, select, typed);
        if (select.isEmpty()) // nothing selected: the typed boxes must stay
            m_window->ShowSelectedEntry();
        const frmConfig &w = *m_window;
        std::array buttons {w.cmd_add, w.cmd_change, w.cmd_kill, w.cmd_updown[0], w.cmd_updown[1]};
        for (QChar c : press)
            QTest::mouseClick(buttons[size_t(QStringLiteral("ackud").indexOf(c))], Qt::LeftButton);
        QStringList after;
        for (const ModeFile::ListEntry &e : w.listEntries())
            after << e.line();
        QTEST(after.join(u' '), "after");
        QTEST(boxes(), "boxes");
        if (!selected.isEmpty())
            QCOMPARE(QString::number(w.List1->row(w.List1->selectedItems().value(0))), selected);
    }

    // suchen, typing, Testen through the real program start; "~" is a folder holding a script.
    void searchAndTest_data()
    {
        for (const char *c : {"chosen", "typed", "shown", "message"})
            QTest::addColumn<QString>(c);
        const char *missing = "2:Datei nicht gefunden";
        row("dots in folder and name", "/d.a/x\\y.z.w", "", "/d.a/x\\y.z.w;x\\y;33", missing);
        row("no dot, the script writes its marker", "~/mark er", "", "~/mark er;mark er;33", "");
        row("cancel empties the box: no start", "", "", ";;33", "");
        row("blanks", "", "   ", ";;33", "22:Ungültiger Befehl oder ungültiges Argument");
    }
    void searchAndTest()
    {
        QFETCH(QString, chosen);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QTemporaryDir dir;
        QFile script(dir.filePath(QStringLiteral("mark er")));
        QVERIFY(script.open(QIODevice::WriteOnly, QFile::ReadOwner | QFile::ExeOwner)
                && script.write("#!/bin/sh\ntouch \"${0%/*}/marker\"\n") > 0);
        script.close();
        m_runtime->startAnswer
            = [](auto &c) { return startProgram(c, WindowStyle::MinimizedFocus); };
        m_runtime->nextChosenFile = chosen.replace(u'~', dir.path());
        open({}, {}, QStringLiteral("alt;alt;33"));
        QTest::mouseClick(m_window->cmd_Search, Qt::LeftButton);
        QCOMPARE(boxes(), shown.replace(u'~', dir.path()));
        QTest::keyClicks(box(0), typed);
        QTest::mouseClick(m_window->cmd_test, Qt::LeftButton);

        const auto c = m_runtime->chooseCalls.value(0);
        QCOMPARE(c.owner, m_window.get());
        QCOMPARE(QStringList({c.initialFolder, c.filterText, c.defaultExtension, c.title}),
                 QString::fromUtf8("/;Alle Dateien (*);.txt;Test: Bitte wählen!").split(u';'));
        QCOMPARE(m_runtime->starts.size(), (chosen + typed).isEmpty() ? 0 : 1);
        for (const auto &s : m_runtime->starts)
            QVERIFY(s.commandText == chosen + typed && s.style == WindowStyle::MinimizedFocus);
        QTEST(m_runtime->messages.join(u';'), "message");
        if (chosen.startsWith(dir.path()))
            QTRY_VERIFY(QFile::exists(dir.filePath(QStringLiteral("marker"))));
    }

    // Start-up fills the list before the first show.
    void startUpToExit()
    {
        QTemporaryDir dir;
        ModGlobal::IniFilePath = dir.filePath(QStringLiteral("Velkora.ini"));
        ProgramTable[0].path = QStringLiteral("/bin/a");
        frmConfig w(*m_runtime);
        w.FillProgramList();
        resetProgramTable(); // from here on only the list holds the entry
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
        bool aboutShown = false;
        QTimer::singleShot(0, &w, [&w, &aboutShown] {
            auto *about = qobject_cast<frmAbout *>(QApplication::activeModalWidget());
            aboutShown = about && about->parentWidget() == &w && about->close();
        });
        w.mnuInfo->trigger();
        QVERIFY(aboutShown);
        QVERIFY(w.close() && !QFile::exists(ModGlobal::IniFilePath));

        QTest::mouseClick(w.cmd_exit, Qt::LeftButton);
        QCOMPARE(m_runtime->ends, 1);
        ModeFile::LoadProgramTable();
        QCOMPARE(ModeFile::ProgramListEntries(), QList<ModeFile::ListEntry>({{"/bin/a", {}, {}}}));
    }
};

QTEST_MAIN(tst_frmConfig)
#include "tst_frmConfig.moc"
