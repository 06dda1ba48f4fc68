#pragma once
// What an entry of the list can wait for before it starts: the tray (a
// StatusNotifierHost on the session bus, or an XEmbed tray on X11) and the
// network. Watching is event-driven: nothing polls, nothing waits on the
// window thread, and a bus that never answers leaves its condition false.
//
// platform/watch/ uses platform/core/ (the non-blocking bus connection) and
// libxcb; nothing of Qt's GUI, and no widget.

#include <QObject>

namespace velkora {

enum class Condition { Tray, Network };

class Readiness : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    /// Starts watching the condition without waiting for anything; the
    /// answers arrive later through changed(). Watching one again does nothing.
    virtual void watch(Condition condition) = 0;

    /// Whether the condition holds as far as the answers so far tell. One not
    /// watched, or not answered yet, does not hold.
    virtual bool holds(Condition condition) const = 0;

Q_SIGNALS:
    /// The condition began or ceased to hold.
    void changed(velkora::Condition condition);
};

} // namespace velkora
