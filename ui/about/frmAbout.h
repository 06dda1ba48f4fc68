#pragma once
// The information window: the program's title, version and description, and a
// button that starts the system information tool. Opened modally from the
// configuration window's menu; it reads no file and changes nothing.
// Controls carry their design names as objectName ("lblVersion", "cmdOK").

#include <QDialog>
#include <QMargins>

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

protected:
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private Q_SLOTS:
    void cmdOK_Click();
    void cmdSysInfo_Click();

private:
    void Form_Load();
    void checkFrame();
    const QWidget *ownerWindow() const;
    QPoint screenCentre() const;
    void centreOnScreen(const QMargins &frame);

    QLabel *picIcon = nullptr;
    QLabel *lblTitle = nullptr;
    QLabel *lblVersion = nullptr;
    QLabel *lblDescription = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdSysInfo = nullptr;

    velkora::Runtime &m_runtime;
    // Whether the place has been checked since the window manager framed the window.
    bool m_frameChecked = true;
};
