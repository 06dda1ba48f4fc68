#include "ProcessStart.h"
#include <cerrno>
// Placeholder until the process start lands.
namespace velkora {
ResolvedCommand resolveCommand(const QString &) { return {ENOSYS, {}, {}}; }
StartResult startProgram(const QString &, WindowStyle) { return {ENOSYS, errorDescription(ENOSYS), 0}; }
QString errorDescription(int) { return QStringLiteral("Nicht unterstützt"); }
} // namespace velkora
