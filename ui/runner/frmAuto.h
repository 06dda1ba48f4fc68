#pragma once
// The countdown window of the automatic mode: it works through the program
// table slot by slot and starts each entry when its waiting time is used up
// and, where the entry asks for it, the tray or the network is ready or its
// longest wait is over. Entries switched off are passed over. It only reads
// the table and reaches the outside world through the Runtime.
// Controls carry their design names as objectName ("lbl1(0)", "Timer1").

#include <QDialog>
#include <QElapsedTimer>
#include <QLatin1String>
#include <array>

class QLabel;
class QTimer;

namespace velkora {
class Runtime;
struct ProgramEntry;
struct ProgramList;
struct StartConditions;
enum class Condition;
} // namespace velkora

class frmAuto : public QDialog {
    Q_OBJECT
public:
    /// Index of lbl1.
    enum Line { Countdown, EntryName };

    /// table: the slots to work through; it must outlive the window.
    frmAuto(velkora::Runtime &runtime, const velkora::ProgramList &table,
            QWidget *parent = nullptr);

    /// Loads the window (Form_Load, Timer1 on) and shows it modally; returns
    /// when it has closed, after the last start or when cancelled.
    void runModal();

    void Form_Load();
    void Timer1_Timer();
    void Form_DblClick();

    // Every way of closing ends here: the double-click, the last start and
    // the close box.
    void done(int result) override;

private:
    void keyPressEvent(QKeyEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void showEvent(QShowEvent *event) override;

    void unload();
    const velkora::ProgramEntry &entryAt(qint32 slot) const;
    qint32 waitingTime(qint32 slot) const;
    qint32 firstActiveFrom(qint32 slot) const;
    void startCurrent();
    void watchConditions();
    void logDoubleStarts();
    bool mustWait(const velkora::ProgramEntry &entry) const;
    QString awaited(const velkora::StartConditions &conditions) const;
    void beginWait();
    void waitTick();
    void conditionChanged(velkora::Condition condition);
    void showName(const QString &name);
    void showCountdown(QLatin1String ending);
    void showWaiting();

    std::array<QLabel *, 2> lbl1 {};
    QTimer *Timer1 = nullptr;

    qint32 CurrentSlot = 0;
    qint32 ElapsedSeconds = 0;
    qint32 CurrentDelay = 0;

    velkora::Runtime &m_runtime;
    const velkora::ProgramList &m_table;
    bool m_unloaded = false;
    bool m_doubleStartsLogged = false;
    // While the current entry waits for its conditions: the seconds of its
    // longest wait that are left, and since when it waits (for the log).
    bool m_waiting = false;
    qint32 m_waitLeft = 0;
    QElapsedTimer m_waitingSince;
};
