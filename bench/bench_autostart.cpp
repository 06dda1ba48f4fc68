// What the session's autostart costs the window thread, which reads and
// writes the entries itself: the login switch's state, the list of the
// session's entries, the double-start question for a full list of 31
// commands, and a takeover of five entries with their give-back, over 40
// autostart entries (30 the user's, 10 the system's) in a scratch folder.
//
// Usage: bench_autostart [rounds]

#include "platform/session/AppInfo.h"
#include "platform/session/LoginStart.h"
#include "platform/session/SessionAutostart.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

void measure(const char *what, int rounds, const std::function<void()> &work)
{
    std::vector<double> ms;
    for (int i = 0; i < rounds; ++i) {
        const Clock::time_point start = Clock::now();
        work();
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-44s n=%4d  median %7.2f ms  p95 %7.2f ms  max %7.2f ms\n", what, rounds,
                ms[ms.size() / 2], ms[ms.size() * 95 / 100], ms.back());
}

bool put(const QString &path, const QByteArray &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    QTemporaryDir dir;
    for (const char *folder : {"home/autostart", "sys/autostart", "data", "bin"})
        QDir(dir.path()).mkpath(QLatin1String(folder));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath(QStringLiteral("home"))));
    qputenv("XDG_CONFIG_DIRS", QFile::encodeName(dir.filePath(QStringLiteral("sys"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath(QStringLiteral("data"))));
    qputenv("XDG_DATA_DIRS", QFile::encodeName(dir.filePath(QStringLiteral("data"))));
    qputenv("PATH", QFile::encodeName(dir.filePath(QStringLiteral("bin"))) + ":/usr/bin:/bin");
    qputenv("XDG_CURRENT_DESKTOP", "GNOME");

    const QString velkora = dir.filePath(QStringLiteral("bin/velkora"));
    bool ready = QFile::copy(QStringLiteral("/bin/true"), velkora);
    QStringList commands, ids;
    for (int i = 0; i < 40; ++i) {
        const QByteArray n = QByteArray::number(i);
        const QString file = QStringLiteral("%1/autostart/app%2.desktop")
                                 .arg(QLatin1String(i < 30 ? "home" : "sys"))
                                 .arg(i);
        ready = ready
            && QFile::copy(QStringLiteral("/bin/true"),
                           dir.filePath(QStringLiteral("bin/p%1").arg(i)))
            && put(dir.filePath(file),
                   "# added by hand\n\n[Desktop Entry]\nType=Application\nName=App " + n
                       + "\nName[de]=Programm " + n + "\nExec=p" + n
                       + " --minimized\nX-GNOME-Autostart-Delay=5\n");
        if (i < 31)
            commands.append(i % 2 ? QStringLiteral("p%1 --other").arg(i)
                                  : QStringLiteral("app%1.desktop").arg(i));
        if (i % 8 == 0)
            ids.append(QStringLiteral("app%1").arg(i));
    }
    ready = ready
        && put(dir.filePath(QStringLiteral("home/autostart/%1.desktop").arg(velkora::appId())),
               "[Desktop Entry]\nType=Application\nName=Velkora\nExec=velkora\n");
    if (!ready) {
        std::fprintf(stderr, "bench_autostart: cannot set up the scratch folder\n");
        return 1;
    }

    // Only the time counts: the results are dropped.
    measure("login switch state (isEnabled)", rounds,
            [&] { static_cast<void>(velkora::LoginStart::isEnabled(velkora)); });
    measure("the session's entries (loginEntries)", rounds,
            [&] { static_cast<void>(velkora::SessionAutostart::loginEntries(velkora)); });
    measure("double starts of 31 commands", rounds,
            [&] { static_cast<void>(velkora::SessionAutostart::alsoStartedBySession(commands)); });
    measure("take over 5 entries, then give them back", rounds, [&] {
        QString error;
        if (!velkora::SessionAutostart::takeOver(ids, &error)
            || !velkora::SessionAutostart::giveBack({}, &error))
            std::fprintf(stderr, "bench_autostart: %s\n", qPrintable(error));
    });
    return 0;
}
