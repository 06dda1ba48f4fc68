#pragma once

#include <QString>

namespace velkora {

/// German description of an errno value, as the windows show it: what went
/// wrong with a file or a system call, in words a user can act on. An
/// unknown number gives "Unbekannter Fehler (n)"; 0 gives empty text.
QString errnoDescription(int errorNumber);

} // namespace velkora
