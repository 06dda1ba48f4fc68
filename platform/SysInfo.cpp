#include "SysInfo.h"
#include <cerrno>
// Placeholder until the system information start lands.
namespace velkora {
QStringList sysInfoCandidates() { return {}; }
StartResult startSysInfo(const QStringList &) { return {ENOENT, errorDescription(ENOENT), 0}; }
} // namespace velkora
