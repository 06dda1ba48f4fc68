#include "platform/AppInfo.h"

#include <QFileInfo>

namespace velkora {

AppInfo applicationInfoFor(const QString &executablePath)
{
    // A link to the executable leads to the real file's folder, so that the
    // configuration file is the one beside the program itself.
    QFileInfo info(executablePath);
    const QString resolved = info.canonicalFilePath();
    if (!resolved.isEmpty())
        info = QFileInfo(resolved);

    AppInfo app;
    app.folder = info.absolutePath();
    app.baseName = info.fileName();
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

} // namespace velkora
