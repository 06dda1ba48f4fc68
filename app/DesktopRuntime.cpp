#include "app/DesktopRuntime.h"

#include "ui/config/frmConfig.h"

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

QString DesktopRuntime::chooseFile(QObject *owner, const QString &initialFolder,
                                   const QString &filterText, const QString &defaultExtension,
                                   const QString &title)
{
    QFileDialog dialog(qobject_cast<QWidget *>(owner), title, initialFolder, filterText);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    QString suffix = defaultExtension;
    if (suffix.startsWith(QLatin1Char('.')))
        suffix.remove(0, 1);
    dialog.setDefaultSuffix(suffix);
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
