#include "platform/session/AppInfo.h"

#include "platform/core/NativePath.h"

#include <QByteArray>

#include <climits>
#include <cstdlib>
#include <unistd.h>

namespace velkora {

AppInfo applicationInfoFor(const QString &executablePath)
{
    // A link to the executable leads to the real file's folder, so that the
    // configuration file is the one beside the program itself. Bytes all the
    // way, so that a folder name that is not UTF-8 comes back unchanged.
    QByteArray path = pathToNative(executablePath);
    char resolved[PATH_MAX];
    if (::realpath(path.constData(), resolved))
        path = resolved;
    else if (const char *cwd = ::getcwd(resolved, sizeof resolved); cwd && !path.startsWith('/'))
        path = QByteArray(cwd) + '/' + path;
    const qsizetype slash = path.lastIndexOf('/');

    AppInfo app;
    app.folder = pathFromNative(slash > 0 ? path.first(slash) : QByteArray("/"));
    app.baseName = pathFromNative(path.sliced(slash + 1));
    if (app.baseName.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive))
        app.baseName.chop(4);
    app.major = VELKORA_VERSION_MAJOR;
    app.minor = VELKORA_VERSION_MINOR;
    app.revision = VELKORA_VERSION_PATCH;
    return app;
}

AppInfo applicationInfo()
{
    return applicationInfoFor(QStringLiteral("/proc/self/exe"));
}

bool runsAsRoot()
{
    return ::geteuid() == 0;
}

} // namespace velkora
