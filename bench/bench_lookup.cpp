// How long a desktop id takes to look up, against the length of the id, in
// folder layouts whose symbolic links give a long id a number of splits into
// subfolders that grows like a Fibonacci sequence with its parts. Goal: the
// time grows with the id's length, not with its splits (a few milliseconds at
// most for 60 parts); for comparison, a usual id in a folder of 300 entries.
//
// Usage: bench_lookup [runs]

#include "platform/start/DesktopEntry.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

#include <unistd.h>

namespace {

double cpuMicros()
{
    timespec ts {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e6 + double(ts.tv_nsec) / 1e3;
}

// Median CPU time of one lookup of id, in microseconds, and whether it found a file.
void measure(const char *layout, int parts, const QString &id, int runs)
{
    std::vector<double> us;
    bool found = false;
    for (int i = 0; i < runs; ++i) {
        const double before = cpuMicros();
        found = !velkora::findDesktopFile(id).isEmpty();
        us.push_back(cpuMicros() - before);
    }
    std::sort(us.begin(), us.end());
    std::printf("%-34s %3d parts: median %9.1f us CPU, max %9.1f us (%s)\n", layout, parts,
                us[us.size() / 2], us.back(), found ? "found" : "none");
}

bool link(const QString &target, const QString &name)
{
    return ::symlink(QFile::encodeName(target), QFile::encodeName(name)) == 0;
}

QString partsId(int parts, const char *last)
{
    return QStringList(parts, QStringLiteral("a")).join(u'-') + QLatin1String(last);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = std::max(1, app.arguments().value(1, QStringLiteral("50")).toInt());
    QTemporaryDir home;
    const QDir apps(home.filePath(QStringLiteral("applications")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path()));
    qputenv("XDG_DATA_DIRS", "/nonexistent");

    // Links back to the folder itself: a and a-a both lead to applications/.
    if (!apps.mkpath(QStringLiteral("."))
        || !link(QStringLiteral("."), apps.filePath(QStringLiteral("a")))
        || !link(QStringLiteral("."), apps.filePath(QStringLiteral("a-a"))))
        return 1;
    for (const int parts : {10, 20, 30, 40, 60})
        measure("loops (a, a-a -> .)", parts, partsId(parts, "-none.desktop"), runs);

    // A chain: k/a leads to folder k+1, k/a-a to k+2.
    if (!QDir(home.path()).rename(QStringLiteral("applications"), QStringLiteral("loops")))
        return 1;
    apps.mkpath(QStringLiteral("."));
    for (int k = 0; k <= 60; ++k) {
        const QString from = k == 0 ? QString() : QString::number(k) + u'/';
        const QString up = k == 0 ? QString() : QStringLiteral("../");
        if (!apps.mkdir(QString::number(k + 1))
            || !link(up + QString::number(k + 1), apps.filePath(from + QLatin1String("a")))
            || !link(up + QString::number(k + 2), apps.filePath(from + QLatin1String("a-a"))))
            return 1;
    }
    for (const int parts : {10, 20, 30, 40, 60})
        measure("chain (k/a -> k+1, k/a-a -> k+2)", parts, partsId(parts, "-none.desktop"), runs);

    // Usual: 300 entries, the id there, or not there with dashes to try.
    if (!QDir(home.path()).rename(QStringLiteral("applications"), QStringLiteral("chain")))
        return 1;
    apps.mkpath(QStringLiteral("."));
    for (int i = 0; i < 300; ++i)
        QFile(apps.filePath(QStringLiteral("org.example.App%1.desktop").arg(i)))
            .open(QIODevice::WriteOnly);
    measure("300 entries, found", 1, QStringLiteral("org.example.App150.desktop"), runs);
    measure("300 entries, dashed id not there", 4, QStringLiteral("org-example-App-x.desktop"),
            runs);
    return 0;
}
