// What the start-up's look at the session bus costs the window thread. Against a
// healthy bus (a private dbus-daemon): the constructor, which starts the asking thread, the
// look right away (the worst case: it waits for the daemon's answer) and the look after 20 ms
// of other work, about what QApplication's construction takes, so that the answer is in.
// Against the same daemon stopped: the whole wait, which is the budget. Prints figures only.
//
// Usage: bench_bus [rounds]

#include "platform/core/SessionBusCheck.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int BudgetMs = 300; // as main.cpp gives it

double micros(Clock::duration d)
{
    return std::chrono::duration<double, std::micro>(d).count();
}

void report(const char *what, std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    std::printf("%-46s n=%4zu  median %9.1f us  p95 %9.1f us  max %9.1f us\n", what, values.size(),
                values[values.size() / 2], values[values.size() * 95 / 100], values.back());
}

// One check: how long its constructor and its look hold the caller, `work` between them.
std::pair<double, double> check(std::chrono::milliseconds work, bool *silent)
{
    const auto before = Clock::now();
    velkora::SessionBusCheck bus(BudgetMs);
    const auto started = Clock::now();
    std::this_thread::sleep_for(work);
    const auto looking = Clock::now();
    *silent = bus.silent();
    return {micros(started - before), micros(Clock::now() - looking)};
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 200;
    QTemporaryDir dir;
    QProcess daemon;
    daemon.start(QStringLiteral("dbus-daemon"),
                 {QStringLiteral("--nofork"), QStringLiteral("--print-address"),
                  QStringLiteral("--address=unix:path=") + dir.filePath(QStringLiteral("bus")),
                  QStringLiteral("--config-file=" BUS_CONFIG)});
    if (!daemon.waitForReadyRead(10000)) {
        std::printf("dbus-daemon did not start\n");
        return 1;
    }
    qputenv("DBUS_SESSION_BUS_ADDRESS", daemon.readLine().trimmed());

    std::vector<double> connect, rightAway, afterWork, silentWait;
    bool silent = false;
    int silentCount = 0;
    for (int i = 0; i < rounds; ++i) {
        const auto [opened, looked] = check(std::chrono::milliseconds(0), &silent);
        connect.push_back(opened);
        rightAway.push_back(looked);
        silentCount += silent;
        afterWork.push_back(check(std::chrono::milliseconds(20), &silent).second);
        silentCount += silent;
    }
    report("healthy bus: constructor (starts the thread)", connect);
    report("healthy bus: look right away", rightAway);
    report("healthy bus: look after 20 ms", afterWork);
    std::printf("healthy bus taken for silent: %d of %d\n", silentCount, 2 * rounds);

    ::kill(pid_t(daemon.processId()), SIGSTOP);
    for (int i = 0; i < std::min(rounds, 10); ++i)
        silentWait.push_back(check(std::chrono::milliseconds(20), &silent).second + 20000);
    ::kill(pid_t(daemon.processId()), SIGCONT);
    report("stopped bus: from connect to the verdict", silentWait);
    std::printf("stopped bus found silent: %s\n", silent ? "yes" : "no");
    daemon.terminate();
    daemon.waitForFinished();
    return 0;
}
