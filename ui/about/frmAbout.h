#pragma once
// The information window: the program's title, version and description, and a
// button that starts the system information tool. Opened modally from the
// configuration window's menu; it reads no file and changes nothing.

#include <QDialog>

class QLabel;
class QPushButton;

namespace velkora {
class Runtime;
}

class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(velkora::Runtime &runtime, QWidget *parent = nullptr);

    // Starts the system information tool, or tells the user that there is none.
    void StartSysInfo();

    QLabel *picIcon = nullptr;
    QLabel *lblTitle = nullptr;
    QLabel *lblVersion = nullptr;
    QLabel *lblDescription = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdSysInfo = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void Form_Load();
    void cmdOK_Click();
    void cmdSysInfo_Click();
    void centreOnScreen();

    velkora::Runtime &m_runtime;
};
