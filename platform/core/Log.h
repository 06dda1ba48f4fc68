#pragma once
// What the windows keep silent goes to standard error, one line per event,
// through these categories; the login session's journal keeps the lines.

#include <QLoggingCategory>

namespace velkora {

Q_DECLARE_LOGGING_CATEGORY(lcConfig) // velkora.config: reading and saving the list
Q_DECLARE_LOGGING_CATEGORY(lcStart) // velkora.start: every program start, and why one failed
Q_DECLARE_LOGGING_CATEGORY(lcSession) // velkora.session: single copy, session bus, windows
Q_DECLARE_LOGGING_CATEGORY(lcWatch) // velkora.watch: the tray and the network an entry waits for

} // namespace velkora
