// The scripts' way into our code: save <ini> a|b (one save of list A or B; exit 1: it failed),
// start-stall <n> <probe>.
#include "config/ModGlobal.h"
#include "config/ModeFile.h"
#include "config/ProgramTable.h"
#include "platform/ProcessStart.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <signal.h>
#include <sys/wait.h>

namespace {

// Two lists that share no value: quotes, "|" and umlauts in B, and 31 entries in A against 20.
QList<ModeFile::ListEntry> list(bool b)
{
    QList<ModeFile::ListEntry> entries;
    for (int i = 0; i < (b ? 20 : velkora::SlotCount); ++i)
        entries.append({b ? QStringLiteral("\"/opt/Größe %1/werkzeug\" --lang=\"de|en\"").arg(i)
                          : QStringLiteral("/usr/bin/a%1").arg(i),
                        b ? QStringLiteral("Übersicht | %1").arg(i) : QStringLiteral("A%1").arg(i),
                        QString::number(b ? 30 + i : 2 + i)});
    return entries;
}

// No start may leave a zombie child (any child of ours, so an unreaped helper counts too; kill(pid,
// 0) answers for a zombie) or hand a descriptor above 2 on. Prints, unjudged, how long each start
// held the thread and the largest gap a 1 ms timer, starting a program every tenth tick, saw.
bool startStall(int starts, const QString &probe)
{
    QTemporaryDir dir;
    QList<double> callMs;
    QList<pid_t> pids;
    qint64 gapNs = 0, ticks = 0;
    QElapsedTimer clock;
    clock.start();
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, &ticker, [&] {
        gapNs = std::max(gapNs, clock.nsecsElapsed());
        clock.restart();
        if (++ticks % 10 != 0)
            return;
        if (callMs.size() == starts)
            return QCoreApplication::quit();
        qputenv("ARGV_PROBE_OUT", QFile::encodeName(dir.filePath(QString::number(callMs.size()))));
        const auto r = velkora::startProgram(probe + QStringLiteral(" %1").arg(callMs.size()),
                                             velkora::WindowStyle::MinimizedFocus);
        callMs.push_back(double(clock.nsecsElapsed()) / 1e6);
        if (r.ok() && r.pid > 0)
            pids.push_back(pid_t(r.pid));
    });
    ticker.start(1);
    QCoreApplication::exec();
    ticker.stop();
    int stillPresent = 1, reports = 0, withFds = 0, zombies = 0;
    for (clock.restart(); stillPresent > 0 && clock.elapsed() < 30000; QThread::msleep(20)) {
        QCoreApplication::processEvents();
        stillPresent = int(std::ranges::count_if(pids, [](pid_t p) { return ::kill(p, 0) == 0; }));
    }
    while (::waitpid(-1, nullptr, WNOHANG) > 0)
        ++zombies;
    for (int i = 0; i < starts; ++i) {
        QFile f(dir.filePath(QString::number(i)));
        reports += f.open(QIODevice::ReadOnly) ? 1 : 0;
        withFds += f.readAll().contains("\nfds ") ? 1 : 0;
    }
    std::ranges::sort(callMs);
    const auto at = [&](double p) { return callMs[qsizetype(p * (starts - 1))]; };
    std::printf(
        "RESULT start_stall: starts=%d failed=%d reports=%d/%d zombies=%d still-present=%d "
        "children-with-fd-above-2=%d\nFIGURE start_stall: call ms median=%.3f p99=%.3f max=%.3f; "
        "largest event-loop gap %.3f ms (1 ms timer; not judged here)\n",
        starts, starts - int(pids.size()), reports, starts, zombies, stillPresent, withFds, at(0.5),
        at(0.99), at(1.0), double(gapNs) / 1e6);
    return pids.size() == starts && reports == starts && zombies + stillPresent + withFds == 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.value(1) == QLatin1String("save") && args.size() == 4) {
        ModGlobal::IniFilePath = args[2];
        return ModeFile::SaveProgramTable(list(args[3] == QLatin1String("b"))) ? 0 : 1;
    }
    if (args.value(1) == QLatin1String("start-stall") && args.size() == 4 && args[2].toInt() > 0)
        return startStall(args[2].toInt(), args[3]) ? 0 : 1;
    std::fputs("usage: rel_tool save|start-stall ... (see rel_tool.cpp)\n", stderr);
    return 2;
}
