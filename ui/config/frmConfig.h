#pragma once

#include <QMainWindow>
#include <QStringList>

namespace velkora {
class Runtime;
}
class frmAuto;

/// The configuration window; also the program's first window object, whose
/// load handler runs the start-up (app/Startup).
class frmConfig : public QMainWindow {
    Q_OBJECT
public:
    explicit frmConfig(velkora::Runtime &runtime, QWidget *parent = nullptr);
    ~frmConfig() override;

    /// Fills List1 with the filled slots of the program table.
    void FillProgramList();

    /// Shows the countdown window modally; returns when it has closed.
    void fxAutoProg();

    /// The lines of List1 in their order.
    QStringList listLines() const;

private:
    velkora::Runtime &m_runtime;
    frmAuto *m_auto = nullptr;
};
