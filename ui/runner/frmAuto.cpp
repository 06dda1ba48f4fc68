#include "ui/runner/frmAuto.h"

#include "config/ProgramTable.h"
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

using velkora::ui::place;

namespace {

const QLatin1String LoadEnding(" sek.)");
const QLatin1String TickEnding(" sek. )");

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

void frmAuto::Form_Load()
{
    m_runtime.yield();
    CurrentDelay = waitingTime(0);
    CurrentSlot = 0;
    showName(entryAt(0).name.value_or(QString()));
    showCountdown(LoadEnding);
}

void frmAuto::Timer1_Timer()
{
    if (m_unloaded)
        return;
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
    const velkora::ProgramEntry &entry = entryAt(CurrentSlot);
    // A failed start is passed over without a word; the schedule goes on.
    if (entry.filled())
        static_cast<void>(
            m_runtime.startProgram(*entry.path, velkora::WindowStyle::MinimizedFocus));
    ++CurrentSlot;
    if (CurrentSlot >= m_table.EntryCount) {
        unload();
        return;
    }
    showName(entryAt(CurrentSlot).name.value_or(QString()));
    CurrentDelay = waitingTime(CurrentSlot);
    showCountdown(TickEnding);
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
