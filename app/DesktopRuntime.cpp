#include "app/DesktopRuntime.h"

#include "ui/config/frmConfig.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputEvent>
#include <QMessageBox>
#include <QWidget>

namespace velkora {

DesktopRuntime::DesktopRuntime(QStringList arguments, QString activationToken)
    : PlatformRuntime(std::move(arguments), std::move(activationToken))
{
    // Wayland has no public way in Qt 6.4 to get an activation token for
    // another program, so there the started programs get none.
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    setOnX11(true);
    QCoreApplication::instance()->installEventFilter(this);
    starter().setUserTimeSource([this] { return m_lastUserTime; });
}

bool DesktopRuntime::eventFilter(QObject *, QEvent *event)
{
    // On xcb an input event's timestamp is the X server's time of the event.
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        m_lastUserTime = static_cast<QInputEvent *>(event)->timestamp();
        break;
    default:
        break;
    }
    return false;
}

void DesktopRuntime::messageBox(const QString &text)
{
    // A "\r\n" from the program's texts is one line break on screen.
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QMessageBox box(QMessageBox::NoIcon, appTitle(), shown, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

// Linux programs have no extension, so no default suffix is added to a typed
// name: "/usr/bin/true" is taken as it stands, and a name typed without a
// folder is found in the folder the dialog shows.
QString DesktopRuntime::chooseFile(QObject *owner, const QString &initialFolder,
                                   const QString &filterText, const QString &title)
{
    QFileDialog dialog(qobject_cast<QWidget *>(owner), title, initialFolder, filterText);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

namespace {

QWidget *windowToBringForward()
{
    QWidget *modal = QApplication::activeModalWidget();
    if (modal && modal->isVisible())
        return modal;
    QWidget *any = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (!w->isVisible() || (w->windowType() != Qt::Window && w->windowType() != Qt::Dialog))
            continue;
        if (qobject_cast<frmConfig *>(w))
            return w;
        if (!any)
            any = w;
    }
    return any;
}

} // namespace

void bringOwnWindowForward(const QString &activationToken)
{
    QWidget *target = windowToBringForward();
    if (!target)
        return;
    // A modal window is minimized together with the window it belongs to,
    // and comes back only with it.
    QList<QWidget *> chain;
    for (QWidget *w = target; w; w = w->parentWidget() ? w->parentWidget()->window() : nullptr)
        chain.prepend(w);
    for (QWidget *w : chain) {
        if (w->isMinimized())
            w->showNormal();
    }
    target->raise();
    // On Wayland only a token the compositor issued to the launcher lets a
    // window take the focus; Qt reads it from the environment and uses it once.
    const bool withToken = !activationToken.isEmpty()
        && QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
    if (withToken)
        qputenv("XDG_ACTIVATION_TOKEN", activationToken.toUtf8());
    target->activateWindow();
    if (withToken)
        qunsetenv("XDG_ACTIVATION_TOKEN");
}

} // namespace velkora
