// 100 program starts from inside a running event loop, as the runner makes
// them. Checks that no child of ours is left as a zombie (by /proc, so that an
// unreaped helper process counts too) and that no started program holds a
// descriptor above 2. Prints, without judging them, how long each start call
// held the thread and the largest gap the event loop saw meanwhile.
//
//   rel_start_stall [starts]      ARGV_PROBE names the probe program
#include "ProcessStart.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <signal.h>
#include <vector>

namespace {

// Children of this process that have ended but were not reaped.
int zombieChildren()
{
    int zombies = 0;
    const QString self = QString::number(QCoreApplication::applicationPid());
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        // pid (comm) state ppid ...: comm may hold blanks, so split after ')'.
        const QList<QByteArray> rest = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (rest.size() > 1 && rest.at(0) == "Z" && rest.at(1) == self.toLatin1())
            ++zombies;
    }
    return zombies;
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[size_t(p * double(v.size() - 1))];
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int starts = argc > 1 ? QByteArray(argv[1]).toInt() : 100;
    QTemporaryDir dir;
    if (!dir.isValid())
        return 2;

    std::vector<double> callMs;
    std::vector<qint64> pids;
    qint64 largestGapNs = 0;
    QElapsedTimer sinceTick;
    sinceTick.start();
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, &app, [&] {
        largestGapNs = std::max(largestGapNs, sinceTick.nsecsElapsed());
        sinceTick.restart();
    });

    int failedStarts = 0;
    QTimer starter;
    starter.setInterval(10);
    QObject::connect(&starter, &QTimer::timeout, &app, [&] {
        if (int(callMs.size()) == starts) {
            starter.stop();
            ticker.stop();
            QTimer::singleShot(0, &app, &QCoreApplication::quit);
            return;
        }
        qputenv("ARGV_PROBE_OUT", QFile::encodeName(dir.filePath(QString::number(callMs.size()))));
        QElapsedTimer call;
        call.start();
        const velkora::StartResult r = velkora::startProgram(
            QStringLiteral(ARGV_PROBE " %1").arg(callMs.size()), velkora::WindowStyle::MinimizedFocus);
        callMs.push_back(double(call.nsecsElapsed()) / 1e6);
        failedStarts += r.ok() ? 0 : 1;
        if (r.pid > 0)
            pids.push_back(r.pid);
    });
    ticker.start();
    starter.start();
    QCoreApplication::exec();

    // Give the probes time to end and be reaped, then look.
    int reports = 0, withDescriptors = 0;
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        QCoreApplication::processEvents();
        reports = 0;
        for (int i = 0; i < starts; ++i)
            reports += QFile::exists(dir.filePath(QString::number(i))) ? 1 : 0;
        const bool allGone = std::all_of(pids.cbegin(), pids.cend(),
                                         [](qint64 pid) { return ::kill(pid_t(pid), 0) != 0; });
        if ((reports == starts && allGone) || waited.elapsed() > 30000)
            break;
        QThread::msleep(20);
    }
    for (int i = 0; i < starts; ++i) {
        QFile f(dir.filePath(QString::number(i)));
        if (f.open(QIODevice::ReadOnly)) {
            for (const QByteArray &line : f.readAll().split('\n'))
                if (line.startsWith("fds") && line != "fds")
                    ++withDescriptors;
        }
    }
    const int zombies = zombieChildren();
    const int lingering = int(std::count_if(pids.cbegin(), pids.cend(),
                                            [](qint64 pid) { return ::kill(pid_t(pid), 0) == 0; }));
    std::printf("RESULT start_stall: starts=%d failed=%d reports=%d/%d zombies=%d still-present=%d "
                "children-with-fd-above-2=%d\n",
                starts, failedStarts, reports, starts, zombies, lingering, withDescriptors);
    std::printf("FIGURE start_stall: call ms median=%.3f p99=%.3f max=%.3f; largest event-loop gap "
                "%.3f ms (1 ms timer; not judged here)\n",
                percentile(callMs, 0.5), percentile(callMs, 0.99), percentile(callMs, 1.0),
                double(largestGapNs) / 1e6);
    return failedStarts == 0 && reports == starts && zombies == 0 && lingering == 0
                   && withDescriptors == 0
               ? 0
               : 1;
}
