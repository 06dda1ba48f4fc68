#include "platform/PlatformRuntime.h"

#include "platform/session/LoginStart.h"
#include "platform/session/SingleInstance.h"
#include "platform/start/SysInfo.h"
#include "platform/watch/SessionReadiness.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFileInfo>

#include <cstdio>
#include <unistd.h>

namespace velkora {

namespace {

// One copy per executable: two installations of the program are two programs,
// each with its own configuration file, and may run side by side.
QString instanceKey(const AppInfo &app)
{
    const QByteArray exe = (app.folder + QLatin1Char('/') + app.baseName).toUtf8();
    const QByteArray hash = QCryptographicHash::hash(exe, QCryptographicHash::Sha256).toHex();
    return QStringLiteral("Velkora-") + QString::fromLatin1(hash.left(16));
}

} // namespace

PlatformRuntime::PlatformRuntime(QStringList arguments, QString activationToken)
    : m_arguments(std::move(arguments))
    , m_activationToken(std::move(activationToken))
    , m_appInfo(applicationInfo())
    , m_title(QStringLiteral("Velkora"))
    , m_single(std::make_unique<SingleInstance>(instanceKey(m_appInfo)))
{ }

PlatformRuntime::~PlatformRuntime() = default;

StartResult PlatformRuntime::startProgram(const QString &commandText, WindowStyle style)
{
    return m_starter.start(commandText, style);
}

StartResult PlatformRuntime::startSysInfo()
{
    return velkora::startSysInfo(m_starter);
}

Readiness &PlatformRuntime::readiness()
{
    if (!m_readiness)
        m_readiness = std::make_unique<SessionReadiness>(m_onX11);
    return *m_readiness;
}

void PlatformRuntime::setOnX11(bool onX11)
{
    m_onX11 = onX11;
}

AppInfo PlatformRuntime::appInfo() const
{
    return m_appInfo;
}

QString PlatformRuntime::appTitle() const
{
    return m_title;
}

void PlatformRuntime::setAppTitle(const QString &title)
{
    m_title = title;
}

bool PlatformRuntime::previousInstance()
{
    return m_single->previousInstance();
}

bool PlatformRuntime::activateFirstCopy()
{
    return m_single->activateFirstCopy(m_activationToken);
}

// The entry names the real file, not a link to it: the session starts exactly
// this program, and the configuration it finds stays the same.
QString PlatformRuntime::executable() const
{
    QString executable = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    if (executable.isEmpty()) // replaced on disk while running (an upgrade)
        executable = m_appInfo.folder + QLatin1Char('/') + m_appInfo.baseName;
    return executable;
}

bool PlatformRuntime::loginStartEnabled()
{
    return LoginStart::isEnabled(executable());
}

bool PlatformRuntime::setLoginStart(bool on, QString *error)
{
    return LoginStart::setEnabled(on, executable(), error);
}

QList<SessionEntry> PlatformRuntime::sessionEntries()
{
    return SessionAutostart::loginEntries(executable());
}

bool PlatformRuntime::takeOverSessionEntries(const QStringList &desktopIds, QString *error)
{
    return SessionAutostart::takeOver(desktopIds, error);
}

bool PlatformRuntime::canTakeOverSessionEntries(const QStringList &desktopIds, QString *error)
{
    return SessionAutostart::takeOver(desktopIds, error, true);
}

bool PlatformRuntime::giveBackSessionEntries(const QStringList &listCommands, QString *error)
{
    return SessionAutostart::giveBack(listCommands, error);
}

QStringList PlatformRuntime::alsoStartedBySession(const QStringList &commandTexts)
{
    return SessionAutostart::alsoStartedBySession(commandTexts);
}

QString PlatformRuntime::argumentText() const
{
    return m_arguments.mid(1).join(QLatin1Char(' '));
}

void PlatformRuntime::yield()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void PlatformRuntime::endProgram(int status)
{
    // The lock goes first: a copy started meanwhile becomes the first copy
    // instead of waiting for an answer that never comes. Then the last starts
    // still get their scopes, and an activatable entry that waits for the bus
    // its start.
    m_single->release();
    m_starter.finish();
    std::fflush(nullptr);
    ::_exit(status);
}

SingleInstance *PlatformRuntime::singleInstance() const
{
    return m_single.get();
}

ProcessStarter &PlatformRuntime::starter()
{
    return m_starter;
}

} // namespace velkora
