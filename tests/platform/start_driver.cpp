// start_driver <starts> [--mute-bus] [--fill-fds] <command>...: on every 50th tick of a 1 ms timer
// starts the next of the commands (argv_probe, or entries that run it), round and round, and prints
// "<i> <errno>:<text>" per start, then a RESULT line. --mute-bus: a session bus that accepts and
// never answers (bench_start measures its delays); --fill-fds: every descriptor taken meanwhile.
// Exit 0: every start ran, saw descriptors 0-2 only and was reaped; 1: as 0, but some starts
// failed; 2: a start that succeeded never ran or saw other descriptors, or a child was not reaped.
#include "platform/ProcessStart.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char *argv[])
{
    velkora::ensureStandardDescriptors();
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QStringList words = args.mid(1).filter(QRegularExpression(QStringLiteral("^[^-]")));
    const int starts = words.value(0).toInt();
    const QStringList commands = words.mid(1);
    if (starts <= 0 || commands.isEmpty())
        return 64;
    QTemporaryDir dir;
    QLocalServer mute;
    if (args.contains(QLatin1String("--mute-bus"))
        && mute.listen(dir.filePath(QStringLiteral("bus"))))
        qputenv("DBUS_SESSION_BUS_ADDRESS",
                "unix:path=" + QFile::encodeName(mute.fullServerName()));
    std::vector<int> filler;
    for (int fd = 0; args.contains(QLatin1String("--fill-fds"))
         && (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
        filler.push_back(fd);

    auto starter = std::make_unique<velkora::ProcessStarter>();
    std::vector<bool> started;
    qint64 ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, &ticker, [&] {
        const int i = int(started.size());
        if (++ticks % 50 != 0)
            return;
        // Set before the start: one through the bus's silence spawns 30 ms later.
        qputenv("ARGV_PROBE_OUT", QFile::encodeName(dir.filePath(QString::number(i))));
        const auto r = starter->start(commands[i % commands.size()], velkora::WindowStyle::Normal);
        started.push_back(r.ok());
        std::printf("%d %d:%s\n", i, r.errorNumber, qPrintable(r.description));
        if (i + 1 == starts)
            QCoreApplication::quit();
    });
    ticker.start(1);
    QCoreApplication::exec();
    starter.reset(); // as at the program's end, right after the last start
    std::for_each(filler.begin(), filler.end(), ::close);

    siginfo_t child {};
    QElapsedTimer waited;
    for (waited.start(); waited.elapsed() < 10000; QThread::msleep(20)) {
        QCoreApplication::processEvents();
        if (::waitid(P_ALL, 0, &child, WEXITED | WNOHANG | WNOWAIT) != 0) // ECHILD: all reaped
            break;
    }
    int failed = 0, missing = 0, unclean = 0, unreaped = 0;
    for (int i = 0; i < starts; ++i) {
        QFile report(dir.filePath(QString::number(i)));
        failed += started[i] ? 0 : 1;
        missing += started[i] && !report.open(QIODevice::ReadOnly) ? 1 : 0;
        unclean += report.isOpen() && !report.readAll().contains("\nfds 0 1 2\n") ? 1 : 0;
    }
    while (::waitpid(-1, nullptr, WNOHANG) > 0) // left as zombies
        ++unreaped;
    unreaped += ::waitid(P_ALL, 0, &child, WEXITED | WNOHANG | WNOWAIT) == 0 ? 1 : 0; // running
    std::printf("RESULT start_driver: starts=%d failed=%d missing=%d unclean-fds=%d unreaped=%d\n",
                starts, failed, missing, unclean, unreaped);
    return missing + unclean + unreaped > 0 ? 2 : failed > 0 ? 1 : 0;
}
