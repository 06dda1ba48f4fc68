#include "platform/watch/XTraySelection.h"

#include "platform/core/Log.h"

#include <QSocketNotifier>

#include <cstdlib>
#include <utility>

#include <xcb/xcbext.h>

namespace velkora {

namespace {

struct FreeReply {
    void operator()(void *reply) const { std::free(reply); }
};
template<typename T> using XReply = std::unique_ptr<T, FreeReply>;

const uint32_t StructureNotify = XCB_EVENT_MASK_STRUCTURE_NOTIFY;

xcb_window_t rootWindow(xcb_connection_t *connection, int screen)
{
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (; screen > 0 && it.rem > 0; --screen)
        xcb_screen_next(&it);
    return it.rem > 0 ? it.data->root : XCB_NONE;
}

} // namespace

XTraySelection::XTraySelection(std::function<void()> changed, QObject *parent)
    : QObject(parent)
    , m_changed(std::move(changed))
{ }

XTraySelection::~XTraySelection() = default;

bool XTraySelection::start()
{
    int screen = 0;
    m_connection.reset(xcb_connect(nullptr, &screen));
    xcb_connection_t *connection = m_connection.get();
    const xcb_window_t root
        = xcb_connection_has_error(connection) ? XCB_NONE : rootWindow(connection, screen);
    if (root == XCB_NONE) {
        qCInfo(lcWatch, "no X display to look for a tray on: \"%s\"",
               qgetenv("DISPLAY").constData());
        m_connection.reset();
        return false;
    }
    // Listening before the first question: a MANAGER message that comes
    // before the answer cannot be missed.
    xcb_change_window_attributes(connection, root, XCB_CW_EVENT_MASK, &StructureNotify);
    m_name = "_NET_SYSTEM_TRAY_S" + QByteArray::number(screen);
    m_requests.push_back(
        {xcb_intern_atom(connection, 0, uint16_t(m_name.size()), m_name.constData()).sequence,
         Asked::SelectionAtom});
    m_requests.push_back(
        {xcb_intern_atom(connection, 0, 7, "MANAGER").sequence, Asked::ManagerAtom});
    m_readable
        = new QSocketNotifier(xcb_get_file_descriptor(connection), QSocketNotifier::Read, this);
    connect(m_readable, &QSocketNotifier::activated, this, &XTraySelection::read);
    // The answers come through the event loop, never within start().
    xcb_flush(connection);
    return true;
}

// libxcb reads ahead into its own queues, which the notifier cannot see: take
// everything that is there before going back to the event loop.
void XTraySelection::read()
{
    xcb_connection_t *connection = m_connection.get();
    for (bool more = true; more && !xcb_connection_has_error(connection);) {
        xcb_flush(connection);
        more = false;
        while (const XReply<xcb_generic_event_t> event {xcb_poll_for_event(connection)}) {
            handle(event.get());
            more = true;
        }
        while (!m_requests.empty() && takeReply())
            more = true;
    }
    if (xcb_connection_has_error(connection) && m_readable->isEnabled()) {
        qCWarning(lcWatch, "connection to the X display lost");
        m_readable->setEnabled(false);
        setOwned(false);
    }
}

bool XTraySelection::takeReply()
{
    void *answer = nullptr;
    xcb_generic_error_t *failure = nullptr;
    const Request request = m_requests.front();
    if (!xcb_poll_for_reply(m_connection.get(), request.sequence, &answer, &failure))
        return false;
    m_requests.pop_front();
    const XReply<void> reply {answer};
    const XReply<xcb_generic_error_t> error {failure};
    if (!reply)
        return true;
    if (request.asked == Asked::Owner) {
        ownerIs(static_cast<xcb_get_selection_owner_reply_t *>(answer)->owner);
        return true;
    }
    const xcb_atom_t atom = static_cast<xcb_intern_atom_reply_t *>(answer)->atom;
    (request.asked == Asked::SelectionAtom ? m_selection : m_manager) = atom;
    // The first question goes out once both names are known, after every
    // event read so far: none of them can have changed what it answers.
    askOwner();
    return true;
}

void XTraySelection::handle(const xcb_generic_event_t *event)
{
    switch (event->response_type & 0x7f) {
    case XCB_CLIENT_MESSAGE: {
        const auto *message = reinterpret_cast<const xcb_client_message_event_t *>(event);
        if (message->type == m_manager && message->format == 32
            && message->data.data32[1] == m_selection)
            askOwner();
        break;
    }
    case XCB_DESTROY_NOTIFY:
        if (reinterpret_cast<const xcb_destroy_notify_event_t *>(event)->window == m_owner)
            askOwner();
        break;
    default: // errors, of a listen on an owner already gone: the next answer says so
        break;
    }
}

void XTraySelection::askOwner()
{
    if (m_selection == XCB_NONE || m_manager == XCB_NONE)
        return;
    m_requests.push_back(
        {xcb_get_selection_owner(m_connection.get(), m_selection).sequence, Asked::Owner});
}

void XTraySelection::ownerIs(xcb_window_t owner)
{
    if (owner != XCB_NONE && owner != m_owner) {
        // Asked again after the listen arrived: an owner still in place then
        // was alive, so its destruction will be seen.
        xcb_change_window_attributes(m_connection.get(), owner, XCB_CW_EVENT_MASK,
                                     &StructureNotify);
        askOwner();
    }
    m_owner = owner;
    setOwned(owner != XCB_NONE);
}

void XTraySelection::setOwned(bool owned)
{
    if (owned != std::exchange(m_owned, owned))
        m_changed();
}

} // namespace velkora
