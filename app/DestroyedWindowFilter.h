#pragma once

#include <QAbstractNativeEventFilter>

namespace velkora {

/// On X11 another program can destroy one of our windows outright (xdotool
/// windowclose, a window manager going down). Qt takes no notice, and the
/// program would run on with nothing left to close or cancel it: this filter
/// closes such a window as its close box would.
class DestroyedWindowFilter : public QAbstractNativeEventFilter {
public:
    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;
};

} // namespace velkora
