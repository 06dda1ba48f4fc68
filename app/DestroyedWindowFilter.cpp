#include "app/DestroyedWindowFilter.h"

#include "platform/core/Log.h"

#include <QApplication>
#include <QWidget>
#include <QWindow>

#include <xcb/xcb.h>

namespace velkora {

namespace {

// Only a window of ours (a main window or a dialog) counts: tooltips, menus
// and other popups come and go by Qt's own hand. The id is the QWindow's, not
// the widget's: Qt replaces a native window when it moves it to another
// screen (a tooltip does so at every show) and the widget keeps the old id,
// whose destruction is then Qt's own doing.
bool isOwnWindow(const QWidget *w, xcb_window_t destroyed)
{
    const Qt::WindowType type = w->windowType();
    const QWindow *native = w->windowHandle();
    return (type == Qt::Window || type == Qt::Dialog) && w->isVisible() && native
        && native->handle() && native->winId() == destroyed;
}

} // namespace

bool DestroyedWindowFilter::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    // The high bit only says that the event was sent by another client.
    if ((event->response_type & 0x7f) != XCB_DESTROY_NOTIFY)
        return false;
    const xcb_window_t destroyed = static_cast<const xcb_destroy_notify_event_t *>(message)->window;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (!isOwnWindow(w, destroyed))
            continue;
        qCInfo(lcSession, "window \"%s\" was destroyed by another program; closing it",
               qUtf8Printable(w->windowTitle()));
        // Closing may end a modal loop; not from inside Qt's event dispatch.
        QMetaObject::invokeMethod(w, &QWidget::close, Qt::QueuedConnection);
        break;
    }
    return false;
}

} // namespace velkora
