#include "app/DeferredAppIcon.h"

#include "resources/Resources.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace velkora {

namespace {

class FirstPaintWatcher : public QObject {
public:
    using QObject::QObject;

private:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && watched->isWidgetType()
            && static_cast<QWidget *>(watched)->isWindow()) {
            QCoreApplication::instance()->removeEventFilter(this);
            // After this event: the picture goes to the window system first.
            QTimer::singleShot(0, this, [this] {
                QApplication::setWindowIcon(appIcon());
                deleteLater();
            });
        }
        return false;
    }
};

} // namespace

void setAppIconAfterFirstPaint()
{
    QCoreApplication *app = QCoreApplication::instance();
    app->installEventFilter(new FirstPaintWatcher(app));
}

} // namespace velkora
