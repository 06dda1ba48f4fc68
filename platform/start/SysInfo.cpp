#include "platform/start/SysInfo.h"

#include <cerrno>

namespace velkora {

QStringList sysInfoCandidates()
{
    // Whole-system profilers first, then hardware-only viewers, and last the
    // GNOME settings page, which is on most Debian desktops but shows least.
    return {
        QStringLiteral("hardinfo"),
        QStringLiteral("kinfocenter"),
        QStringLiteral("cpu-x"),
        QStringLiteral("lshw-gtk"),
        QStringLiteral("gnome-control-center info-overview"),
    };
}

StartResult startSysInfo(ProcessStarter &starter, const QStringList &candidates)
{
    for (const QString &candidate : candidates) {
        if (resolveCommand(candidate).errorNumber == 0)
            return starter.start(candidate, WindowStyle::Normal);
    }
    return {ENOENT, errorDescription(ENOENT), 0};
}

} // namespace velkora
