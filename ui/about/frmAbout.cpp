#include "frmAbout.h"
// Placeholder until the information window lands.
#include "Runtime.h"
frmAbout::frmAbout(velkora::Runtime &runtime, QWidget *parent) : QDialog(parent), m_runtime(runtime) {}
void frmAbout::StartSysInfo() {}
