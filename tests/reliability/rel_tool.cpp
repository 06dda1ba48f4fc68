// The scripts' way into our code: save <ini> [loop] (tables B, A, "ready <ns per save>", then B,
// A, ... until killed), check <ini> (a or b per key of sections 0-30, whose value it holds, ? for
// neither: exit 1), write <ini> <section> <key> <value> (exit 1: refused), start-stall <n> <probe>.
#include "config/ModGlobal.h"
#include "config/ModeFile.h"
#include "config/ProgramTable.h"
#include "platform/IniFile.h"
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

// Every value differs between the tables and B's are longer: a cut file or torn value fits neither.
QList<ModeFile::ListEntry> entries(const QStringList &lines)
{
    QList<ModeFile::ListEntry> result;
    for (const QString &line : lines) {
        const QStringList f = line.split(u'|');
        result.append({f[0], f[1], f[2]});
    }
    return result;
}

QStringList table(bool b)
{
    QStringList lines;
    for (int i = 0; i < velkora::SlotCount; ++i)
        lines << (b ? QStringLiteral("/opt/Programme mit Blanks/Größe €/werkzeug-%1 "
                                     "--lang=\"%2\"|Übersicht Ä %1 %3|%4")
                          .arg(QString::number(i), QString(150 + i, u'b'), QString(60, u'n'),
                               QString::number(30 + i))
                    : QStringLiteral("/usr/bin/a%1|A%1|%2").arg(i).arg(2 + i));
    return lines;
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
    if (args.value(1) == QLatin1String("save") && args.size() >= 3) {
        ModGlobal::IniFilePath = args[2];
        QElapsedTimer clock;
        clock.start();
        ModeFile::SaveProgramTable(entries(table(true)));
        ModeFile::SaveProgramTable(entries(table(false)));
        std::printf("ready %lld\n", clock.nsecsElapsed() / 2);
        std::fflush(stdout);
        for (bool b = true; args.value(3) == QLatin1String("loop"); b = !b)
            ModeFile::SaveProgramTable(entries(table(b)));
        return 0;
    }
    if (args.value(1) == QLatin1String("check") && args.size() == 3) {
        // Each table's values in key order: DATEI, Name, ZEIT of slot 0, then of slot 1, ...
        const QStringList a = table(false).join(u'|').split(u'|');
        const QStringList b = table(true).join(u'|').split(u'|');
        QByteArray labels;
        for (int j = 0; j < a.size(); ++j) {
            const QString key = QStringLiteral("DATEI Name ZEIT").section(u' ', j % 3, j % 3);
            const auto v = velkora::IniFile::readValue(args[2], QString::number(j / 3), key);
            labels += v == a[j] ? 'a' : v == b[j] ? 'b' : '?';
        }
        std::printf("%s\n", labels.constData());
        return labels.contains('?') ? 1 : 0;
    }
    if (args.value(1) == QLatin1String("write") && args.size() == 6)
        return velkora::IniFile::writeValue(args[2], args[3], args[4], args[5]) ? 0 : 1;
    if (args.value(1) == QLatin1String("start-stall") && args.size() == 4 && args[2].toInt() > 0)
        return startStall(args[2].toInt(), args[3]) ? 0 : 1;
    std::fputs("usage: rel_tool save|check|write|start-stall ... (see rel_tool.cpp)\n", stderr);
    return 2;
}
