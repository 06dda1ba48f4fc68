// start_driver <starts> [--mute-bus] [--fill-fds] <command>...: on every 50th tick of a 1 ms timer
// starts the next of the commands (argv_probe, or entries that run it), round and round, and prints
// "<i> <errno>:<text>" per start, then a RESULT line. --mute-bus: a session bus that takes
// connections and never answers; --fill-fds: every descriptor taken meanwhile. Exits 1 unless every
// start succeeded, ran, saw descriptors 0-2 only and was reaped.
#include "platform/start/ProcessStart.h"

#include <QtCore>

#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char *argv[])
{
    velkora::ensureStandardDescriptors();
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QTemporaryDir dir;
    if (args.removeAll(QStringLiteral("--mute-bus"))) {
        // A bus that takes connections and never says a word: the kernel
        // queues each one, and nobody ever reads them.
        const QByteArray bus = QFile::encodeName(dir.filePath(QStringLiteral("bus")));
        sockaddr_un address {AF_UNIX, {}};
        std::strncpy(address.sun_path, bus.constData(), sizeof address.sun_path - 1);
        const int mute = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (::bind(mute, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0
            && ::listen(mute, SOMAXCONN) == 0)
            qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + bus);
    }
    std::vector<int> filler;
    const bool fill = args.removeAll(QStringLiteral("--fill-fds")) > 0;
    for (int fd = 0; fill && (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
        filler.push_back(fd);
    const int starts = args.takeFirst().toInt();

    std::vector<bool> started;
    qint64 ticks = 0;
    {
        velkora::ProcessStarter starter;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, &ticker, [&] {
            const int i = int(started.size());
            // Ticks, not time: one through the bus's silence spawns 30 ms later, with this
            // variable as it is then, even when the loop was held up.
            if (++ticks % 50 != 0)
                return;
            qputenv("ARGV_PROBE_OUT", QFile::encodeName(dir.filePath(QString::number(i))));
            const auto r = starter.start(args[i % args.size()], velkora::WindowStyle::Normal);
            started.push_back(r.ok());
            std::printf("%d %d:%s\n", i, r.errorNumber, qPrintable(r.description));
            if (i + 1 == starts)
                QCoreApplication::quit();
        });
        ticker.start(1);
        QCoreApplication::exec();
    } // the starter ends as at the program's end, right after the last start
    for (const int fd : filler)
        ::close(fd);

    const auto childLeft = [] { // running, or ended and not reaped
        siginfo_t child {};
        return ::waitid(P_ALL, 0, &child, WEXITED | WNOHANG | WNOWAIT) == 0;
    };
    for (int i = 0; i < 500 && childLeft(); ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(20);
    }
    int failed = 0, missing = 0, unclean = 0;
    for (int i = 0; i < starts; ++i) {
        QFile report(dir.filePath(QString::number(i)));
        failed += started[i] ? 0 : 1;
        missing += started[i] && !report.open(QIODevice::ReadOnly) ? 1 : 0;
        unclean += report.isOpen() && !report.readAll().contains("\nfds 0 1 2\n") ? 1 : 0;
    }
    const int unreaped = childLeft() ? 1 : 0;
    std::printf("RESULT start_driver: starts=%d failed=%d missing=%d unclean-fds=%d unreaped=%d\n",
                starts, failed, missing, unclean, unreaped);
    return failed + missing + unclean + unreaped > 0 ? 1 : 0;
}
