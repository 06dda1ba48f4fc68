#pragma once

#include <QDialog>
#include <array>

class QLabel;
class QTimer;

namespace velkora {
class Runtime;
}

/// The countdown window of the automatic mode.
class frmAuto : public QDialog {
    Q_OBJECT
public:
    explicit frmAuto(velkora::Runtime &runtime, QWidget *parent = nullptr);

    /// Loads the window (Form_Load, Timer1 on) and shows it modally; returns
    /// when it has closed, after the last start or when cancelled.
    void runModal();

    void Form_Load();
    void Timer1_Timer();
    void Form_DblClick();

    std::array<QLabel *, 2> lbl1{};
    QTimer *Timer1 = nullptr;

    qint32 CurrentSlot = 0;
    qint32 ElapsedSeconds = 0;
    qint32 CurrentDelay = 0;

private:
    velkora::Runtime &m_runtime;
};
