#include "ui/runner/frmAuto.h"

#include "config/ProgramTable.h"
#include "config/StartConditions.h"
#include "platform/Runtime.h"
#include "platform/core/Log.h"
#include "ui/Layout.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QStringBuilder>
#include <QTimer>

#include <charconv>
#include <limits>
#include <utility>

using velkora::ui::place;

namespace {

const QLatin1String LoadEnding(" sek.)");
const QLatin1String TickEnding(" sek. )");

// How an entry is named in the log: by its name, else by its command.
QByteArray logName(const velkora::ProgramEntry &entry)
{
    return entry.name.value_or(entry.path.value_or(QString())).toUtf8();
}

// The window's background is only the margin around the labels: a click on
// a text line must not reach the window, so the labels keep every click.
class TextLine : public QLabel {
public:
    using QLabel::QLabel;

private:
    void mousePressEvent(QMouseEvent *event) override { event->accept(); }
    void mouseReleaseEvent(QMouseEvent *event) override { event->accept(); }
    void mouseDoubleClickEvent(QMouseEvent *event) override { event->accept(); }
};

} // namespace

frmAuto::frmAuto(velkora::Runtime &runtime, const velkora::ProgramList &table, QWidget *parent)
    : QDialog(parent,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                  | Qt::WindowCloseButtonHint)
    , m_runtime(runtime)
    , m_table(table)
{
    setObjectName(QStringLiteral("frmAuto"));
    setWindowTitle(QStringLiteral("Autostart"));
    setFixedSize(velkora::ui::twips(4680), velkora::ui::twips(930));

    for (std::size_t i = 0; i < lbl1.size(); ++i) {
        lbl1[i] = new TextLine(this);
        lbl1[i]->setObjectName(QStringLiteral("lbl1(%1)").arg(i));
        // Names come from a file the user edits: never read them as markup.
        lbl1[i]->setTextFormat(Qt::PlainText);
        lbl1[i]->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    }
    place(lbl1[Countdown], 120, 120, 4455, 375);
    place(lbl1[EntryName], 120, 480, 4455, 375);
    QFont nameFont(QStringLiteral("Arial"));
    nameFont.setPointSizeF(11.25);
    nameFont.setBold(true);
    lbl1[EntryName]->setFont(nameFont);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setTimerType(Qt::PreciseTimer);
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &frmAuto::Timer1_Timer);
}

void frmAuto::runModal()
{
    Form_Load();
    if (m_unloaded)
        return;
    Timer1->start();
    exec();
}

// EntryCount comes from the load and never exceeds the table; should it
// ever, the slots beyond read as empty rather than out of bounds.
const velkora::ProgramEntry &frmAuto::entryAt(qint32 slot) const
{
    static const velkora::ProgramEntry empty;
    if (slot < 0 || slot >= velkora::SlotCount)
        return empty;
    return m_table.ProgramTable[std::size_t(slot)];
}

qint32 frmAuto::waitingTime(qint32 slot) const
{
    const qint32 seconds = entryAt(slot).seconds.value_or(0);
    return seconds > 60 ? 10 : seconds;
}

// Entries switched off are passed over as if they were not in the list. The
// load looks at slot 0 even in an empty table, whose seconds it waits out.
// With none left, the slot after the table: nothing to show or to start.
qint32 frmAuto::firstActiveFrom(qint32 slot) const
{
    for (const qint32 end = std::max<qint32>(m_table.EntryCount, 1); slot < end; ++slot) {
        if (entryAt(slot).active)
            return slot;
    }
    return velkora::SlotCount;
}

void frmAuto::Form_Load()
{
    m_runtime.yield();
    watchConditions();
    CurrentSlot = firstActiveFrom(0);
    CurrentDelay = waitingTime(CurrentSlot);
    showName(entryAt(CurrentSlot).name.value_or(QString()));
    showCountdown(LoadEnding);
}

// Watching starts at once, so that by an entry's time the answers are in.
// Nothing is watched, and no bus is opened, when no entry waits for anything.
void frmAuto::watchConditions()
{
    bool tray = false, network = false;
    for (qint32 slot = 0; slot < m_table.EntryCount; ++slot) {
        const velkora::ProgramEntry &entry = entryAt(slot);
        if (!entry.active || !entry.filled())
            continue;
        const velkora::StartConditions conditions = velkora::parseStartConditions(entry.waitFor);
        for (const QString &name : conditions.unknown)
            qCWarning(velkora::lcStart, "\"%s\" waits for \"%s\", which is unknown: ignored",
                      logName(entry).constData(), qUtf8Printable(name));
        if (conditions.any() && entry.waitMax
            && velkora::effectiveWaitMax(entry.waitMax) != *entry.waitMax)
            qCWarning(velkora::lcStart,
                      "\"%s\": WARTEN_MAX=%d is not between %d and %d, it waits at most %d s",
                      logName(entry).constData(), *entry.waitMax, velkora::MinWaitMax,
                      velkora::MaxWaitMax, velkora::DefaultWaitMax);
        tray = tray || conditions.tray;
        network = network || conditions.network;
    }
    if (!tray && !network)
        return;
    velkora::Readiness &readiness = m_runtime.readiness();
    connect(&readiness, &velkora::Readiness::changed, this, &frmAuto::conditionChanged);
    if (tray)
        readiness.watch(velkora::Condition::Tray);
    if (network)
        readiness.watch(velkora::Condition::Network);
}

void frmAuto::Timer1_Timer()
{
    if (m_unloaded)
        return;
    if (!std::exchange(m_doubleStartsLogged, true))
        logDoubleStarts();
    if (m_waiting) {
        waitTick();
        return;
    }
    // ElapsedSeconds goes back to 0 once it reaches CurrentDelay (at most
    // 60), so it cannot overflow.
    ++ElapsedSeconds;
    showCountdown(TickEnding);
    m_runtime.yield();
    // Cancelled while this tick yielded: the user wants nothing more started,
    // not even an entry that is due in this very tick.
    if (m_unloaded)
        return;
    if (ElapsedSeconds < CurrentDelay)
        return;

    ElapsedSeconds = 0;
    if (mustWait(entryAt(CurrentSlot)))
        beginWait();
    else
        startCurrent();
}

// Looked at once the window is up, not before: reading the session's
// autostart folders would delay the window.
void frmAuto::logDoubleStarts()
{
    QList<const velkora::ProgramEntry *> entries;
    QStringList commands;
    for (qint32 slot = 0; slot < m_table.EntryCount; ++slot) {
        const velkora::ProgramEntry &entry = entryAt(slot);
        if (entry.active && entry.filled()) {
            entries << &entry;
            commands << *entry.path;
        }
    }
    const QStringList also
        = commands.isEmpty() ? QStringList() : m_runtime.alsoStartedBySession(commands);
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (!also.value(i).isEmpty())
            qCWarning(velkora::lcStart,
                      "\"%s\" also starts through the session's autostart (%s.desktop): it "
                      "may run twice",
                      logName(*entries[i]).constData(), qUtf8Printable(also[i]));
    }
}

// The current entry starts and the next one that is on becomes current.
void frmAuto::startCurrent()
{
    const velkora::ProgramEntry &entry = entryAt(CurrentSlot);
    // A failed start is passed over without a word; the schedule goes on.
    if (entry.filled())
        static_cast<void>(
            m_runtime.startProgram(*entry.path, velkora::WindowStyle::MinimizedFocus));
    ++CurrentSlot;
    if (CurrentSlot < m_table.EntryCount)
        CurrentSlot = firstActiveFrom(CurrentSlot);
    if (CurrentSlot >= m_table.EntryCount) {
        unload();
        return;
    }
    showName(entryAt(CurrentSlot).name.value_or(QString()));
    CurrentDelay = waitingTime(CurrentSlot);
    showCountdown(TickEnding);
}

bool frmAuto::mustWait(const velkora::ProgramEntry &entry) const
{
    return entry.filled() && !awaited(velkora::parseStartConditions(entry.waitFor)).isEmpty();
}

// The first condition that does not hold yet; empty when all hold.
QString frmAuto::awaited(const velkora::StartConditions &conditions) const
{
    if (conditions.tray && !m_runtime.readiness().holds(velkora::Condition::Tray))
        return velkora::trayConditionName();
    if (conditions.network && !m_runtime.readiness().holds(velkora::Condition::Network))
        return velkora::networkConditionName();
    return {};
}

void frmAuto::beginWait()
{
    m_waiting = true;
    m_waitLeft = velkora::effectiveWaitMax(entryAt(CurrentSlot).waitMax);
    m_waitingSince.start();
    showWaiting();
}

// The longest wait is counted in ticks, as the seconds before it are.
void frmAuto::waitTick()
{
    --m_waitLeft;
    showWaiting();
    m_runtime.yield();
    // Cancelled, or the conditions came while this tick yielded.
    if (m_unloaded || !m_waiting || m_waitLeft > 0)
        return;
    const velkora::ProgramEntry &entry = entryAt(CurrentSlot);
    qCInfo(velkora::lcStart, "\"%s\": still waiting for %s after %d s, starting it anyway",
           logName(entry).constData(),
           qUtf8Printable(awaited(velkora::parseStartConditions(entry.waitFor))),
           velkora::effectiveWaitMax(entry.waitMax));
    m_waiting = false;
    startCurrent();
}

// The entry starts the moment its conditions hold, and the next entry's
// seconds count from that start, not from the last tick.
void frmAuto::conditionChanged(velkora::Condition)
{
    if (!m_waiting || m_unloaded)
        return;
    const velkora::ProgramEntry &entry = entryAt(CurrentSlot);
    if (!awaited(velkora::parseStartConditions(entry.waitFor)).isEmpty()) {
        showWaiting(); // perhaps for the other condition now
        return;
    }
    qCInfo(velkora::lcStart, "\"%s\": ready after %.1f s of waiting, starting it",
           logName(entry).constData(), double(m_waitingSince.elapsed()) / 1000);
    m_waiting = false;
    Timer1->start();
    startCurrent();
}

void frmAuto::Form_DblClick()
{
    unload();
}

void frmAuto::done(int result)
{
    // The window says nothing; the journal tells why a program did not start.
    if (!m_unloaded && CurrentSlot < m_table.EntryCount)
        qCInfo(velkora::lcStart, "countdown cancelled: %d of %d entries not started",
               m_table.EntryCount - CurrentSlot, m_table.EntryCount);
    m_unloaded = true;
    m_waiting = false;
    Timer1->stop();
    QDialog::done(result);
}

// No key cancels: a stray Escape at login would drop every start still due.
// Only the double-click on the margin and closing the window do.
void frmAuto::keyPressEvent(QKeyEvent *event)
{
    event->accept();
}

void frmAuto::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        Form_DblClick();
    else
        QDialog::mouseDoubleClickEvent(event);
}

void frmAuto::showEvent(QShowEvent *event)
{
    // QDialog would centre the window itself; the window manager places it
    // like any new window instead.
    QWidget::showEvent(event);
}

void frmAuto::unload()
{
    done(QDialog::Rejected);
}

// A centred name wider than its line would lose both ends; its beginning
// is what tells entries apart, so it keeps that and the tooltip holds it whole.
void frmAuto::showName(const QString &name)
{
    QLabel *line = lbl1[EntryName];
    const QString shown
        = QFontMetrics(line->font()).elidedText(name, Qt::ElideRight, line->contentsRect().width());
    line->setText(shown);
    line->setToolTip(shown == name ? QString() : name);
}

// Runs once a second: no allocation but the label's new text.
void frmAuto::showCountdown(QLatin1String ending)
{
    const qint64 rest = qint64(CurrentDelay) - ElapsedSeconds;
    if (rest < std::numeric_limits<qint32>::min() || rest > std::numeric_limits<qint32>::max())
        return;
    char digits[12];
    const std::to_chars_result written = std::to_chars(digits, digits + sizeof digits, rest);
    lbl1[Countdown]->setText(QLatin1String("Starte in (") % QLatin1String(digits, written.ptr)
                             % ending);
}

void frmAuto::showWaiting()
{
    const QString condition = awaited(velkora::parseStartConditions(entryAt(CurrentSlot).waitFor));
    lbl1[Countdown]->setText(QLatin1String("Warte auf ") + condition + QLatin1String(" (")
                             + QString::number(m_waitLeft) + TickEnding);
}
