#include "frmConfig.h"
// Placeholder until the configuration window lands.
#include "ModeFile.h"
#include "Runtime.h"
#include "frmAuto.h"
frmConfig::frmConfig(velkora::Runtime &runtime, QWidget *parent) : QMainWindow(parent), m_runtime(runtime) {}
frmConfig::~frmConfig() = default;
void frmConfig::FillProgramList() {}
void frmConfig::fxAutoProg()
{
    if (!m_auto)
        m_auto = new frmAuto(m_runtime);
    m_auto->runModal();
}
QStringList frmConfig::listLines() const { return {}; }
