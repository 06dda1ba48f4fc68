// Measures loading and saving a full configuration file on a real disk.
//
//   bench_config [folder] [load runs] [save runs]
//
// The folder (default /var/tmp) must not be a RAM file system, or the save
// figures leave out the disk's sync.

#include "config/ModGlobal.h"
#include "config/ModeFile.h"
#include "config/ProgramTable.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <algorithm>
#include <vector>

namespace {

struct Figures {
    double median, min, max;
};

Figures summarize(std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    const size_t n = ms.size();
    const double median = n % 2 ? ms[n / 2] : (ms[n / 2 - 1] + ms[n / 2]) / 2;
    return {median, ms.front(), ms.back()};
}

QList<ModeFile::ListEntry> listLines(int round)
{
    QList<ModeFile::ListEntry> lines;
    for (int i = 0; i < velkora::SlotCount; ++i)
        lines.append({QStringLiteral("/opt/programme/werkzeug-%1/start").arg(i),
                      QStringLiteral(u"Programm Nr. %1 für Büro").arg(i),
                      QString::number(2 + (i + round) % 59)});
    return lines;
}

double timeLoad()
{
    velkora::resetProgramTable();
    QElapsedTimer timer;
    timer.start();
    ModeFile::LoadProgramTable();
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    if (velkora::EntryCount != velkora::SlotCount)
        qFatal("load found %d entries instead of %d", velkora::EntryCount, velkora::SlotCount);
    return ms;
}

void print(QTextStream &out, const char *what, int runs, const Figures &f)
{
    out << what << " (" << runs << " runs): median " << QString::number(f.median, 'f', 3)
        << " ms, min " << QString::number(f.min, 'f', 3) << " ms, max "
        << QString::number(f.max, 'f', 3) << " ms\n";
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString base = args.size() > 1 ? args[1] : QStringLiteral("/var/tmp");
    const int loadRuns = std::max(4, args.size() > 2 ? args[2].toInt() : 200);
    const int saveRuns = std::max(1, args.size() > 3 ? args[3].toInt() : 30);

    QTextStream out(stdout);
    QTemporaryDir dir(base + QStringLiteral("/bench_config-XXXXXX"));
    if (!dir.isValid()) {
        out << "cannot create a folder in " << base << '\n';
        return 1;
    }
    const QStorageInfo storage(dir.path());
    out << "folder " << dir.path() << " on " << storage.device() << " (" << storage.fileSystemType()
        << ")\n";
    if (storage.fileSystemType() == "tmpfs")
        out << "warning: RAM file system, the sync costs nothing here\n";

    ModGlobal::IniFilePath = dir.filePath(QStringLiteral("Velkora.ini"));
    ModeFile::SaveProgramTable(listLines(0));
    out << "file of " << QFile(ModGlobal::IniFilePath).size() << " bytes, " << velkora::SlotCount
        << " entries\n";

    // As at a program start: the file was written long ago and is read anew
    // by the first of the 93 reads. Touching it makes the cached copy stale;
    // the pause lets the change age past the window in which the reader
    // compares contents as well.
    std::vector<double> cold;
    for (int i = 0; i < loadRuns / 4; ++i) {
        QFile f(ModGlobal::IniFilePath);
        if (!f.open(QIODevice::ReadWrite)
            || !f.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                              QFileDevice::FileModificationTime))
            qFatal("cannot touch the file");
        f.close();
        QThread::msleep(60);
        cold.push_back(timeLoad());
    }

    std::vector<double> warm;
    for (int i = 0; i < loadRuns; ++i)
        warm.push_back(timeLoad());

    std::vector<double> save;
    for (int i = 0; i < saveRuns; ++i) {
        const QList<ModeFile::ListEntry> lines = listLines(i + 1);
        QElapsedTimer timer;
        timer.start();
        ModeFile::SaveProgramTable(lines);
        save.push_back(double(timer.nsecsElapsed()) / 1e6);
    }

    print(out, "LoadProgramTable, file changed since the last read", int(cold.size()),
          summarize(cold));
    print(out, "LoadProgramTable, file unchanged", loadRuns, summarize(warm));
    print(out, "SaveProgramTable, 31 lines = 93 atomic writes", saveRuns, summarize(save));
    return 0;
}
