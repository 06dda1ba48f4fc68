#include "ui/about/frmAbout.h"

#include "platform/Runtime.h"
#include "resources/Resources.h"
#include "ui/Layout.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QWindow>

#include <array>

using velkora::ui::place;
using velkora::ui::twips;

namespace {

// The separator is two horizontal lines, grey above white, which together read
// as an etched rule. Positions in twips; the width grows downwards.
struct HorizontalLine {
    int x1, y, x2;
    int width;
    QRgb colour;
};
constexpr std::array<HorizontalLine, 2> Line1 {{
    {105, 2460, 5654, 2, qRgb(255, 255, 255)},
    {90, 2445, 5654, 1, qRgb(128, 128, 128)},
}};

QLabel *newLabel(const QString &text, const char *name, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QPushButton *newButton(const QString &text, const char *name, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    return button;
}

} // namespace

frmAbout::frmAbout(velkora::Runtime &runtime, QWidget *parent)
    : QDialog(parent)
    , m_runtime(runtime)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint
                   | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(twips(6000), twips(4755));
    setWindowIcon(velkora::appIcon());

    picIcon = newLabel(QString(), "picIcon", this);
    picIcon->setPixmap(velkora::appIcon().pixmap(QSize(twips(540), twips(540))));
    lblTitle = newLabel(QStringLiteral("Titel der Anwendung"), "lblTitle", this);
    lblVersion = newLabel(QStringLiteral("Version"), "lblVersion", this);
    lblDescription = newLabel(QStringLiteral("Beschreibung"), "lblDescription", this);
    QFont descriptionFont(QStringLiteral("Arial"));
    descriptionFont.setPointSizeF(11.25);
    descriptionFont.setBold(true);
    lblDescription->setFont(descriptionFont);
    cmdOK = newButton(QStringLiteral("&OK"), "cmdOK", this);
    cmdSysInfo = newButton(QStringLiteral("&System-Info..."), "cmdSysInfo", this);

    struct Placement {
        QWidget *control;
        int left, top, width, height;
    };
    // clang-format off
    const Placement layout[] = {
        // control       left   top  width height (twips)
        {picIcon,         240,  240,  540,  540},
        {lblTitle,       1050,  239, 3885,  240},
        {lblVersion,     1050,  529, 3885,  225},
        {lblDescription, 1050, 1125, 3885,  810},
        {cmdOK,          4680, 2625, 1260,  345},
        {cmdSysInfo,     4680, 3075, 1245,  345},
    };
    // clang-format on
    for (const Placement &p : layout)
        place(p.control, p.left, p.top, p.width, p.height);

    setTabOrder(cmdOK, cmdSysInfo);
    cmdOK->setDefault(true);
    cmdOK->setFocus();

    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);

    Form_Load();
}

void frmAbout::Form_Load()
{
    const velkora::AppInfo info = m_runtime.appInfo();
    lblVersion->setText(
        QStringLiteral("Version %1.%2.%3").arg(info.major).arg(info.minor).arg(info.revision));
    lblTitle->setText(m_runtime.appTitle());
    // QLabel shows CR LF as one line break.
    lblDescription->setText(QStringLiteral("- Automatischer Start von \r\n"
                                           "  Programmen mit Zeitprüngen\r\n"));
    setWindowTitle(QStringLiteral("Info zu ") + m_runtime.appTitle());
}

void frmAbout::cmdOK_Click()
{
    accept();
}

void frmAbout::cmdSysInfo_Click()
{
    StartSysInfo();
}

void frmAbout::StartSysInfo()
{
    if (!m_runtime.startSysInfo().ok())
        m_runtime.messageBox(
            QStringLiteral("System-Informationen sind augenblicklich nicht verfügbar."));
}

// The window opens in the middle of the screen, frame included. Before it is
// shown its frame is unknown; the configuration window's frame, drawn by the
// same window manager, is the best guess, so the window lands in place at
// once. The first paint comes after the window manager has framed the window:
// should the frame differ, or the window stand elsewhere, it is corrected
// then, once; later moves are the user's.
void frmAbout::showEvent(QShowEvent *event)
{
    if (!event->spontaneous()) {
        const QWidget *owner = ownerWindow();
        centreOnScreen(owner && owner->windowHandle() ? owner->windowHandle()->frameMargins()
                                                      : QMargins());
        m_frameChecked = false;
    }
    QDialog::showEvent(event);
}

void frmAbout::checkFrame()
{
    if (m_frameChecked || !windowHandle() || windowHandle()->frameMargins().isNull())
        return; // not framed yet, or never: no window manager
    m_frameChecked = true;
    if ((frameGeometry().center() - screenCentre()).manhattanLength() > 1)
        centreOnScreen(windowHandle()->frameMargins());
}

const QWidget *frmAbout::ownerWindow() const
{
    return parentWidget() ? parentWidget()->window() : nullptr;
}

QPoint frmAbout::screenCentre() const
{
    const QWidget *owner = ownerWindow();
    const QScreen *screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry().center() : QPoint();
}

// The client area is placed, not the frame: window managers disagree on
// whether a requested position is the frame's or the client's.
void frmAbout::centreOnScreen(const QMargins &frame)
{
    QRect outer(QPoint(), size().grownBy(frame));
    outer.moveCenter(screenCentre());
    setGeometry(QRect(outer.topLeft() + QPoint(frame.left(), frame.top()), size()));
}

void frmAbout::paintEvent(QPaintEvent *event)
{
    if (!m_frameChecked)
        QMetaObject::invokeMethod(this, &frmAbout::checkFrame, Qt::QueuedConnection);
    QDialog::paintEvent(event);
    QPainter painter(this);
    for (const HorizontalLine &line : Line1) {
        const QPoint topLeft(twips(line.x1), twips(line.y));
        const QPoint bottomRight(twips(line.x2) - 1, twips(line.y) + line.width - 1);
        painter.fillRect(QRect(topLeft, bottomRight), QColor::fromRgb(line.colour));
    }
}
