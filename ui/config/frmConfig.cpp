#include "ui/config/frmConfig.h"

#include "config/ModeFile.h"
#include "config/StartConditions.h"
#include "config/WholeNumber.h"
#include "platform/Runtime.h"
#include "platform/core/Log.h"
#include "resources/Resources.h"
#include "ui/Layout.h"
#include "ui/about/frmAbout.h"
#include "ui/config/ModVerzeichnisWahl.h"
#include "ui/config/TakeOverDialog.h"

#include <QActionGroup>
#include <QCoreApplication>
#include <QEvent>
#include <QHash>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QSignalBlocker>
#include <QStyle>
#include <QToolButton>

#include <algorithm>

namespace {

constexpr int ClientWidth = 9135; // twips
constexpr int ClientHeight = 4530;
constexpr int MinSeconds = 2;
constexpr int MaxSeconds = 60;
// What the menu offers for the longest wait; the file may hold any of 1 to 300.
constexpr std::array<int, 5> WaitMaxChoices {10, 30, 60, 120, 300};

QToolButton *graphicalButton(const QString &caption, const QString &icon, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setText(caption);
    button->setIcon(velkora::buttonIcon(icon));
    button->setIconSize(QSize(32, 32));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    return button;
}

// The largest point size, down to 6, at which the caption fits in width and
// its line in lineHeight.
qreal fittingPointSize(QFont font, const QString &caption, int width, int lineHeight)
{
    constexpr qreal SmallestPointSize = 6.0;
    auto fits = [&] {
        const QFontMetrics metrics(font);
        return metrics.horizontalAdvance(caption) <= width && metrics.height() <= lineHeight;
    };
    while (!fits() && font.pointSizeF() > SmallestPointSize)
        font.setPointSizeF(font.pointSizeF() - 0.5);
    return font.pointSizeF();
}

// What looks selected is what is selected. Qt makes a line current without
// selecting it (when the list gets the focus, when the selected line is
// deselected) and draws a focus frame there; the next arrow key then moves on
// from that line. Here a line is current only while it is selected, so the
// first Down or Up with nothing selected selects line 0. A click beside the
// lines keeps the selection, as a list box does.
class ProgramList : public QListWidget {
public:
    using QListWidget::QListWidget;

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex &index,
                                                         const QEvent *event) const override
    {
        if (!index.isValid() && event
            && (event->type() == QEvent::MouseButtonPress
                || event->type() == QEvent::MouseButtonRelease
                || event->type() == QEvent::MouseMove))
            return QItemSelectionModel::NoUpdate;
        return QListWidget::selectionCommand(index, event);
    }

    void focusInEvent(QFocusEvent *event) override
    {
        QListWidget::focusInEvent(event);
        dropLoneCurrent();
    }

    void selectionChanged(const QItemSelection &selected, const QItemSelection &deselected) override
    {
        QListWidget::selectionChanged(selected, deselected);
        dropLoneCurrent();
    }

private:
    void dropLoneCurrent()
    {
        if (!selectionModel()->hasSelection() && selectionModel()->currentIndex().isValid())
            selectionModel()->clearCurrentIndex();
    }
};

// The name box gets the file name without its folder and from its first dot
// on. A hidden file (".profile") would have nothing left, so its leading dots
// go first; a name of dots only is kept whole.
QString displayName(const QString &path)
{
    const QString file = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    qsizetype start = 0;
    while (start < file.size() && file[start] == QLatin1Char('.'))
        ++start;
    if (start == file.size())
        return file;
    const qsizetype dot = file.indexOf(QLatin1Char('.'), start);
    return file.mid(start, dot < 0 ? -1 : dot - start);
}

} // namespace

frmConfig::frmConfig(velkora::Runtime &runtime, QString listFile, QWidget *parent)
    : QMainWindow(parent)
    , m_runtime(runtime)
    , IniFilePath(std::move(listFile))
{
    setObjectName(QStringLiteral("frmConfig"));
    createControls();
    placeControls();

    connect(List1, &QListWidget::itemSelectionChanged, this, &frmConfig::List1_Click);
    // A click on the line that is already selected changes no selection, yet
    // the user expects to see that entry again (after editing the boxes).
    connect(List1, &QListWidget::itemClicked, this, &frmConfig::List1_Click);
    connect(cmd_add, &QToolButton::clicked, this, &frmConfig::cmd_add_Click);
    connect(cmd_change, &QToolButton::clicked, this, &frmConfig::cmd_change_Click);
    connect(cmd_kill, &QToolButton::clicked, this, &frmConfig::cmd_kill_Click);
    connect(cmd_updown[Up], &QToolButton::clicked, this, [this] { cmd_updown_Click(Up); });
    connect(cmd_updown[Down], &QToolButton::clicked, this, [this] { cmd_updown_Click(Down); });
    connect(cmd_Search, &QToolButton::clicked, this, &frmConfig::cmd_Search_Click);
    connect(cmd_test, &QToolButton::clicked, this, &frmConfig::cmd_test_Click);
    connect(cmd_exit, &QToolButton::clicked, this, &frmConfig::cmd_exit_Click);
    connect(mnuInfo, &QAction::triggered, this, &frmConfig::mnuInfo_Click);
    List1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(List1, &QListWidget::customContextMenuRequested, this, &frmConfig::showEntryMenu);
    // The check box of a line is clicked on the list itself.
    connect(List1, &QListWidget::itemChanged, this, &frmConfig::showEntryOptions);
}

// Left of "?". The login start's check shows the entry's state, read
// whenever the menu opens, since session settings may switch the entry off
// meanwhile. Below it, the selected entry's switch and conditions, the same
// items as in the list's context menu.
void frmConfig::createOptionsMenu()
{
    auto *options = menuBar()->addMenu(QStringLiteral("Optionen"));
    options->setObjectName(QStringLiteral("mnuOptions"));
    m_loginStart = options->addAction(QStringLiteral("Beim Anmelden starten"));
    m_loginStart->setObjectName(QStringLiteral("mnuLoginStart"));
    m_loginStart->setCheckable(true);
    connect(options, &QMenu::aboutToShow, this, &frmConfig::showLoginStart);
    connect(m_loginStart, &QAction::triggered, this, &frmConfig::toggleLoginStart);
    m_takeOver = options->addAction(QStringLiteral("Autostart-Einträge übernehmen…"));
    m_takeOver->setObjectName(QStringLiteral("mnuTakeOver"));
    connect(m_takeOver, &QAction::triggered, this, &frmConfig::openTakeOver);

    createEntryActions();
    options->addSeparator();
    options->addActions({m_entryActive, m_waitForTray, m_waitForNetwork});
    options->addMenu(m_waitMaxMenu);
    connect(options, &QMenu::aboutToShow, this, &frmConfig::showEntryOptions);
}

void frmConfig::createEntryActions()
{
    const auto checkable
        = [this](const QString &text, const char *name, void (frmConfig::*handler)(bool)) {
              auto *action = new QAction(text, this);
              action->setObjectName(QLatin1String(name));
              action->setCheckable(true);
              connect(action, &QAction::triggered, this, handler);
              return action;
          };
    m_entryActive = checkable(QStringLiteral("Eintrag aktiv"), "mnuEntryActive",
                              &frmConfig::setSelectedActive);
    m_waitForTray = checkable(QStringLiteral("Auf Infobereich warten"), "mnuWaitForTray",
                              &frmConfig::setSelectedWaitForTray);
    m_waitForNetwork = checkable(QStringLiteral("Auf Netzwerk warten"), "mnuWaitForNetwork",
                                 &frmConfig::setSelectedWaitForNetwork);
    m_waitMaxMenu = new QMenu(QStringLiteral("Höchstens warten"), this);
    m_waitMaxMenu->setObjectName(QStringLiteral("mnuWaitMax"));
    m_waitMaxChoices = new QActionGroup(this);
    for (const int seconds : WaitMaxChoices) {
        QAction *choice = m_waitMaxMenu->addAction(QStringLiteral("%1 Sekunden").arg(seconds));
        choice->setObjectName(QStringLiteral("mnuWaitMax(%1)").arg(seconds));
        choice->setData(seconds);
        choice->setCheckable(true);
        m_waitMaxChoices->addAction(choice);
    }
    connect(m_waitMaxChoices, &QActionGroup::triggered, this, &frmConfig::setSelectedWaitMax);

    m_entryMenu = new QMenu(this);
    m_entryMenu->setObjectName(QStringLiteral("mnuEntry"));
    m_entryMenu->addActions({m_entryActive, m_waitForTray, m_waitForNetwork});
    m_entryMenu->addMenu(m_waitMaxMenu);
}

// The items follow the selected entry; with none selected there is nothing to set.
void frmConfig::showEntryOptions()
{
    const int row = selectedIndex();
    const ModeFile::ListEntry entry = row < 0 ? ModeFile::ListEntry() : entryOf(List1->item(row));
    const velkora::StartConditions conditions = velkora::parseStartConditions(entry.waitFor);
    for (QAction *action : {m_entryActive, m_waitForTray, m_waitForNetwork})
        action->setEnabled(row >= 0);
    m_waitMaxMenu->setEnabled(row >= 0 && conditions.any());
    m_entryActive->setChecked(row >= 0 && entry.active);
    m_waitForTray->setChecked(conditions.tray);
    m_waitForNetwork->setChecked(conditions.network);
    const int waitMax = velkora::effectiveWaitMax(velkora::toWholeNumber(entry.waitMax));
    for (QAction *choice : m_waitMaxChoices->actions())
        choice->setChecked(choice->data().toInt() == waitMax);
}

// A right click acts on the line under the pointer, which it selects first.
void frmConfig::showEntryMenu(const QPoint &at)
{
    QListWidgetItem *item = List1->itemAt(at);
    if (!item)
        return;
    List1->setCurrentItem(item, QItemSelectionModel::ClearAndSelect);
    showEntryOptions();
    m_entryMenu->popup(List1->viewport()->mapToGlobal(at));
}

void frmConfig::changeSelected(const std::function<void(ModeFile::ListEntry &)> &change)
{
    const int row = selectedIndex();
    if (row < 0)
        return;
    ModeFile::ListEntry entry = entryOf(List1->item(row));
    change(entry);
    setEntry(List1->item(row), entry);
    showEntryOptions();
}

void frmConfig::setSelectedActive(bool on)
{
    changeSelected([on](ModeFile::ListEntry &entry) { entry.active = on; });
}

void frmConfig::setSelectedWaitForTray(bool on)
{
    changeSelected([on](ModeFile::ListEntry &entry) {
        entry.waitFor = velkora::withTrayCondition(entry.waitFor, on);
    });
}

void frmConfig::setSelectedWaitForNetwork(bool on)
{
    changeSelected([on](ModeFile::ListEntry &entry) {
        entry.waitFor = velkora::withNetworkCondition(entry.waitFor, on);
    });
}

void frmConfig::setSelectedWaitMax(QAction *choice)
{
    changeSelected([choice](ModeFile::ListEntry &entry) {
        entry.waitMax = QString::number(choice->data().toInt());
    });
}

void frmConfig::showLoginStart()
{
    m_loginStart->setChecked(m_runtime.loginStartEnabled());
}

void frmConfig::toggleLoginStart(bool checked)
{
    QString reason;
    if (!m_runtime.setLoginStart(checked, &reason)) {
        qCWarning(velkora::lcSession, "login start not %s: %s", checked ? "written" : "removed",
                  qUtf8Printable(reason));
        m_runtime.messageBox((checked ? QStringLiteral("Der Start beim Anmelden konnte nicht "
                                                       "eingerichtet werden.")
                                      : QStringLiteral("Der Start beim Anmelden konnte nicht "
                                                       "abgeschaltet werden."))
                             + QLatin1Char('\n') + reason);
    }
    showLoginStart();
}

void frmConfig::createControls()
{
    auto *client = new QWidget(this);
    client->setFixedSize(velkora::ui::twips(ClientWidth), velkora::ui::twips(ClientHeight));
    setCentralWidget(client);
    // The window keeps the size of its client area plus the menu bar.
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    const std::array<QString, 3> captions {QStringLiteral("Dateipfad :"), QStringLiteral("Name :"),
                                           QStringLiteral("Zeit in Sekunden :")};
    for (size_t i = 0; i < lblGesamt.size(); ++i) {
        lblGesamt[i] = new QLabel(captions[i], client);
        lblGesamt[i]->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        txtProg[i] = new QLineEdit(client);
    }
    txtProg[Seconds]->setText(QStringLiteral("10"));
    txtProg[Seconds]->setToolTip(QStringLiteral("2 - 60 Sekunden"));

    List1 = new ProgramList(client);
    List1->setSelectionMode(QAbstractItemView::SingleSelection);
    List1->setSortingEnabled(false);

    cmd_Search = graphicalButton(QStringLiteral("suchen"), QStringLiteral("suchen"), client);
    cmd_add = graphicalButton(QStringLiteral("hinzufügen"), QStringLiteral("hinzufuegen"), client);
    cmd_test = graphicalButton(QStringLiteral("Testen"), QStringLiteral("testen"), client);
    cmd_kill = graphicalButton(QStringLiteral("löschen"), QStringLiteral("loeschen"), client);
    cmd_change = graphicalButton(QStringLiteral("ändern"), QStringLiteral("aendern"), client);
    cmd_updown[Up] = graphicalButton(QStringLiteral("Hoch"), QStringLiteral("hoch"), client);
    cmd_updown[Down] = graphicalButton(QStringLiteral("Runter"), QStringLiteral("runter"), client);
    cmd_exit = graphicalButton(QStringLiteral("Exit"), QStringLiteral("exit"), client);

    createOptionsMenu();
    mnuIn = menuBar()->addMenu(QStringLiteral("?"));
    mnuIn->setObjectName(QStringLiteral("mnuIn"));
    mnuInfo = mnuIn->addAction(QStringLiteral("Info zu Velkora"));
    mnuInfo->setObjectName(QStringLiteral("mnuInfo"));
}

namespace {

struct Placement {
    QWidget *control;
    const char *name;
    int left, top, width, height, tab;
};

// The largest point size at which a caption fits its control: a label's text
// its box; a button's caption the strip below its picture, which the style
// centres on what the frame and the picture (plus 4 px) leave, and may reach
// into the lower frame margin, but not past the button's last pixel row.
// Other controls take any size (-1).
qreal captionFit(QWidget *control)
{
    const QSize size = control->size();
    if (auto *label = qobject_cast<QLabel *>(control))
        return fittingPointSize(label->font(), label->text(), size.width(), size.height());
    auto *button = qobject_cast<QToolButton *>(control);
    if (!button)
        return -1;
    const int frame = button->style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
    const int stripTop = frame + button->iconSize().height() + 3;
    const int stripBottom = size.height() - frame - 1;
    return fittingPointSize(button->font(), button->text(), size.width() - 2 * frame - 2,
                            2 * (size.height() - 1) - stripTop - stripBottom);
}

// The layout is fixed, the font is the platform's: where that font is too
// large for a caption, all captions get the size that fits the tightest one,
// so they stay whole and alike. A pixel-sized font (-1 points) is left alone.
void fitCaptions(const std::array<Placement, 15> &table, const QFont &font)
{
    qreal size = font.pointSizeF();
    for (const Placement &p : table) {
        if (const qreal fit = captionFit(p.control); fit > 0)
            size = std::min(size, fit);
    }
    if (size <= 0 || size >= font.pointSizeF())
        return;
    QFont captionFont = font;
    captionFont.setPointSizeF(size);
    for (const Placement &p : table) {
        if (qobject_cast<QLabel *>(p.control) || qobject_cast<QToolButton *>(p.control))
            p.control->setFont(captionFont);
    }
}

void chainTabOrder(std::array<Placement, 15> table)
{
    std::sort(table.begin(), table.end(),
              [](const Placement &a, const Placement &b) { return a.tab < b.tab; });
    QWidget *previous = nullptr;
    for (const Placement &p : table) {
        if (p.control->focusPolicy() == Qt::NoFocus)
            continue; // labels
        if (previous)
            QWidget::setTabOrder(previous, p.control);
        previous = p.control;
    }
}

} // namespace

void frmConfig::placeControls()
{
    // clang-format off
    const std::array<Placement, 15> table{{
        // control          name              left   top  width height tab
        {lblGesamt[Path],    "lblGesamt(0)",    360,  160,   855,  375, 10},
        {txtProg[Path],      "txtProg(0)",     1320,  120,  3495,  375,  8},
        {lblGesamt[Name],    "lblGesamt(1)",    360,  640,   855,  375, 11},
        {txtProg[Name],      "txtProg(1)",     1320,  600,  3495,  375,  9},
        {lblGesamt[Seconds], "lblGesamt(2)",    360, 1125,  1575,  375, 14},
        {txtProg[Seconds],   "txtProg(2)",     2040, 1080,   855,  375, 13},
        {List1,              "List1",           360, 1560,  4455, 2400,  0},
        {cmd_Search,         "cmd_Search",     5040,  120,  1095,  735,  5},
        {cmd_add,            "cmd_add",        6240,  120,  1095,  735,  6},
        {cmd_test,           "cmd_test",       7440,  120,  1095,  735,  7},
        {cmd_kill,           "cmd_kill",       5040, 1200,  1095,  735,  3},
        {cmd_change,         "cmd_change",     6240, 1200,  1095,  735,  4},
        {cmd_updown[Up],     "cmd_updown(0)",  5040, 2040,  1095,  735,  1},
        {cmd_updown[Down],   "cmd_updown(1)",  5040, 2880,  1095,  735,  2},
        {cmd_exit,           "cmd_exit",       7440, 2880,  1095,  735, 12},
    }};
    // clang-format on
    for (const Placement &p : table) {
        p.control->setObjectName(QLatin1String(p.name));
        velkora::ui::place(p.control, p.left, p.top, p.width, p.height);
    }
    fitCaptions(table, font());
    chainTabOrder(table);
    List1->setFocus(); // tab index 0 has the focus when the window opens
}

void frmConfig::FillProgramList(const velkora::ProgramList &table)
{
    List1->clear();
    for (const ModeFile::ListEntry &entry : ModeFile::listEntries(table))
        List1->addItem(newItem({entry}));
    markDoubleStarts(0, List1->count());
    unselect();
}

QList<ModeFile::ListEntry> frmConfig::listEntries() const
{
    QList<ModeFile::ListEntry> entries;
    entries.reserve(List1->count());
    for (int i = 0; i < List1->count(); ++i)
        entries << entryOf(List1->item(i));
    return entries;
}

int frmConfig::selectedIndex() const
{
    const QList<QListWidgetItem *> selected = List1->selectedItems();
    return selected.isEmpty() ? -1 : List1->row(selected.constFirst());
}

// No selected line and no current one either: no focus frame is left behind,
// and a removed line does not hand its selection to a neighbour.
void frmConfig::unselect()
{
    List1->selectionModel()->clear();
}

void frmConfig::List1_Click()
{
    ShowSelectedEntry();
    showEntryOptions();
}

// The fields come from the line's entry, not from splitting its text, so that
// a "|" inside a path (a shell pipe) or a name stays where it belongs.
void frmConfig::ShowSelectedEntry()
{
    const int row = selectedIndex();
    if (row < 0)
        return;
    const ModeFile::ListEntry piece = entryOf(List1->item(row));
    if (!piece.path.isEmpty())
        ShownPath = piece.path;
    if (!piece.name.isEmpty())
        ShownName = piece.name;
    if (!piece.seconds.isEmpty()) {
        if (const auto seconds = velkora::toWholeNumber(piece.seconds))
            ShownSeconds = *seconds;
    }

    txtProg[Path]->setText(ShownPath);
    txtProg[Name]->setText(ShownName);
    txtProg[Seconds]->setText(QString::number(ShownSeconds));
}

// Add and change take the boxes only when all three are filled, when the
// seconds are a number, and when no box holds a line break (pasted text can
// bring one, and the file keeps one value per line). A refusal changes
// nothing, like the window's other refusals, and leaves the boxes for the user
// to correct; the reason goes on record.
bool frmConfig::takeableInput(const char *action) const
{
    for (const QLineEdit *box : txtProg) {
        const QString text = box->text();
        const char *reason = nullptr;
        if (text.isEmpty())
            reason = "is empty";
        else if (text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')))
            reason = "holds a line break";
        if (reason) {
            qCInfo(velkora::lcConfig, "%s refused: box %s %s", action,
                   qUtf8Printable(box->objectName()), reason);
            return false;
        }
    }
    if (!velkora::toWholeNumber(txtProg[Seconds]->text())) {
        qCInfo(velkora::lcConfig, "%s refused: the seconds are no number", action);
        return false;
    }
    return true;
}

void frmConfig::secondsCheck()
{
    const auto seconds = velkora::toWholeNumber(txtProg[Seconds]->text());
    if (seconds && (*seconds < MinSeconds || *seconds > MaxSeconds))
        txtProg[Seconds]->setText(QStringLiteral("10"));
}

ModeFile::ListEntry frmConfig::entryFromBoxes() const
{
    return {txtProg[Path]->text(), txtProg[Name]->text(), txtProg[Seconds]->text()};
}

QListWidgetItem *frmConfig::newItem(const Line &line)
{
    auto *item = new QListWidgetItem;
    setLine(item, line);
    return item;
}

namespace {

// A line's mark, read once. Lines without one keep its room, so that all
// texts start alike.
QIcon lineIcon(const char *name)
{
    static QHash<QByteArray, QIcon> icons;
    if (icons.isEmpty())
        qAddPostRoutine([] { icons.clear(); }); // pictures cannot outlive the application
    QIcon &icon = icons[name];
    if (icon.isNull() && name) {
        icon = velkora::buttonIcon(QLatin1String(name));
    } else if (icon.isNull()) {
        QPixmap blank(16, 16);
        blank.fill(Qt::transparent);
        icon = QIcon(blank);
    }
    return icon;
}

// What an entry waits for, as its line's tooltip tells it; empty: nothing.
QString waitingText(const ModeFile::ListEntry &entry)
{
    const velkora::StartConditions conditions = velkora::parseStartConditions(entry.waitFor);
    QStringList awaited;
    if (conditions.tray)
        awaited << velkora::trayConditionName();
    if (conditions.network)
        awaited << velkora::networkConditionName();
    if (awaited.isEmpty())
        return {};
    return QStringLiteral("Wartet auf %1, höchstens %2 Sekunden")
        .arg(awaited.join(QLatin1String(" und ")))
        .arg(velkora::effectiveWaitMax(velkora::toWholeNumber(entry.waitMax)));
}

} // namespace

// The line shows the entry as path|name|seconds; its switch is the check
// box, and what else there is to know of it (a second start through the
// session's autostart, what it waits for) shows as an icon with a tooltip,
// so that the text stays what the list has always shown.
void frmConfig::setLine(QListWidgetItem *item, const Line &line)
{
    const ModeFile::ListEntry &entry = line.entry;
    item->setText(entry.line());
    item->setData(Qt::UserRole,
                  QStringList {entry.path, entry.name, entry.seconds, entry.waitFor, entry.waitMax,
                               line.alsoStartedAs,
                               line.takenOver ? QStringLiteral("taken") : QString()});
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(entry.active ? Qt::Checked : Qt::Unchecked);
    const QString waiting = waitingText(entry);
    QStringList tips;
    if (!line.alsoStartedAs.isEmpty())
        tips << QStringLiteral("Startet auch über den Autostart der Sitzung");
    if (!waiting.isEmpty())
        tips << waiting;
    item->setIcon(lineIcon(!line.alsoStartedAs.isEmpty() ? "doppelt"
                               : !waiting.isEmpty()      ? "warten"
                                                         : nullptr));
    item->setToolTip(tips.join(QLatin1Char('\n')));
}

frmConfig::Line frmConfig::lineOf(const QListWidgetItem *item)
{
    const QStringList fields = item->data(Qt::UserRole).toStringList();
    return {{fields.value(0), fields.value(1), fields.value(2), item->checkState() != Qt::Unchecked,
             fields.value(3), fields.value(4)},
            fields.value(5),
            !fields.value(6).isEmpty()};
}

void frmConfig::setEntry(QListWidgetItem *item, const ModeFile::ListEntry &entry)
{
    Line line = lineOf(item);
    line.entry = entry;
    setLine(item, line);
}

ModeFile::ListEntry frmConfig::entryOf(const QListWidgetItem *item)
{
    return lineOf(item).entry;
}

// Which of these lines the session also starts by itself.
void frmConfig::markDoubleStarts(int first, int count)
{
    QStringList commands;
    for (int i = first; i < first + count; ++i)
        commands << entryOf(List1->item(i)).path;
    const QStringList also
        = commands.isEmpty() ? QStringList() : m_runtime.alsoStartedBySession(commands);
    const QSignalBlocker quiet(List1);
    for (int i = first; i < first + count; ++i) {
        Line line = lineOf(List1->item(i));
        line.alsoStartedAs = line.takenOver ? QString() : also.value(i - first);
        setLine(List1->item(i), line);
    }
}

void frmConfig::resetBoxes()
{
    txtProg[Path]->clear();
    txtProg[Name]->clear();
    txtProg[Seconds]->setText(QStringLiteral("10"));
}

void frmConfig::cmd_add_Click()
{
    if (!takeableInput("add"))
        return;
    secondsCheck();
    QListWidgetItem *item = newItem({entryFromBoxes()});
    const int row = selectedIndex();
    if (row >= 0)
        List1->insertItem(row, item);
    else
        List1->addItem(item);
    resetBoxes();
}

void frmConfig::cmd_change_Click()
{
    const int row = selectedIndex();
    if (!takeableInput("change"))
        return;
    secondsCheck();
    if (row < 0)
        return;
    // The line's switch and conditions stay with it; a new command is
    // another program, taken from the session's autostart or not.
    Line line = lineOf(List1->item(row));
    const ModeFile::ListEntry typed = entryFromBoxes();
    if (typed.path != line.entry.path)
        line.takenOver = false;
    line.entry.path = typed.path;
    line.entry.name = typed.name;
    line.entry.seconds = typed.seconds;
    setLine(List1->item(row), line);
    markDoubleStarts(row, 1);
    unselect();
    resetBoxes();
}

void frmConfig::cmd_kill_Click()
{
    const int row = selectedIndex();
    if (row < 0)
        return;
    // Unselected first: the boxes keep the removed entry.
    unselect();
    delete List1->takeItem(row);
}

// The move leaves the boxes alone, so whatever the user has typed there
// survives; the reselected line is the same entry anyway.
void frmConfig::cmd_updown_Click(int Index)
{
    const int row = selectedIndex();
    if (row < 0)
        return;
    const int other = Index == Up ? row - 1 : row + 1;
    if (other < 0 || other >= List1->count())
        return;

    const Line moving = lineOf(List1->item(row));
    const QString moved = moving.entry.line();
    const QSignalBlocker quiet(List1);
    setLine(List1->item(row), lineOf(List1->item(other)));
    setLine(List1->item(other), moving);

    // The first line from the top with the moved text, as a duplicate above
    // may take the selection.
    for (int i = 0; i < List1->count(); ++i) {
        if (List1->item(i)->text() == moved) {
            List1->setCurrentRow(i, QItemSelectionModel::ClearAndSelect);
            break;
        }
    }
}

// Folders are separated by "/" only: "\" is an ordinary character in Linux
// file names.
void frmConfig::cmd_Search_Click()
{
    const QString title = QStringLiteral("Test: Bitte ") + QStringLiteral("wählen!");
    const QString chosen = ModVerzeichnisWahl::ChooseFile(m_runtime, this, QStringLiteral("C:\\"),
                                                          QStringLiteral("Alle Dateien|*.*"),
                                                          QStringLiteral(".txt"), title);
    txtProg[Path]->setText(chosen);
    txtProg[Name]->setText(displayName(chosen));
}

void frmConfig::cmd_test_Click()
{
    const QString commandText = txtProg[Path]->text();
    if (commandText.isEmpty())
        return;
    const velkora::StartResult result
        = m_runtime.startProgram(commandText, velkora::WindowStyle::MinimizedFocus);
    if (!result.ok())
        m_runtime.messageBox(QString::number(result.errorNumber) + QLatin1Char(':')
                             + result.description);
}

// A list that cannot be saved is said so before the window goes, which a
// Linux list file can fail in more ways than a Windows one. What the session
// starts by itself changes only once the list that starts those programs
// instead is saved.
void frmConfig::cmd_exit_Click()
{
    const ModeFile::SaveResult saved = ModeFile::SaveProgramTable(IniFilePath, listEntries());
    if (saved.ok())
        switchSessionEntries();
    else
        m_runtime.messageBox(ModeFile::saveFailureMessage(IniFilePath, saved));
    close();
    m_runtime.endProgram();
}

// Each program starts once: those taken from the session's autostart no
// longer start there, and those that have left the list start there again.
void frmConfig::switchSessionEntries()
{
    QStringList taken, commands;
    for (int i = 0; i < List1->count(); ++i) {
        const Line line = lineOf(List1->item(i));
        commands << line.entry.path;
        if (line.takenOver)
            taken << line.entry.path.chopped(int(qstrlen(".desktop")));
    }
    QString reason;
    if ((taken.isEmpty() || m_runtime.takeOverSessionEntries(taken, &reason))
        && m_runtime.giveBackSessionEntries(commands, &reason))
        return;
    qCWarning(velkora::lcSession, "the session's autostart not changed: %s",
              qUtf8Printable(reason));
    m_runtime.messageBox(QStringLiteral("Der Autostart der Sitzung konnte nicht angepasst "
                                        "werden; die Liste ist gespeichert.\n")
                         + reason);
}

// The chosen entries go to the end of the list, as desktop ids with their
// names and delays. Nothing changes in the session until "Exit", and nothing
// is added when that could not be done then.
void frmConfig::openTakeOver()
{
    QSet<QString> listed;
    for (const ModeFile::ListEntry &entry : listEntries())
        listed.insert(entry.path);
    QList<velkora::SessionEntry> offered;
    for (const velkora::SessionEntry &entry : m_runtime.sessionEntries()) {
        if (!listed.contains(entry.desktopId + QLatin1String(".desktop")))
            offered.append(entry);
    }
    TakeOverDialog dialog(offered, velkora::SlotCount - List1->count(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QList<velkora::SessionEntry> chosen = dialog.chosen();
    QStringList ids;
    for (const velkora::SessionEntry &entry : chosen)
        ids << entry.desktopId;
    QString reason;
    if (!m_runtime.canTakeOverSessionEntries(ids, &reason)) {
        qCWarning(velkora::lcSession, "nothing taken from the session's autostart: %s",
                  qUtf8Printable(reason));
        m_runtime.messageBox(
            QStringLiteral("Die Autostart-Einträge können nicht übernommen werden.\n") + reason);
        return;
    }
    for (const velkora::SessionEntry &entry : chosen) {
        const QString id = entry.desktopId + QLatin1String(".desktop");
        List1->addItem(newItem({{id, entry.name, QString::number(entry.seconds)}, {}, true}));
    }
}

void frmConfig::mnuInfo_Click()
{
    frmAbout about(m_runtime, this);
    about.exec();
}
