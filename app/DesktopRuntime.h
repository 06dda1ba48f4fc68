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

/// In the first copy, when a later copy asked: restores, raises and activates
/// the window the user works in (a modal one first, then the configuration
/// window, then any of ours), with the later copy's activation token.
void bringOwnWindowForward(const QString &activationToken);

} // namespace velkora
