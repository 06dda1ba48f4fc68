#include "resources/Resources.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QImageReader>
#include <QPixmap>

namespace velkora {

namespace {

// Read as PNG and nothing else: left to guess, QImageReader first loads every
// image format plugin there is (the SVG one with its library among them) to
// ask each whether it reads the file.
QPixmap pngPixmap(const QString &path)
{
    QImageReader reader(path, "png");
    reader.setAutoDetectImageFormat(false);
    return QPixmap::fromImage(reader.read());
}

} // namespace

QIcon appIcon()
{
    // Read once: the application and each of its windows carry it. Its
    // pictures cannot outlive the application, so they go with it.
    static QIcon icon;
    if (icon.isNull()) {
        for (const char *pixels : {"16", "32", "64", "128"})
            icon.addPixmap(
                pngPixmap(QStringLiteral(":/icons/velkora-%1.png").arg(QLatin1String(pixels))));
        qAddPostRoutine([] { icon = QIcon(); });
    }
    return icon;
}

QIcon buttonIcon(const QString &name)
{
    const QString path = QStringLiteral(":/icons/") + name;
    QIcon icon(pngPixmap(path + QStringLiteral(".png")));
    // The twice as large picture only where a screen shows it.
    if (qGuiApp->devicePixelRatio() > 1)
        icon.addPixmap(pngPixmap(path + QStringLiteral("@2x.png")));
    return icon;
}

} // namespace velkora
