#pragma once

#include "platform/PlatformRuntime.h"

namespace velkora {

/// The runtime of the real program: the platform services plus the two that
/// need widgets.
class DesktopRuntime : public PlatformRuntime {
public:
    using PlatformRuntime::PlatformRuntime;

    void messageBox(const QString &text) override;
    QString chooseFile(QObject *owner, const QString &initialFolder, const QString &filterText,
                       const QString &defaultExtension, const QString &title) override;
};

/// In the first copy: brings the window with this title to the front, or the
/// window in front of our others when none carries it.
void raiseWindowTitled(const QString &title);

} // namespace velkora
