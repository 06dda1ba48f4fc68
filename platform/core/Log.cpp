#include "platform/core/Log.h"

namespace velkora {

// Info and above: a successful start is worth a line in the journal.
Q_LOGGING_CATEGORY(lcConfig, "velkora.config", QtInfoMsg)
Q_LOGGING_CATEGORY(lcStart, "velkora.start", QtInfoMsg)
Q_LOGGING_CATEGORY(lcSession, "velkora.session", QtInfoMsg)
Q_LOGGING_CATEGORY(lcWatch, "velkora.watch", QtInfoMsg)

} // namespace velkora
