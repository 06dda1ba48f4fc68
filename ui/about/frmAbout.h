#pragma once

#include <QDialog>

namespace velkora {
class Runtime;
}

/// The information window: title, version, description, system information.
class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(velkora::Runtime &runtime, QWidget *parent = nullptr);

    void StartSysInfo();

private:
    velkora::Runtime &m_runtime;
};
