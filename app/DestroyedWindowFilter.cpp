#include "app/DestroyedWindowFilter.h"

#include "platform/core/Log.h"

#include <QApplication>
#include <QWidget>

#include <xcb/xcb.h>

namespace velkora {

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
        if (!w->isVisible() || w->internalWinId() != destroyed)
            continue;
        qCInfo(lcSession, "window \"%ls\" was destroyed by another program; closing it",
               qUtf16Printable(w->windowTitle()));
        // Closing may end a modal loop; not from inside Qt's event dispatch.
        QMetaObject::invokeMethod(w, &QWidget::close, Qt::QueuedConnection);
        break;
    }
    return false;
}

} // namespace velkora
