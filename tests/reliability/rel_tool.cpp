// What the reliability scripts need of the program's own code:
//   save <ini> [loop]    tables B, A, then "ready <ns per save>"; loop: B, A, ... until killed
//   check <ini>          a or b per key of sections 0-30, whose value it holds; exit 1: neither
//   write <ini> <section> <key> <value>   exit 0 written, 1 refused
//   start-stall <starts> <probe>          starts from an event loop
#include "IniFile.h"
#include "ModGlobal.h"
#include "ModeFile.h"
#include "ProcessStart.h"
#include "ProgramTable.h"

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

namespace {

// Every value differs between the two tables, and B's are much longer, so
// that a cut-off file or a mix within a value cannot pass for either.
QStringList table(bool b)
{
    QStringList lines;
    for (int i = 0; i < velkora::SlotCount; ++i)
        lines << (b ? QStringLiteral("/opt/Programme mit Blanks/Größe €/werkzeug-%1 "
                                     "--lang=\"%2\"|Übersicht Ä %1 %3|%4")
                          .arg(i)
                          .arg(QString(150 + i, QLatin1Char('b')), QString(60, QLatin1Char('n')))
                          .arg(30 + i)
                    : QStringLiteral("/usr/bin/a%1|A%1|%2").arg(i).arg(2 + i));
    return lines;
}

int check(const QString &ini)
{
    const QStringList a = table(false), b = table(true);
    const QString keys[]
        = {QStringLiteral("DATEI"), QStringLiteral("Name"), QStringLiteral("ZEIT")};
    QByteArray labels;
    for (int i = 0; i < velkora::SlotCount; ++i) {
        for (int k = 0; k < 3; ++k) {
            const auto v = velkora::IniFile::readValue(ini, QString::number(i), keys[k]);
            labels += v == a[i].section(QLatin1Char('|'), k, k) ? 'a'
                : v == b[i].section(QLatin1Char('|'), k, k)     ? 'b'
                                                                : '?';
            if (labels.endsWith('?')) {
                std::printf("[%d] %s holds neither table's value: %s\n", i, qPrintable(keys[k]),
                            qPrintable(v.value_or(QStringLiteral("(missing)")).left(80)));
                return 1;
            }
        }
    }
    std::printf("%s\n", labels.constData());
    return 0;
}

int save(const QString &ini, bool loop)
{
    ModGlobal::IniFilePath = ini;
    QElapsedTimer clock;
    clock.start();
    ModeFile::SaveProgramTable(table(true));
    ModeFile::SaveProgramTable(table(false));
    std::printf("ready %lld\n", clock.nsecsElapsed() / 2);
    std::fflush(stdout);
    for (bool b = true; loop; b = !b)
        ModeFile::SaveProgramTable(table(b));
    return 0;
}

// No start may leave a zombie child (seen in /proc, so that an unreaped helper counts too) or hand
// a descriptor above 2 on. Prints, unjudged, how long each start held the thread and the largest
// gap a 1 ms timer saw meanwhile.
int startStall(int starts, const QString &probe)
{
    QTemporaryDir dir;
    QList<double> callMs;
    QList<pid_t> pids;
    int failed = 0;
    qint64 gapNs = 0;
    QElapsedTimer sinceTick;
    sinceTick.start();
    QTimer ticker, starter;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, &ticker, [&] {
        gapNs = std::max(gapNs, sinceTick.nsecsElapsed());
        sinceTick.restart();
    });
    QObject::connect(&starter, &QTimer::timeout, &starter, [&] {
        if (callMs.size() == starts) {
            QCoreApplication::quit();
            return;
        }
        qputenv("ARGV_PROBE_OUT", QFile::encodeName(dir.filePath(QString::number(callMs.size()))));
        QElapsedTimer call;
        call.start();
        const auto r = velkora::startProgram(probe + QStringLiteral(" %1").arg(callMs.size()),
                                             velkora::WindowStyle::MinimizedFocus);
        callMs.push_back(double(call.nsecsElapsed()) / 1e6);
        failed += r.ok() ? 0 : 1;
        if (r.pid > 0)
            pids.push_back(pid_t(r.pid));
    });
    ticker.start(1);
    starter.start(10);
    QCoreApplication::exec();
    // A zombie still answers kill(pid, 0): all gone means all reaped.
    const auto present = [&pids] {
        return int(
            std::count_if(pids.cbegin(), pids.cend(), [](pid_t p) { return ::kill(p, 0) == 0; }));
    };
    QElapsedTimer waited;
    waited.start();
    while (present() > 0 && waited.elapsed() < 30000) {
        QCoreApplication::processEvents();
        QThread::msleep(20);
    }
    int reports = 0, withFds = 0, zombies = 0;
    for (int i = 0; i < starts; ++i) {
        QFile f(dir.filePath(QString::number(i)));
        reports += f.open(QIODevice::ReadOnly) ? 1 : 0;
        withFds += f.readAll().contains("\nfds ") ? 1 : 0;
    }
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        // pid (comm) state ppid: comm may hold blanks, so split after ')'.
        const QList<QByteArray> rest = stat.open(QIODevice::ReadOnly)
            ? stat.readAll().split(')').last().split(' ')
            : QList<QByteArray>();
        if (rest.size() > 3 && rest[1] == "Z"
            && rest[2].toLongLong() == QCoreApplication::applicationPid())
            ++zombies;
    }
    std::sort(callMs.begin(), callMs.end());
    const auto at = [&callMs](double p) {
        return callMs.empty() ? 0.0 : callMs[qsizetype(p * double(callMs.size() - 1))];
    };
    std::printf(
        "RESULT start_stall: starts=%d failed=%d reports=%d/%d zombies=%d still-present=%d "
        "children-with-fd-above-2=%d\nFIGURE start_stall: call ms median=%.3f p99=%.3f max=%.3f; "
        "largest event-loop gap %.3f ms (1 ms timer; not judged here)\n",
        starts, failed, reports, starts, zombies, present(), withFds, at(0.5), at(0.99), at(1.0),
        double(gapNs) / 1e6);
    const bool clean = failed == 0 && reports == starts && zombies == 0 && present() == 0;
    return clean && withFds == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString mode = args.value(1);
    if (mode == QLatin1String("save") && args.size() >= 3)
        return save(args[2], args.value(3) == QLatin1String("loop"));
    if (mode == QLatin1String("check") && args.size() == 3)
        return check(args[2]);
    if (mode == QLatin1String("write") && args.size() == 6)
        return velkora::IniFile::writeValue(args[2], args[3], args[4], args[5]) ? 0 : 1;
    if (mode == QLatin1String("start-stall") && args.size() == 4)
        return startStall(args[2].toInt(), args[3]);
    std::fputs("usage: rel_tool save|check|write|start-stall ... (see rel_tool.cpp)\n", stderr);
    return 2;
}
