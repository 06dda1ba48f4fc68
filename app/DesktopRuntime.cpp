#include "app/DesktopRuntime.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QWidget>

namespace velkora {

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
