#pragma once
// Whether an XEmbed tray runs on the X display: the selection
// _NET_SYSTEM_TRAY_S<screen> has an owner. A new owner announces itself with
// a MANAGER message to the root window; one that goes destroys its window.
// On an X connection of its own: selecting events on the root window
// replaces the mask the connection had there, and on Qt's connection that
// would take Qt's own events away. After the connection is made nothing
// waits for the X server: every reply is picked up as it arrives.

#include <QByteArray>
#include <QObject>

#include <deque>
#include <functional>
#include <memory>

#include <xcb/xcb.h>

class QSocketNotifier;

namespace velkora {

class XTraySelection : public QObject {
public:
    /// `changed` is called whenever owned() changes.
    explicit XTraySelection(std::function<void()> changed, QObject *parent = nullptr);
    ~XTraySelection() override;

    /// Connects to the display DISPLAY names and starts watching; false (and
    /// said in the log) when there is no display to connect to.
    [[nodiscard]] bool start();

    bool owned() const { return m_owned; }

    /// The selection's name, for log lines.
    const QByteArray &selectionName() const { return m_name; }

private:
    enum class Asked { SelectionAtom, ManagerAtom, Owner };
    struct Request {
        unsigned sequence;
        Asked asked;
    };

    void read();
    bool takeReply();
    void handle(const xcb_generic_event_t *event);
    void askOwner();
    void ownerIs(xcb_window_t owner);
    void setOwned(bool owned);

    std::function<void()> m_changed;
    std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> m_connection {nullptr,
                                                                               &xcb_disconnect};
    QSocketNotifier *m_readable = nullptr;
    QByteArray m_name;
    xcb_atom_t m_selection = XCB_NONE, m_manager = XCB_NONE;
    xcb_window_t m_owner = XCB_NONE; // the owner whose destruction we listen for
    std::deque<Request> m_requests; // sent, reply not taken yet; oldest first
    bool m_owned = false;
};

} // namespace velkora
