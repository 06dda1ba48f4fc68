#include "frmAuto.h"
// Placeholder until the runner lands.
#include "Runtime.h"
#include <QLabel>
#include <QTimer>
frmAuto::frmAuto(velkora::Runtime &runtime, QWidget *parent) : QDialog(parent), m_runtime(runtime) {}
void frmAuto::runModal() {}
void frmAuto::Form_Load() {}
void frmAuto::Timer1_Timer() {}
void frmAuto::Form_DblClick() {}
