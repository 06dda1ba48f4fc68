#pragma once
// The configuration window. While it is open, the lines of List1
// (path|name|seconds) are the one working copy of the entries: editing and
// moving change lines only, never the program table, and only "Exit" writes
// them to the configuration file. It reaches the outside world (file chooser,
// program start, message box, end of the program) only through the Runtime.

#include <QMainWindow>
#include <QStringList>
#include <array>

class QAction;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QToolButton;

namespace velkora {
class Runtime;
}
class frmAuto;

/// The configuration window; also the program's first window object, whose
/// load handler runs the start-up (app/Startup).
class frmConfig : public QMainWindow {
    Q_OBJECT
public:
    // In the automatic and usage modes this window is never shown, and its
    // controls would be most of the start-up's work: main() defers them.
    enum class Controls { Now, WhenNeeded };

    explicit frmConfig(velkora::Runtime &runtime, QWidget *parent = nullptr,
                       Controls controls = Controls::Now);
    ~frmConfig() override;

    /// Fills List1 with the filled slots of the program table.
    void FillProgramList();

    /// Shows the countdown window modally; returns when it has closed.
    void fxAutoProg();

    /// The lines of List1 in their order.
    QStringList listLines() const;

    // Copies the fields of the selected line into the boxes; ModGlobal keeps
    // what was shown last, so an empty field leaves its box as it was.
    void ShowSelectedEntry();

    void List1_Click();
    void cmd_add_Click();
    void cmd_change_Click();
    void cmd_kill_Click();
    void cmd_updown_Click(int Index);
    void cmd_Search_Click();
    void cmd_test_Click();
    void cmd_exit_Click();
    void mnuInfo_Click();

    std::array<QLabel *, 3> lblGesamt {};
    std::array<QLineEdit *, 3> txtProg {};
    QListWidget *List1 = nullptr;
    QToolButton *cmd_Search = nullptr;
    QToolButton *cmd_add = nullptr;
    QToolButton *cmd_test = nullptr;
    QToolButton *cmd_kill = nullptr;
    QToolButton *cmd_change = nullptr;
    std::array<QToolButton *, 2> cmd_updown {};
    QToolButton *cmd_exit = nullptr;
    QMenu *mnuIn = nullptr;
    QAction *mnuInfo = nullptr;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void loadControls();
    void createControls();
    void placeControls();
    int selectedIndex() const;
    bool takeableInput() const;
    void secondsCheck();
    QString lineFromBoxes() const;
    void resetBoxes();

    velkora::Runtime &m_runtime;
    frmAuto *m_auto = nullptr;
};
