#include "config/ModeFile.h"
#include "config/ProgramTable.h"
#include "tests/support/FakeRuntime.h"
#include "tests/support/Rows.h"
#include "ui/config/frmConfig.h"

#include <QtTest>
#include <QtWidgets>

#include <numeric>

using namespace velkora;
using Lines = QStringList; // list lines as shown: path|name|seconds
using Boxes = QStringList; // the texts of txtProg(0) to txtProg(2)
using Buttons = QStringList; // object names of the buttons pressed, in order
using Rows = QList<int>; // lines clicked, in order; -1 is the empty part of the list
using Entries = QList<ModeFile::ListEntry>;
// What a user does, in this order: click lines, type into the boxes, press buttons, press a key on
// the list; and what the window then shows.
// The file chooser's answer (empty: cancelled), then typed into the path box, then "Testen"
// pressed, each start failing with that errno (0: they work); the name box after the chooser.
struct Search {
    QString chosen {}, typed {};
    int tests = 0, failure = 0;
    QString name {};
};
// Taking over the session's entries x, y and z: those ticked in the window; then a line selected
// and buttons pressed before "Exit"; the session's folders that cannot be written, or a list file
// that cannot be saved. What follows: the list's lines, the ids switched off at "Exit", the
// messages.
struct TakeOver {
    QList<int> ticked;
    int selected = -1;
    Buttons pressed {};
    QString sessionError {};
    bool saveFails = false;
    Lines after {};
    QStringList taken {};
    QStringList messages {};
};
struct Edit {
    Rows clicked {};
    Boxes typed {};
    Buttons pressed {};
    Qt::Key key {};
    Lines after {};
    int selected = -1;
    Boxes shown {};
};

class tst_frmConfig : public QObject {
    Q_OBJECT
    std::unique_ptr<test::FakeRuntime> m_runtime;
    QTemporaryDir m_dir;
    std::unique_ptr<frmConfig> m_window;
    // What open() lists: all fields, a path alone, a bar in a name.
    const Lines abc {"a|A|5", "b||", "c|x|y|3"};

    QLineEdit *box(int i) const
    {
        return m_window->findChild<QLineEdit *>(QString("txtProg(%1)").arg(i));
    }
    QListWidget *list() const { return m_window->findChild<QListWidget *>("List1"); }
    Boxes boxes() const { return {box(0)->text(), box(1)->text(), box(2)->text()}; }
    void open(const Rows &clicked = {}, const Boxes &typed = {})
    {
        ProgramList table;
        table.ProgramTable[0] = {"a", "A", 5};
        table.ProgramTable[1] = {"b", {}, {}};
        table.ProgramTable[2] = {"c", "x|y", 3, false, "Netzwerk", 45};
        m_window = std::make_unique<frmConfig>(*m_runtime, m_dir.filePath("Velkora.ini"));
        m_window->FillProgramList(table);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        for (int row : clicked)
            QTest::mouseClick(list()->viewport(), Qt::LeftButton, {},
                              row < 0 ? QPoint(5, list()->viewport()->height() - 5)
                                      : list()->visualItemRect(list()->item(row)).center());
        for (int i = 0; i < typed.size(); ++i)
            box(i)->setText(typed[i]); // as pasted: line breaks too
    }
    void press(const Buttons &buttons) const
    {
        for (const QString &name : buttons)
            QTest::mouseClick(m_window->findChild<QToolButton *>(name), Qt::LeftButton);
    }
    // "Autostart-Einträge übernehmen…" with these of its lines ticked; its status line then.
    QString takeOverTicked(const QList<int> &ticked)
    {
        QString status;
        QTimer::singleShot(0, this, [&] {
            auto *dialog = QApplication::activeModalWidget();
            QVERIFY(dialog);
            auto *entries = dialog->findChild<QTreeWidget *>("sessionEntries");
            for (int i : ticked)
                entries->topLevelItem(i)->setCheckState(0, Qt::Checked);
            status = dialog->findChild<QLabel *>("status")->text();
            QTest::mouseClick(dialog->findChild<QPushButton *>("takeOver"), Qt::LeftButton);
        });
        m_window->findChild<QAction *>("mnuTakeOver")->trigger();
        return status;
    }
    Lines lines() const
    {
        Lines shown;
        for (int i = 0; i < list()->count(); ++i)
            shown << list()->item(i)->text();
        return shown;
    }

private Q_SLOTS:
    void init()
    {
        m_runtime = std::make_unique<test::FakeRuntime>();
        QFile::remove(m_dir.filePath("Velkora.ini"));
    }

    void editing_data()
    {
        QTest::addColumn<Edit>("edit");
        const velkora::test::RowsOf<Edit> row;
        const Boxes fresh {"", "", "10"}, pq {"p", "q", "60"}, a {"a", "A", "5"},
            c {"c", "x|y", "3"};
        const Buttons add {"cmd_add"}, change {"cmd_change"}, kill {"cmd_kill"};
        const QString up = "cmd_updown(0)", down = "cmd_updown(1)";
        row("add with nothing selected appends and empties the boxes",
            {.typed = pq, .pressed = add, .after = abc + Lines {"p|q|60"}, .shown = fresh});
        row("add puts the entry above the selected line, which stays selected",
            {.clicked = {1},
             .typed = pq,
             .pressed = add,
             .after = {"a|A|5", "p|q|60", "b||", "c|x|y|3"},
             .selected = 2,
             .shown = fresh});
        row("add takes boxes as typed: a bar, a blank, 2 seconds with a leading zero",
            {.typed = {"x|y", " ", "02"},
             .pressed = add,
             .after = abc + Lines {"x|y| |02"},
             .shown = fresh});
        row("add makes 1 second 10",
            {.typed = {"p", "q", "1"},
             .pressed = add,
             .after = abc + Lines {"p|q|10"},
             .shown = fresh});
        row("seconds in letters refuse add",
            {.typed = {"p", "q", "x"}, .pressed = add, .after = abc, .shown = {"p", "q", "x"}});
        row("an empty name refuses add and change",
            {.typed = {"p", "", "5"},
             .pressed = add + change,
             .after = abc,
             .shown = {"p", "", "5"}});
        row("a pasted line break refuses add and change",
            {.clicked = {1},
             .typed = {"p", "q\nr", "5"},
             .pressed = add + change,
             .after = abc,
             .selected = 1,
             .shown = {"p", "q\nr", "5"}});
        row("change replaces the selected line in place and unselects it",
            {.clicked = {1},
             .typed = pq,
             .pressed = change,
             .after = {"a|A|5", "p|q|60", "c|x|y|3"},
             .shown = fresh});
        row("change with nothing selected only corrects 61 seconds to 10",
            {.typed = {"p", "q", "61"},
             .pressed = change,
             .after = abc,
             .shown = {"p", "q", "10"}});
        row("delete removes the selected line, the boxes keep it; again: nothing",
            {.clicked = {2}, .pressed = kill + kill, .after = {"a|A|5", "b||"}, .shown = c});
        row("Hoch moves the last line to the top and stops there",
            {.clicked = {2},
             .pressed = {up, up, up},
             .after = {"c|x|y|3", "a|A|5", "b||"},
             .selected = 0,
             .shown = c});
        row("Runter stops at the last line; moves keep what was typed",
            {.clicked = {1},
             .typed = pq,
             .pressed = {down, down},
             .after = {"a|A|5", "c|x|y|3", "b||"},
             .selected = 2,
             .shown = pq});
        row("with nothing selected no button moves or deletes",
            {.pressed = Buttons {up, down} + kill, .after = abc, .shown = fresh});
        row("after opening, Down selects line 0 and shows it",
            {.key = Qt::Key_Down, .after = abc, .selected = 0, .shown = a});
        row("after a delete, Up selects line 0",
            {.clicked = {2},
             .pressed = kill,
             .key = Qt::Key_Up,
             .after = {"a|A|5", "b||"},
             .selected = 0,
             .shown = a});
        row("a click beside the lines keeps the selection",
            {.clicked = {0, -1}, .after = abc, .selected = 0, .shown = a});
        row("a line with a path alone, selected first, shows no name and 0 seconds",
            {.clicked = {1}, .after = abc, .selected = 1, .shown = {"b", "", "0"}});
        row("a line with a path alone keeps the name and seconds shown before",
            {.clicked = {0, 1}, .after = abc, .selected = 1, .shown = {"b", "A", "5"}});
    }
    void editing()
    {
        QFETCH(Edit, edit);
        open(edit.clicked, edit.typed);
        press(edit.pressed);
        if (edit.key)
            QTest::keyClick(list(), edit.key);
        QCOMPARE(lines(), edit.after);
        QCOMPARE(list()->currentRow(), edit.selected);
        // What looks selected is what is selected: no focus frame on an unselected line.
        QCOMPARE(list()->selectedItems(),
                 list()->currentRow() < 0 ? QList<QListWidgetItem *>()
                                          : QList<QListWidgetItem *> {list()->currentItem()});
        QCOMPARE(boxes(), edit.shown);
    }

    void searchAndTest_data()
    {
        QTest::addColumn<Search>("search");
        const velkora::test::RowsOf<Search> row;
        row("the name is cut at the first dot after the last slash",
            {.chosen = "/d.a/x\\y.z.w", .tests = 1, .name = "x\\y"});
        row("a name without a dot is taken whole; Testen twice starts twice",
            {.chosen = "/opt/run", .tests = 2, .name = "run"});
        row("a hidden file is named without its leading dot",
            {.chosen = "/h/.profile.bak", .name = "profile"});
        row("cancel empties path and name, and Testen starts nothing", {.tests = 1});
        row("blanks are started as they stand, each failure is shown",
            {.typed = "  ", .tests = 2, .failure = 22});
    }
    void searchAndTest()
    {
        QFETCH(Search, search);
        const auto &[chosen, typed, tests, failure, name] = search;
        m_runtime->nextChosenFile = "  " + chosen + " "; // blanks around the answer go
        m_runtime->startAnswer = [failure](auto &) { return StartResult {failure, "kaputt", 0}; };
        open({}, {"alt", "alt", "33"});
        press({"cmd_Search"});
        // Owned by this window, opened at the root, which "C:\" stands for.
        QCOMPARE(m_runtime->chooseCalls,
                 (QList<std::pair<QObject *, QString>> {{m_window.get(), "/"}}));
        QCOMPARE(boxes(), (Boxes {chosen, name, "33"}));
        QTest::keyClicks(box(0), typed);
        press(Buttons(tests, "cmd_test"));

        const QString path = chosen + typed;
        const decltype(m_runtime->starts) starts(path.isEmpty() ? 0 : tests,
                                                 {path, WindowStyle::MinimizedFocus});
        QCOMPARE(m_runtime->starts, starts);
        QCOMPARE(m_runtime->messages,
                 QStringList(failure ? tests : 0, QString("%1:kaputt").arg(failure)));
    }

    // An entry's switch and conditions: set on its line, shown there without changing its text,
    // and moving with it. Pressed: buttons, and items of the entry's menu; "check" clicks line 1's
    // check box.
    void entryOptions_data()
    {
        QTest::addColumn<Buttons>("pressed"); // with line 1 selected
        QTest::addColumn<Boxes>("typed");
        QTest::addColumn<Entries>("after");
        QTest::addColumn<QString>("tip0"); // line 0's tooltip
        const ModeFile::ListEntry a {"a", "A", "5"}, c {"c", "x|y", "3", false, "Netzwerk", "45"};
        QTest::newRow("the check box switches an entry off and on, its text stays")
            << Buttons {"check", "check", "check"} << Boxes {}
            << Entries {a, {"b", "", "", false}, c} << "";
        QTest::newRow("conditions from the menu go up with their entry")
            << Buttons {"mnuWaitForTray", "mnuWaitForNetwork", "mnuWaitMax(120)", "cmd_updown(0)"}
            << Boxes {} << Entries {{"b", "", "", true, "Infobereich,Netzwerk", "120"}, a, c}
            << "Wartet auf Infobereich und Netzwerk, höchstens 120 Sekunden";
        QTest::newRow("a condition switched off again goes, and Runter takes a switched-off line")
            << Buttons {"mnuWaitForTray", "mnuEntryActive", "mnuWaitForTray", "cmd_updown(1)"}
            << Boxes {} << Entries {a, c, {"b", "", "", false, "", ""}} << "";
        QTest::newRow("ändern keeps the line's switch and conditions")
            << Buttons {"mnuWaitForNetwork", "cmd_change"} << Boxes {"p", "q", "20"}
            << Entries {a, {"p", "q", "20", true, "Netzwerk"}, c} << "";
        QTest::newRow("hinzufügen adds an entry that is on and waits for nothing")
            << Buttons {"cmd_add"} << Boxes {"p", "q", "20"}
            << Entries {a, {"p", "q", "20"}, {"b", "", ""}, c} << "";
    }
    void entryOptions()
    {
        QFETCH(Buttons, pressed);
        QFETCH(Boxes, typed);
        open({1}, typed);
        for (const QString &name : pressed) {
            if (name == "check") {
                const QRect line = list()->visualItemRect(list()->item(1));
                QTest::mouseClick(list()->viewport(), Qt::LeftButton, {},
                                  QPoint(line.left() + line.height() / 2, line.center().y()));
            } else if (auto *action = m_window->findChild<QAction *>(name)) {
                QVERIFY(action->isEnabled());
                action->trigger();
            } else {
                press({name});
            }
        }
        QTEST(m_window->listEntries(), "after");
        QCOMPARE(lines().mid(0, 1), QStringList {m_window->listEntries().constFirst().line()});
        QTEST(list()->item(0)->toolTip(), "tip0");
    }

    // The check follows the login start entry, not the click: a failure unchecks it again and
    // says why, on screen and on standard error.
    void loginStart()
    {
        m_runtime->loginStart = true;
        open();
        auto *item = m_window->findChild<QAction *>("mnuLoginStart");
        auto *options = m_window->findChild<QMenu *>("mnuOptions");
        Q_EMIT options->aboutToShow(); // as the menu opens
        QVERIFY(item->isChecked() && options->actions().constFirst() == item);
        // With no line selected the entry's items have nothing to act on.
        QVERIFY(!m_window->findChild<QAction *>("mnuEntryActive")->isEnabled());
        item->trigger();
        QVERIFY(!item->isChecked() && !m_runtime->loginStart);
        m_runtime->loginStartError = "Zugriff verweigert: /x";
        QTest::ignoreMessage(QtWarningMsg, "login start not written: Zugriff verweigert: /x");
        item->trigger();
        QVERIFY(!item->isChecked() && !m_runtime->loginStart);
        QCOMPARE(m_runtime->messages,
                 QStringList {"Der Start beim Anmelden konnte nicht eingerichtet "
                              "werden.\nZugriff verweigert: /x"});
    }

    void takeOver_data()
    {
        QTest::addColumn<TakeOver>("row");
        const velkora::test::RowsOf<TakeOver> row;
        const Lines xz {"x.desktop|X|5", "z.desktop|Z|10"};
        const QString refused = "Zugriff verweigert: /autostart";
        row("ticked entries go to the end with their names and delays, switched off at Exit",
            {.ticked = {0, 2}, .after = abc + xz, .taken = {"x", "z"}});
        row("an entry deleted again before Exit stays on in the session",
            {.ticked = {0, 2},
             .selected = 3,
             .pressed = {"cmd_kill"},
             .after = abc + xz.mid(1),
             .taken = {"z"}});
        row("a folder that cannot be written: nothing is added, and the window says why",
            {.ticked = {0},
             .sessionError = refused,
             .after = abc,
             .messages = {"Die Autostart-Einträge können nicht übernommen werden.\n" + refused,
                          "Der Autostart der Sitzung konnte nicht angepasst werden; die Liste ist "
                          "gespeichert.\n"
                              + refused}});
        row("a list that cannot be saved switches nothing off",
            {.ticked = {1}, .saveFails = true, .after = abc + Lines {"y.desktop|Y|10"}});
    }
    void takeOver()
    {
        QFETCH(TakeOver, row);
        m_runtime->session = {{"x", "/a/x.desktop", "X", "x --bg", 5, false},
                              {"y", "/etc/xdg/autostart/y.desktop", "Y", "y", 10, true},
                              {"z", "/a/z.desktop", "Z", "z", 10, false}};
        m_runtime->sessionError = row.sessionError;
        open();
        takeOverTicked(row.ticked);
        if (row.selected >= 0)
            list()->setCurrentRow(row.selected);
        press(row.pressed);
        QCOMPARE(lines(), row.after);
        const QString path = m_dir.filePath("Velkora.ini");
        QVERIFY(!row.saveFails || QDir().mkdir(path)); // a folder in the file's place
        press({"cmd_exit"});
        QCOMPARE(m_runtime->taken, row.taken);
        QCOMPARE(m_runtime->keptListed.size(), row.saveFails ? 0 : lines().size());
        if (row.saveFails)
            row.messages = QStringList {m_runtime->messages.value(0)};
        QCOMPARE(m_runtime->messages, row.messages);
        QVERIFY(!row.saveFails || row.messages[0].contains(path));
        QVERIFY(!row.saveFails || QDir().rmdir(path));
    }

    // The window names what does not fit; the first that fit are taken. A line the session
    // also starts is marked.
    void takeOverRoomAndDoubleStarts()
    {
        for (int i = 0; i < 30; ++i)
            m_runtime->session.append({QString("e%1").arg(i), "", QString("E%1").arg(i), "e", 10});
        m_runtime->alsoStarted = {"", "b-app", ""};
        open();
        QCOMPARE(list()->item(1)->toolTip(), "Startet auch über den Autostart der Sitzung");
        QCOMPARE(list()->item(0)->toolTip(), "");
        QList<int> all(30);
        std::iota(all.begin(), all.end(), 0);
        QCOMPARE(takeOverTicked(all),
                 "Passt nicht mehr in die Liste (höchstens 31 Einträge): E28, E29");
        QCOMPARE(list()->count(), 31);
        QCOMPARE(lines().constLast(), "e27.desktop|E27|10");
    }

    // Closing writes nothing; "Exit" writes the list, which by then alone holds the entries.
    void closeAndExit()
    {
        const QString path = m_dir.filePath("Velkora.ini");
        open();
        QVERIFY(m_window->close() && !QFile::exists(path));
        press({"cmd_exit"});
        QCOMPARE(m_runtime->endStatuses, QList<int> {0});
        QCOMPARE(ModeFile::listEntries(ModeFile::LoadProgramTable(path)), m_window->listEntries());
    }
};

QTEST_MAIN(tst_frmConfig)
#include "tst_frmConfig.moc"
