#include "app/DesktopRuntime.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputEvent>
#include <QMessageBox>
#include <QWidget>

namespace velkora {

DesktopRuntime::DesktopRuntime(QStringList arguments)
    : PlatformRuntime(std::move(arguments))
{
    // Wayland has no public way in Qt 6.4 to get an activation token for
    // another program, so there the started programs get none.
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
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
                                   const QString &filterText, const QString & /*defaultExtension*/,
                                   const QString &title)
{
    QFileDialog dialog(qobject_cast<QWidget *>(owner), title, initialFolder, filterText);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

void raiseWindowTitled(const QString &title)
{
    QWidget *target = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && w->windowTitle() == title) {
            target = w;
            break;
        }
    }
    // In automatic mode the only visible window is the countdown, whose
    // caption differs from the title: the user still wants to see it.
    if (!target)
        target = QApplication::activeModalWidget();
    if (!target)
        return;
    if (target->isMinimized())
        target->showNormal();
    target->raise();
    target->activateWindow();
}

} // namespace velkora
