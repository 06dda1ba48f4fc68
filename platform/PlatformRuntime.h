#pragma once

#include "platform/Runtime.h"

#include <QStringList>
#include <memory>

namespace velkora {

class SessionReadiness;
class SingleInstance;

/// Every runtime service that needs no widgets. The application derives from
/// it and adds the message box and the file chooser.
class PlatformRuntime : public Runtime {
public:
    /// arguments: the program's own, as given (argv[0] first); activationToken:
    /// XDG_ACTIVATION_TOKEN or DESKTOP_STARTUP_ID as this process found them.
    PlatformRuntime(QStringList arguments, QString activationToken);
    ~PlatformRuntime() override;

    StartResult startProgram(const QString &commandText, WindowStyle style) override;
    StartResult startSysInfo() override;
    Readiness &readiness() override;
    AppInfo appInfo() const override;
    QString appTitle() const override;
    void setAppTitle(const QString &title) override;
    bool previousInstance() override;
    bool activateFirstCopy() override;
    bool loginStartEnabled() override;
    bool setLoginStart(bool on, QString *error) override;
    QList<SessionEntry> sessionEntries() override;
    bool takeOverSessionEntries(const QStringList &desktopIds, QString *error) override;
    bool canTakeOverSessionEntries(const QStringList &desktopIds, QString *error) override;
    bool giveBackSessionEntries(const QStringList &listCommands, QString *error) override;
    QStringList alsoStartedBySession(const QStringList &commandTexts) override;
    QString argumentText() const override;
    void yield() override;
    void endProgram(int status) override;

    /// The single-copy guard; in the first copy it reports activation requests.
    SingleInstance *singleInstance() const;

    /// Every program start of the application goes through this one.
    ProcessStarter &starter();

    /// Whether the windows are on X11, where an XEmbed tray counts as a tray
    /// too; to be said before readiness() is first used.
    void setOnX11(bool onX11);

private:
    QString executable() const;

    QStringList m_arguments;
    QString m_activationToken;
    AppInfo m_appInfo;
    QString m_title;
    std::unique_ptr<SingleInstance> m_single;
    ProcessStarter m_starter;
    bool m_onX11 = false;
    std::unique_ptr<SessionReadiness> m_readiness; // made at its first use
};

} // namespace velkora
