#include "platform/PlatformRuntime.h"

#include "platform/SingleInstance.h"
#include "platform/SysInfo.h"

#include <QCoreApplication>
#include <QCryptographicHash>

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
    return velkora::startProgram(commandText, style);
}

StartResult PlatformRuntime::startSysInfo()
{
    return velkora::startSysInfo();
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
    m_single->release();
    std::fflush(nullptr);
    ::_exit(status);
}

SingleInstance *PlatformRuntime::singleInstance() const
{
    return m_single.get();
}

} // namespace velkora
