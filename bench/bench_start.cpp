// How long a program start holds up the window thread, and how soon the
// started program runs. Goals: the caller blocked at most 0.5 ms and the
// child's main reached within 1.5 ms without a session bus; with a session
// bus that accepts and never answers, every start reaches the child's main
// within 50 ms, a D-Bus activatable desktop entry included (it gives the bus
// 30 ms to answer before it starts through its Exec line).
//
// Usage: bench_start [path of argv_probe] [starts]
// The probe defaults to the one the tests build beside this benchmark.

#include "platform/start/ProcessStart.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include <sys/socket.h>
#include <sys/un.h>

namespace {

using Clock = std::chrono::steady_clock;

double micros(Clock::duration d)
{
    return std::chrono::duration<double, std::micro>(d).count();
}

void report(const char *what, std::vector<double> values)
{
    if (values.empty()) {
        std::printf("%-52s no samples\n", what);
        return;
    }
    std::sort(values.begin(), values.end());
    std::printf("%-52s n=%4zu  median %8.1f us  p95 %8.1f us  max %8.1f us\n", what, values.size(),
                values[values.size() / 2], values[values.size() * 95 / 100], values.back());
}

// Lets the reaper collect the children already ended, so that each start
// meets the same conditions.
void settle()
{
    QCoreApplication::processEvents();
    QThread::usleep(1000);
    QCoreApplication::processEvents();
}

qint64 probeStartedNs(const QString &output)
{
    QFile file(output);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray first = file.readLine();
    return first.startsWith("started ") ? first.split(' ').value(1).toLongLong() : -1;
}

// Starts `command` (which runs the probe) `starts` times; returns how long each
// call held the caller, and adds how long each took to reach the probe's main.
std::vector<double> measure(velkora::ProcessStarter &starter, const QString &command, int starts,
                            std::vector<double> *childMain)
{
    QTemporaryDir dir;
    std::vector<double> blocked;
    for (int i = 0; i < starts; ++i) {
        const QString output = dir.filePath(QStringLiteral("out-%1").arg(i));
        qputenv("ARGV_PROBE_OUT", QFile::encodeName(output));
        const auto before = Clock::now();
        const velkora::StartResult result
            = starter.start(command, velkora::WindowStyle::MinimizedFocus);
        blocked.push_back(micros(Clock::now() - before));
        if (!result.ok()) {
            std::printf("start of %s failed: %s\n", qPrintable(command),
                        qPrintable(result.description));
            return {};
        }
        QElapsedTimer waited;
        waited.start();
        while (!QFile::exists(output) && waited.elapsed() < 5000)
            settle();
        // steady_clock is CLOCK_MONOTONIC, the clock the probe reads.
        const qint64 started = probeStartedNs(output);
        const auto beforeNs
            = std::chrono::duration_cast<std::chrono::nanoseconds>(before.time_since_epoch());
        if (started > 0 && childMain)
            childMain->push_back(double(started - beforeNs.count()) / 1000.0);
        settle();
    }
    return blocked;
}

} // namespace

int main(int argc, char **argv)
{
    // The first figures are for the start alone: no session bus to talk to.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/dev/null");
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("velkora.*.info=false"));
    const QStringList args = app.arguments();
    const QString probe = args.size() > 1
        ? args.at(1)
        : QDir(app.applicationDirPath()).filePath(QStringLiteral("../tests/platform/argv_probe"));
    const int starts = args.size() > 2 ? args.at(2).toInt() : 200;
    velkora::ProcessStarter starter;

    std::vector<double> blocked;
    for (int i = 0; i < starts; ++i) {
        const auto before = Clock::now();
        const velkora::StartResult result
            = starter.start(QStringLiteral("/bin/true"), velkora::WindowStyle::MinimizedFocus);
        blocked.push_back(micros(Clock::now() - before));
        if (!result.ok()) {
            std::printf("start of /bin/true failed: %s\n", qPrintable(result.description));
            return 1;
        }
        settle();
    }
    report("start(/bin/true): caller blocked", blocked);

    std::vector<double> detached;
    for (int i = 0; i < std::min(starts, 50); ++i) {
        const auto before = Clock::now();
        QProcess::startDetached(QStringLiteral("/bin/true"), {});
        detached.push_back(micros(Clock::now() - before));
        settle();
    }
    report("QProcess::startDetached (for comparison)", detached);

    if (!QFile::exists(probe)) {
        std::printf("probe not found at %s: build target argv_probe or pass its path\n",
                    qPrintable(probe));
        return 0;
    }
    QTemporaryDir dir;
    const QString entry = dir.filePath(QStringLiteral("org.example.Probe.desktop"));
    QFile desktop(entry);
    if (!desktop.open(QIODevice::WriteOnly)
        || desktop.write("[Desktop Entry]\nType=Application\nName=Probe\nDBusActivatable=true\n"
                         "Exec=\""
                         + QFile::encodeName(probe) + "\"\n")
            <= 0)
        return 1;
    desktop.close();

    std::vector<double> childMain;
    report("start(probe): caller blocked", measure(starter, probe, starts, &childMain));
    report("start(probe): child's main reached", childMain);
    childMain.clear();
    report("start(.desktop, no bus): caller blocked",
           measure(starter, entry, std::min(starts, 50), &childMain));
    report("start(.desktop, no bus): child's main reached", childMain);

    // A bus that takes the connection and never says a word: the kernel
    // queues it, and nobody ever reads it.
    const QByteArray bus = QFile::encodeName(dir.filePath(QStringLiteral("bus")));
    sockaddr_un address {AF_UNIX, {}};
    std::strncpy(address.sun_path, bus.constData(), sizeof address.sun_path - 1);
    const int mute = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (::bind(mute, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
        || ::listen(mute, SOMAXCONN) != 0)
        return 1;
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + bus);
    velkora::ProcessStarter muted;
    childMain.clear();
    report("mute bus, start(probe): caller blocked",
           measure(muted, probe, std::min(starts, 50), &childMain));
    report("mute bus, start(probe): child's main reached", childMain);
    childMain.clear();
    report("mute bus, start(activatable .desktop): caller blocked",
           measure(muted, entry, std::min(starts, 50), &childMain));
    report("mute bus, start(activatable .desktop): child's main", childMain);
    return 0;
}
