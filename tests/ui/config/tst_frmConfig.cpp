#include "FakeRuntime.h"
#include "Layout.h"
#include "ModGlobal.h"
#include "ModINI.h"
#include "ProgramTable.h"
#include "frmAbout.h"
#include "frmConfig.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using velkora::test::FakeRuntime;

namespace {

QString text(const char *utf8)
{
    return QString::fromUtf8(utf8);
}
const QString &text(const QString &s)
{
    return s;
}
template<typename... T> QStringList strs(const T &...items)
{
    return {text(items)...};
}

} // namespace

class tst_frmConfig : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void layout_data();
    void layout();
    void windowFrame();
    void tabOrder();
    void fillProgramList();
    void showSelectedEntry_data();
    void showSelectedEntry();
    void selectionByKeyboardAndReclick();
    void add_data();
    void add();
    void change_data();
    void change();
    void kill_data();
    void kill();
    void move_data();
    void move();
    void search_data();
    void search();
    void testStart_data();
    void testStart();
    void exitWritesFile();
    void closeWritesNothing();
    void infoMenuOpensAboutModally();
    void deferredControlsAppearWhenNeeded();

private:
    void open(const QStringList &lines = {});
    void clickRow(int row);
    void type(int box, const QString &text);
    QStringList boxes() const;

    FakeRuntime *m_runtime = nullptr;
    frmConfig *m_window = nullptr;
};

void tst_frmConfig::init()
{
    ModGlobal::resetGlobals();
    velkora::resetProgramTable();
    m_runtime = new FakeRuntime;
}

void tst_frmConfig::cleanup()
{
    delete m_window;
    m_window = nullptr;
    delete m_runtime;
    m_runtime = nullptr;
}

void tst_frmConfig::open(const QStringList &lines)
{
    m_window = new frmConfig(*m_runtime);
    m_window->List1->addItems(lines);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
}

void tst_frmConfig::clickRow(int row)
{
    QListWidget *list = m_window->List1;
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(row)).center());
}

void tst_frmConfig::type(int box, const QString &text)
{
    QLineEdit *edit = m_window->txtProg[size_t(box)];
    edit->clear();
    QTest::keyClicks(edit, text);
}

QStringList tst_frmConfig::boxes() const
{
    return {m_window->txtProg[0]->text(), m_window->txtProg[1]->text(),
            m_window->txtProg[2]->text()};
}

void tst_frmConfig::layout_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QList<int>>("geometry"); // twips: left, top, width, height

    QTest::newRow("lblGesamt(0)") << "Dateipfad :" << QList<int> {360, 160, 855, 375};
    QTest::newRow("txtProg(0)") << "" << QList<int> {1320, 120, 3495, 375};
    QTest::newRow("lblGesamt(1)") << "Name :" << QList<int> {360, 640, 855, 375};
    QTest::newRow("txtProg(1)") << "" << QList<int> {1320, 600, 3495, 375};
    QTest::newRow("lblGesamt(2)") << "Zeit in Sekunden :" << QList<int> {360, 1125, 1575, 375};
    QTest::newRow("txtProg(2)") << "10" << QList<int> {2040, 1080, 855, 375};
    QTest::newRow("List1") << "" << QList<int> {360, 1560, 4455, 2400};
    QTest::newRow("cmd_Search") << "suchen" << QList<int> {5040, 120, 1095, 735};
    QTest::newRow("cmd_add") << "hinzufügen" << QList<int> {6240, 120, 1095, 735};
    QTest::newRow("cmd_test") << "Testen" << QList<int> {7440, 120, 1095, 735};
    QTest::newRow("cmd_kill") << "löschen" << QList<int> {5040, 1200, 1095, 735};
    QTest::newRow("cmd_change") << "ändern" << QList<int> {6240, 1200, 1095, 735};
    QTest::newRow("cmd_updown(0)") << "Hoch" << QList<int> {5040, 2040, 1095, 735};
    QTest::newRow("cmd_updown(1)") << "Runter" << QList<int> {5040, 2880, 1095, 735};
    QTest::newRow("cmd_exit") << "Exit" << QList<int> {7440, 2880, 1095, 735};
}

void tst_frmConfig::layout()
{
    QFETCH(QList<int>, geometry);
    QFETCH(QString, caption);
    open();
    auto *control
        = m_window->centralWidget()->findChild<QWidget *>(QLatin1String(QTest::currentDataTag()));
    QVERIFY(control);
    using velkora::ui::twips;
    QCOMPARE(control->geometry(),
             QRect(twips(geometry[0]), twips(geometry[1]), twips(geometry[2]), twips(geometry[3])));

    if (auto *label = qobject_cast<QLabel *>(control)) {
        QCOMPARE(label->text(), caption);
        QVERIFY(label->fontMetrics().horizontalAdvance(caption) <= label->width());
    } else if (auto *edit = qobject_cast<QLineEdit *>(control))
        QCOMPARE(edit->text(), caption);
    else if (auto *button = qobject_cast<QToolButton *>(control)) {
        QCOMPARE(button->text(), caption);
        QCOMPARE(button->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
        QCOMPARE(button->iconSize(), QSize(32, 32));
        QVERIFY(!button->icon().isNull());
        QVERIFY(button->fontMetrics().horizontalAdvance(caption) < button->width());
    }
}

void tst_frmConfig::windowFrame()
{
    open();
    QCOMPARE(m_window->centralWidget()->size(), QSize(609, 302));
    QCOMPARE(m_window->centralWidget()->y(), m_window->menuBar()->height());
    QCOMPARE(m_window->minimumSize(), m_window->maximumSize());
    QVERIFY(!m_window->windowIcon().isNull());
    QCOMPARE(m_window->txtProg[2]->toolTip(), QStringLiteral("2 - 60 Sekunden"));
    QCOMPARE(m_window->mnuIn->title(), QStringLiteral("?"));
    QCOMPARE(m_window->mnuIn->actions(), QList<QAction *> {m_window->mnuInfo});
    QCOMPARE(m_window->mnuInfo->text(), QStringLiteral("Info zu Velkora"));
    QCOMPARE(m_window->List1->selectionMode(), QAbstractItemView::SingleSelection);
}

void tst_frmConfig::tabOrder()
{
    open();
    const frmConfig &w = *m_window;
    const QList<QWidget *> expected {w.List1,      w.cmd_updown[0], w.cmd_updown[1], w.cmd_kill,
                                     w.cmd_change, w.cmd_Search,    w.cmd_add,       w.cmd_test,
                                     w.txtProg[0], w.txtProg[1],    w.cmd_exit,      w.txtProg[2]};
    QList<QWidget *> chain;
    QWidget *current = w.List1;
    do {
        if (expected.contains(current))
            chain << current;
        current = current->nextInFocusChain();
    } while (current != w.List1 && chain.size() <= expected.size());
    QCOMPARE(chain, expected);
    for (const QLabel *label : w.lblGesamt)
        QCOMPARE(label->focusPolicy(), Qt::NoFocus);
}

void tst_frmConfig::fillProgramList()
{
    using velkora::ProgramTable;
    ProgramTable[1] = {QStringLiteral("/bin/a"), QStringLiteral("A"), 5};
    ProgramTable[2] = {QString(), QStringLiteral("nur Name"), 7};
    ProgramTable[3] = {QStringLiteral("C:\\A.EXE"), std::nullopt, 5};
    ProgramTable[30] = {QStringLiteral("/bin/z"), QStringLiteral("Z"), std::nullopt};
    open({QStringLiteral("old|line|3")});
    m_window->List1->setCurrentRow(0);
    type(0, QStringLiteral("typed"));

    m_window->FillProgramList();
    const QStringList lines = strs("/bin/a|A|5", "C:\\A.EXE||5", "/bin/z|Z|");
    QCOMPARE(m_window->listLines(), lines);
    QVERIFY(m_window->List1->selectedItems().isEmpty());
    QCOMPARE(boxes(), (strs("typed", "line", "3")));
}

void tst_frmConfig::showSelectedEntry_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QList<int>>("clicks");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<int>("shownSeconds");

    const QString a = QStringLiteral("/bin/a|Alpha|30");
    QTest::newRow("whole line") << strs(a) << QList<int> {0} << strs("/bin/a", "Alpha", "30") << 30;
    QTest::newRow("no name keeps the name shown before")
        << strs(a, "C:\\A.EXE||5") << QList<int> {0, 1} << strs("C:\\A.EXE", "Alpha", "5") << 5;
    QTest::newRow("no name, none shown yet")
        << strs("C:\\A.EXE||5") << QList<int> {0} << strs("C:\\A.EXE", "", "5") << 5;
    QTest::newRow("empty seconds keep 30")
        << strs(a, "/bin/b|Beta|") << QList<int> {0, 1} << strs("/bin/b", "Beta", "30") << 30;
    QTest::newRow("bar in name keeps seconds")
        << strs(a, "C:\\A.EXE|Tool|Beta|20") << QList<int> {0, 1} << strs("C:\\A.EXE", "Tool", "30")
        << 30;
    QTest::newRow("leading zero") << strs("/bin/a|A|05") << QList<int> {0}
                                  << strs("/bin/a", "A", "5") << 5;
    QTest::newRow("blanks around seconds")
        << strs("/bin/a|A| 7 ") << QList<int> {0} << strs("/bin/a", "A", "7") << 7;
    QTest::newRow("only one bar") << strs(a, "/bin/c|Cee") << QList<int> {0, 1}
                                  << strs("/bin/c", "Cee", "30") << 30;
    QTest::newRow("no separator changes nothing")
        << strs(a, "kaputt") << QList<int> {0, 1} << strs("/bin/a", "Alpha", "30") << 30;
    QTest::newRow("no selection changes nothing")
        << strs(a) << QList<int> {} << strs("", "", "10") << 0;
}

void tst_frmConfig::showSelectedEntry()
{
    QFETCH(QStringList, lines);
    QFETCH(QList<int>, clicks);
    open(lines);
    for (int row : clicks)
        clickRow(row);
    m_window->ShowSelectedEntry();

    QTEST(boxes(), "shown");
    QTEST(ModGlobal::ShownSeconds, "shownSeconds");
    QCOMPARE(m_window->listLines(), lines);
}

void tst_frmConfig::selectionByKeyboardAndReclick()
{
    open({QStringLiteral("/bin/a|A|3"), QStringLiteral("/bin/b|B|4")});
    clickRow(0);
    QTest::keyClick(m_window->List1, Qt::Key_Down);
    QCOMPARE(boxes(), (strs("/bin/b", "B", "4")));

    type(1, QStringLiteral("bearbeitet"));
    clickRow(1);
    QCOMPARE(boxes(), (strs("/bin/b", "B", "4")));
}

void tst_frmConfig::add_data()
{
    QTest::addColumn<int>("selected");
    QTest::addColumn<QStringList>("input");
    QTest::addColumn<QStringList>("after"); // the list; empty: refused

    const QStringList five = strs("/0|a|2", "/1|b|2", "/2|c|2", "/3|d|2", "/4|e|2");
    QTest::newRow("append without selection")
        << -1 << strs("/bin/p", "P", "15") << five + strs("/bin/p|P|15");
    QTest::newRow("insert above line 2")
        << 2 << strs("/bin/p", "P", "15")
        << strs("/0|a|2", "/1|b|2", "/bin/p|P|15", "/2|c|2", "/3|d|2", "/4|e|2");
    QTest::newRow("2 kept") << -1 << strs("p", "n", "2") << five + strs("p|n|2");
    QTest::newRow("60 kept") << -1 << strs("p", "n", "60") << five + strs("p|n|60");
    QTest::newRow("61 becomes 10") << -1 << strs("p", "n", "61") << five + strs("p|n|10");
    QTest::newRow("0 becomes 10") << -1 << strs("p", "n", "0") << five + strs("p|n|10");
    QTest::newRow("-5 becomes 10") << -1 << strs("p", "n", "-5") << five + strs("p|n|10");
    QTest::newRow("05 as typed") << -1 << strs("p", "n", "05") << five + strs("p|n|05");
    QTest::newRow("blank path is filled") << -1 << strs(" ", "n", "9") << five + strs(" |n|9");
    QTest::newRow("blank seconds refused") << -1 << strs("p", "n", " ") << strs();
    QTest::newRow("letters refused") << 2 << strs("p", "n", "abc") << strs();
    QTest::newRow("empty name refused") << -1 << strs("p", "", "15") << strs();
    QTest::newRow("empty seconds refused") << -1 << strs("p", "n", "") << strs();
    QTest::newRow("bar in path refused") << -1 << strs("a|b", "n", "15") << strs();
    QTest::newRow("bar in name refused") << 1 << strs("p", "x|y", "15") << strs();
}

void tst_frmConfig::add()
{
    QFETCH(int, selected);
    QFETCH(QStringList, input);
    QFETCH(QStringList, after);
    const QStringList five = strs("/0|a|2", "/1|b|2", "/2|c|2", "/3|d|2", "/4|e|2");
    open(five);
    if (selected >= 0)
        clickRow(selected);
    for (int i = 0; i < 3; ++i)
        type(i, input[i]);
    QTest::mouseClick(m_window->cmd_add, Qt::LeftButton);

    if (after.isEmpty()) {
        QCOMPARE(m_window->listLines(), five);
        QCOMPARE(boxes(), input);
    } else {
        QCOMPARE(m_window->listLines(), after);
        QCOMPARE(boxes(), (strs("", "", "10")));
    }
}

void tst_frmConfig::change_data()
{
    QTest::addColumn<int>("selected");
    QTest::addColumn<QStringList>("input");
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<QStringList>("boxesAfter");

    const QStringList reset = strs("", "", "10");
    QTest::newRow("line 3 replaced in place")
        << 3 << strs("/neu", "Neu", "20")
        << strs("/0|a|2", "/1|b|2", "/2|c|2", "/neu|Neu|20", "/4|e|2") << reset;
    QTest::newRow("out of range with selection")
        << 0 << strs("/neu", "Neu", "99")
        << strs("/neu|Neu|10", "/1|b|2", "/2|c|2", "/3|d|2", "/4|e|2") << reset;
    QTest::newRow("99 without selection")
        << -1 << strs("/neu", "Neu", "99") << strs() << strs("/neu", "Neu", "10");
    QTest::newRow("empty box") << 3 << strs("/neu", "", "99") << strs() << strs("/neu", "", "99");
    QTest::newRow("no number") << 3 << strs("/neu", "Neu", "zehn") << strs()
                               << strs("/neu", "Neu", "zehn");
}

void tst_frmConfig::change()
{
    QFETCH(int, selected);
    QFETCH(QStringList, input);
    QFETCH(QStringList, after);
    const QStringList five = strs("/0|a|2", "/1|b|2", "/2|c|2", "/3|d|2", "/4|e|2");
    open(five);
    if (selected >= 0)
        clickRow(selected);
    for (int i = 0; i < 3; ++i)
        type(i, input[i]);
    QTest::mouseClick(m_window->cmd_change, Qt::LeftButton);

    QCOMPARE(m_window->listLines(), after.isEmpty() ? five : after);
    QTEST(boxes(), "boxesAfter");
    if (!after.isEmpty())
        QVERIFY(m_window->List1->selectedItems().isEmpty());
}

void tst_frmConfig::kill_data()
{
    QTest::addColumn<int>("selected");
    QTest::addColumn<QStringList>("after");

    QTest::newRow("no selection") << -1 << strs("/0|a|2", "/1|b|3", "/2|c|4");
    QTest::newRow("middle line") << 1 << strs("/0|a|2", "/2|c|4");
    QTest::newRow("last line") << 2 << strs("/0|a|2", "/1|b|3");
}

void tst_frmConfig::kill()
{
    QFETCH(int, selected);
    open(strs("/0|a|2", "/1|b|3", "/2|c|4"));
    if (selected >= 0)
        clickRow(selected);
    const QStringList shown = boxes();
    QTest::mouseClick(m_window->cmd_kill, Qt::LeftButton);

    QTEST(m_window->listLines(), "after");
    QVERIFY(m_window->List1->selectedItems().isEmpty());
    QCOMPARE(boxes(), shown);
}

void tst_frmConfig::move_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QList<int>>("buttons");
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<int>("selectedAfter");

    const QStringList five = strs("/0|a|2", "/1|b|2", "/2|c|2", "/3|d|2", "/4|e|2");
    QTest::newRow("empty list") << strs() << -1 << QList<int> {0, 1} << strs() << -1;
    QTest::newRow("one line") << strs("/x|x|5") << 0 << QList<int> {0, 1} << strs("/x|x|5") << 0;
    QTest::newRow("nothing selected") << five << -1 << QList<int> {0, 1} << five << -1;
    QTest::newRow("first line up") << five << 0 << QList<int> {0} << five << 0;
    QTest::newRow("last line down") << five << 4 << QList<int> {1} << five << 4;
    QTest::newRow("line 2 up twice, then no more")
        << five << 2 << QList<int> {0, 0, 0}
        << strs("/2|c|2", "/0|a|2", "/1|b|2", "/3|d|2", "/4|e|2") << 0;
    QTest::newRow("down") << five << 1 << QList<int> {1}
                          << strs("/0|a|2", "/2|c|2", "/1|b|2", "/3|d|2", "/4|e|2") << 2;
    QTest::newRow("twin above takes the selection")
        << strs("/t|t|2", "/x|x|2", "/t|t|2") << 2 << QList<int> {0}
        << strs("/t|t|2", "/t|t|2", "/x|x|2") << 0;
    QTest::newRow("last twin down keeps its selection")
        << strs("/t|t|2", "/t|t|2") << 1 << QList<int> {1} << strs("/t|t|2", "/t|t|2") << 1;
}

void tst_frmConfig::move()
{
    QFETCH(QStringList, lines);
    QFETCH(int, selected);
    QFETCH(QList<int>, buttons);
    open(lines);
    if (selected >= 0)
        clickRow(selected);
    type(0, QStringLiteral("getippt"));
    const QStringList typed = boxes();

    for (int index : buttons)
        QTest::mouseClick(m_window->cmd_updown[size_t(index)], Qt::LeftButton);

    QTEST(m_window->listLines(), "after");
    const QList<QListWidgetItem *> sel = m_window->List1->selectedItems();
    QTEST(sel.isEmpty() ? -1 : m_window->List1->row(sel.constFirst()), "selectedAfter");
    QCOMPARE(boxes(), typed);
}

void tst_frmConfig::search_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");

    QTest::newRow("plain") << "/opt/werkzeug/werkzeug.sh"
                           << "/opt/werkzeug/werkzeug.sh"
                           << "werkzeug";
    QTest::newRow("several dots") << "/spiele/mein.spiel.exe"
                                  << "/spiele/mein.spiel.exe"
                                  << "mein";
    QTest::newRow("dot in folder") << "/daten.alt/prog"
                                   << "/daten.alt/prog"
                                   << "prog";
    QTest::newRow("no dot") << "/usr/bin/run"
                            << "/usr/bin/run"
                            << "run";
    QTest::newRow("backslash is part of the name") << "/tmp/a\\b.sh"
                                                   << "/tmp/a\\b.sh"
                                                   << "a\\b";
    QTest::newRow("blanks around") << " /bin/x y.sh "
                                   << "/bin/x y.sh"
                                   << "x y";
    QTest::newRow("cancel") << ""
                            << ""
                            << "";
}

void tst_frmConfig::search()
{
    QFETCH(QString, chosen);
    open(strs("/0|a|2"));
    clickRow(0);
    type(0, QStringLiteral("alt"));
    type(1, QStringLiteral("alt"));
    type(2, QStringLiteral("33"));
    m_runtime->nextChosenFile = chosen;

    QTest::mouseClick(m_window->cmd_Search, Qt::LeftButton);

    QCOMPARE(m_runtime->chooseCalls.size(), 1);
    const FakeRuntime::ChooseCall &call = m_runtime->chooseCalls.constFirst();
    QCOMPARE(call.owner, m_window);
    QCOMPARE(call.initialFolder, QStringLiteral("/"));
    QCOMPARE(call.filterText, QStringLiteral("Alle Dateien (*)"));
    QCOMPARE(call.defaultExtension, QStringLiteral(".txt"));
    QCOMPARE(call.title, QStringLiteral("Test: Bitte wählen!"));
    QTEST(m_window->txtProg[0]->text(), "path");
    QTEST(m_window->txtProg[1]->text(), "name");
    QCOMPARE(m_window->txtProg[2]->text(), QStringLiteral("33"));
    QCOMPARE(m_window->listLines(), strs("/0|a|2"));
    QCOMPARE(m_window->List1->selectedItems().size(), 1);
}

void tst_frmConfig::testStart_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("errorNumber");
    QTest::addColumn<int>("starts");
    QTest::addColumn<QStringList>("messages");

    QTest::newRow("empty box") << "" << 0 << 0 << strs();
    QTest::newRow("blanks fail") << "   " << 2 << 1 << strs("2:Datei nicht gefunden");
    QTest::newRow("success") << "/usr/bin/true" << 0 << 1 << strs();
}

void tst_frmConfig::testStart()
{
    QFETCH(QString, path);
    QFETCH(int, errorNumber);
    open(strs("/0|a|2"));
    m_runtime->startAnswer = [errorNumber](const QString &) {
        velkora::StartResult r;
        if (errorNumber) {
            r.errorNumber = errorNumber;
            r.description = QStringLiteral("Datei nicht gefunden");
        }
        return r;
    };
    type(0, path);

    QTest::mouseClick(m_window->cmd_test, Qt::LeftButton);

    QTEST(int(m_runtime->starts.size()), "starts");
    for (const FakeRuntime::Start &start : m_runtime->starts) {
        QCOMPARE(start.commandText, path);
        QCOMPARE(start.style, velkora::WindowStyle::MinimizedFocus);
    }
    QTEST(m_runtime->messages, "messages");
    QCOMPARE(m_window->listLines(), strs("/0|a|2"));
    QVERIFY(m_window->isVisible());
}

void tst_frmConfig::exitWritesFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    ModGlobal::IniFilePath = dir.filePath(QStringLiteral("Velkora.ini"));
    open({QStringLiteral("/bin/a|Äpfel|5"), QStringLiteral("/bin/b|B|30")});
    clickRow(1);
    QTest::mouseClick(m_window->cmd_updown[0], Qt::LeftButton);

    QTest::mouseClick(m_window->cmd_exit, Qt::LeftButton);

    const QString &ini = ModGlobal::IniFilePath;
    auto value = [&ini](int section, const char *key) {
        return ModINI::ReadIniValue(ini, QString::number(section), QLatin1String(key));
    };
    QCOMPARE(value(0, "DATEI"), QStringLiteral("/bin/b"));
    QCOMPARE(value(1, "NAME"), QStringLiteral("Äpfel"));
    QCOMPARE(value(1, "ZEIT"), QStringLiteral("5"));
    QCOMPARE(value(2, "DATEI"), QString());
    QVERIFY(!m_window->isVisible());
    QCOMPARE(m_runtime->ends, 1);
}

void tst_frmConfig::closeWritesNothing()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    ModGlobal::IniFilePath = dir.filePath(QStringLiteral("Velkora.ini"));
    open({QStringLiteral("/bin/a|A|5")});

    QVERIFY(m_window->close());

    QVERIFY(!QFile::exists(ModGlobal::IniFilePath));
    QCOMPARE(m_runtime->ends, 0);
}

void tst_frmConfig::infoMenuOpensAboutModally()
{
    open();
    bool aboutShown = false;
    QTimer::singleShot(0, this, [this, &aboutShown] {
        auto *about = qobject_cast<frmAbout *>(QApplication::activeModalWidget());
        aboutShown = about && about->parentWidget() == m_window;
        if (QApplication::activeModalWidget())
            QApplication::activeModalWidget()->close();
    });
    m_window->mnuInfo->trigger();
    QVERIFY(aboutShown);
}

void tst_frmConfig::deferredControlsAppearWhenNeeded()
{
    FakeRuntime runtime;
    frmConfig filled(runtime, nullptr, frmConfig::Controls::WhenNeeded);
    QVERIFY(!filled.List1);
    QCOMPARE(filled.listLines(), QStringList());
    velkora::ProgramTable[0].path = QStringLiteral("/bin/true");
    filled.FillProgramList();
    QCOMPARE(filled.listLines(), QStringList{QStringLiteral("/bin/true||")});
    QCOMPARE(filled.txtProg[2]->text(), QStringLiteral("10"));

    frmConfig shown(runtime, nullptr, frmConfig::Controls::WhenNeeded);
    shown.show();
    QVERIFY(shown.cmd_exit);
    QCOMPARE(shown.cmd_exit->geometry(), QRect(496, 192, 73, 49));
}

QTEST_MAIN(tst_frmConfig)
#include "tst_frmConfig.moc"
