// Measures the list's load and save on a real disk, and "Exit" on a 10 MB file.
//
//   bench_config [folder] [load runs] [save runs]
//
// The folder (default /var/tmp) must not be a RAM file system, or the save
// figures leave out the disk's sync.

#include "config/ModeFile.h"
#include "config/ProgramTable.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <functional>
#include <vector>

namespace {

QList<ModeFile::ListEntry> listLines(int round)
{
    QList<ModeFile::ListEntry> lines;
    for (int i = 0; i < velkora::SlotCount; ++i)
        lines.append({QStringLiteral("/opt/programme/werkzeug-%1/start").arg(i),
                      QStringLiteral(u"Programm Nr. %1 für Büro").arg(i),
                      QString::number(2 + (i + round) % 59)});
    return lines;
}

// Median, min and max of runs of what, in milliseconds; every run a new round.
void measure(QTextStream &out, const char *what, int runs, const std::function<void(int)> &run)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        run(i);
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    const size_t n = ms.size();
    const double median = n % 2 ? ms[n / 2] : (ms[n / 2 - 1] + ms[n / 2]) / 2;
    out << what << " (" << runs << " runs): median " << QString::number(median, 'f', 3)
        << " ms, min " << QString::number(ms.front(), 'f', 3) << " ms, max "
        << QString::number(ms.back(), 'f', 3) << " ms\n";
}

QString listFile;

void load()
{
    const velkora::ProgramList list = ModeFile::LoadProgramTable(listFile);
    if (list.EntryCount != velkora::SlotCount)
        qFatal("load found %d entries instead of %d", list.EntryCount, velkora::SlotCount);
}

void save(int round)
{
    if (!ModeFile::SaveProgramTable(listFile, listLines(round)).ok())
        qFatal("save failed");
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString base = args.size() > 1 ? args[1] : QStringLiteral("/var/tmp");
    const int loadRuns = std::max(1, args.size() > 2 ? args[2].toInt() : 200);
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

    listFile = dir.filePath(QStringLiteral("Velkora.ini"));
    save(0);
    out << "file of " << QFile(listFile).size() << " bytes, " << velkora::SlotCount << " entries\n";
    measure(out, "LoadProgramTable", loadRuns, [](int) { load(); });
    measure(out, "SaveProgramTable, 31 lines, one atomic replacement", saveRuns,
            [](int i) { save(i + 1); });

    // A hand-kept file that has grown: the list, then 10 MB of other lines.
    QFile big(listFile);
    const QByteArray filler
        = "schluessel = ein langer Wert mit Umlauten \xC3\xA4\xC3\xB6\xC3\xBC\n";
    if (!big.open(QIODevice::Append) || !big.write("[Fuell]\n")
        || !big.write(filler.repeated(10'000'000 / filler.size())))
        qFatal("cannot write the 10 MB file");
    big.close();
    out << "file of " << QFile(listFile).size() << " bytes\n";
    measure(out, "LoadProgramTable, 10 MB file", std::max(1, saveRuns / 3), [](int) { load(); });
    measure(out, "\"Exit\" (SaveProgramTable), 10 MB file", std::max(1, saveRuns / 3),
            [](int i) { save(i + 1000); });
    return 0;
}
