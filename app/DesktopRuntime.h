#pragma once

#include "platform/PlatformRuntime.h"

#include <QObject>

namespace velkora {

/// The runtime of the real program: the platform services plus the two that
/// need widgets. On X11 it also gives every start a startup id that carries
/// the time of the user's last input, so that a program started by a click
/// on "Testen" may take the focus.
class DesktopRuntime : public PlatformRuntime, private QObject {
public:
    DesktopRuntime(QStringList arguments, QString activationToken);

    void messageBox(const QString &text) override;
    QString chooseFile(QObject *owner, const QString &initialFolder, const QString &filterText,
                       const QString &title) override;

private:
    bool eventFilter(QObject *watched, QEvent *event) override;

    quint64 m_lastUserTime = 0; // X server time of the last key or button event
};

/// In the first copy, when a later copy asked: restores, raises and activates
/// the window the user works in (a modal one first, then the configuration
/// window, then any of ours), with the later copy's activation token.
void bringOwnWindowForward(const QString &activationToken);

} // namespace velkora
