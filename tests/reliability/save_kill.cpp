// Kills a process that saves the program table over and over, at random
// moments, and checks the file after every kill.
//
//   rel_save_kill run <kills> [seed]   the driver (kills: also $RELIABILITY_KILLS;
//                                      folder: $RELIABILITY_DIR, else /dev/shm)
//   rel_save_kill loop <ini>           the saver: two full tables in turn, forever
//   rel_save_kill once <ini>           one save, then a normal end
//
// After each kill: every key of sections 0-30 holds, whole, either table A's
// or table B's value; in the order of writing, the keys form one run of one
// table followed by one run of the other (every write is atomic and the save
// goes front to back); a section that is not ours and a comment are kept; the
// mode 0640 is kept; anything else in the folder is a recognisable temporary
// file (a killed writer cannot remove its own). A final normal save must leave
// no temporary file at all.
#include "ModGlobal.h"
#include "ModeFile.h"
#include "IniFile.h"
#include "ProgramTable.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <random>
#include <sys/stat.h>
#include <time.h>

namespace {

const QStringList Keys = {QStringLiteral("DATEI"), QStringLiteral("Name"), QStringLiteral("ZEIT")};
const QByteArray Foreign = "; Kommentar bleibt\n[Andere]\nbehalten = ja\n";

// Every value differs between the two tables, and B's are much longer, so
// that a cut-off file or a mix within a value cannot pass for either.
QStringList table(bool b)
{
    QStringList lines;
    for (int i = 0; i < velkora::SlotCount; ++i) {
        const QString path = b ? QStringLiteral("/opt/Programme mit Blanks/Größe €/werkzeug-%1 --lang=\"%2\"")
                                     .arg(i)
                                     .arg(QString(150 + i, QLatin1Char('b')))
                               : QStringLiteral("/usr/bin/a%1").arg(i);
        const QString name = b ? QStringLiteral("Übersicht Ä %1 ").arg(i) + QString(60, QLatin1Char('n'))
                               : QStringLiteral("A%1").arg(i);
        lines << path + QLatin1Char('|') + name + QLatin1Char('|') + QString::number(b ? 30 + i : 2 + i);
    }
    return lines;
}

// What the reader gives back for field f of line i of a table.
QString expected(bool b, int i, int f)
{
    const QStringList fields = table(b).at(i).split(QLatin1Char('|'));
    QString v = fields.at(f);
    while (v.endsWith(QLatin1Char(' ')))
        v.chop(1);
    return v;
}

int saver(const QString &ini, bool forever)
{
    ModGlobal::IniFilePath = ini;
    bool b = false;
    ModeFile::SaveProgramTable(table(b));
    std::puts("ready");
    std::fflush(stdout);
    while (forever) {
        b = !b;
        ModeFile::SaveProgramTable(table(b));
    }
    return 0;
}

struct Outcome {
    bool ok = true;
    bool mixed = false; // a save was cut between two writes
    int temps = 0;
    QString problem;
};

Outcome check(QDir dir, const QString &ini)
{
    Outcome out;
    const auto fail = [&out](const QString &why) {
        if (out.ok)
            out.problem = why;
        out.ok = false;
    };
    QFile f(ini);
    if (!f.open(QIODevice::ReadOnly))
        fail(QStringLiteral("file cannot be opened"));
    const QByteArray bytes = f.readAll();
    if (!bytes.startsWith(Foreign))
        fail(QStringLiteral("foreign section or comment lost"));
    struct stat st;
    if (::stat(QFile::encodeName(ini).constData(), &st) != 0 || (st.st_mode & 07777) != 0640)
        fail(QStringLiteral("mode not kept"));

    // Every line is a header, a comment or a key line; no line is cut.
    for (const QByteArray &line : bytes.split('\n')) {
        if (!(line.isEmpty() || line.startsWith('[') || line.startsWith(';') || line.contains('=')))
            fail(QStringLiteral("stray line: ") + QString::fromUtf8(line.left(60)));
    }
    if (!bytes.isEmpty() && !bytes.endsWith('\n'))
        fail(QStringLiteral("no final line end"));

    QString labels;
    for (int i = 0; i < velkora::SlotCount; ++i) {
        for (int k = 0; k < Keys.size(); ++k) {
            const auto value = velkora::IniFile::readValue(ini, QString::number(i), Keys.at(k));
            if (value == expected(false, i, k))
                labels += QLatin1Char('a');
            else if (value == expected(true, i, k))
                labels += QLatin1Char('b');
            else
                fail(QStringLiteral("[%1] %2 holds neither table's value: %3")
                         .arg(i)
                         .arg(Keys.at(k), value.value_or(QStringLiteral("(missing)")).left(80)));
        }
    }
    static const QRegularExpression oneSwitch(QStringLiteral("^(a*b*|b*a*)$"));
    if (out.ok && !oneSwitch.match(labels).hasMatch())
        fail(QStringLiteral("keys not in write order: ") + labels);
    out.mixed = labels.contains(QLatin1Char('a')) && labels.contains(QLatin1Char('b'));

    static const QRegularExpression tempName(QStringLiteral("^\\.Velkora\\.ini\\.tmp-[0-9a-z]+$"));
    for (const QString &name : dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) {
        if (name == QLatin1String("Velkora.ini"))
            continue;
        if (tempName.match(name).hasMatch()) {
            ++out.temps;
            dir.remove(name);
        } else {
            fail(QStringLiteral("unexpected file ") + name);
        }
    }
    return out;
}

int driver(int kills, quint32 seed)
{
    // tmpfs by default, for speed: a kill stops the process, not the disk,
    // so the file system's own durability is not what is tested here.
    QString base = qEnvironmentVariable("RELIABILITY_DIR");
    if (base.isEmpty())
        base = QFileInfo(QStringLiteral("/dev/shm")).isWritable() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    QTemporaryDir tmp(base + QStringLiteral("/velkora-savekill-XXXXXX"));
    if (!tmp.isValid())
        return 2;
    const QDir dir(tmp.path());
    const QString ini = dir.filePath(QStringLiteral("Velkora.ini"));
    {
        QFile f(ini);
        if (!f.open(QIODevice::WriteOnly) || f.write(Foreign) != Foreign.size())
            return 2;
    }
    QFile::setPermissions(ini, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup);

    // How long one save takes here: the kills are spread over two of them.
    QElapsedTimer clock;
    clock.start();
    ModGlobal::IniFilePath = ini;
    ModeFile::SaveProgramTable(table(true));
    ModeFile::SaveProgramTable(table(false));
    const qint64 saveNs = std::max<qint64>(clock.nsecsElapsed() / 2, 1'000'000);

    std::mt19937 random(seed);
    std::uniform_int_distribution<qint64> delay(0, 2 * saveNs);
    const QString self = QCoreApplication::applicationFilePath();
    int good = 0, mixed = 0, temps = 0, killedAfterExit = 0;
    QStringList problems;
    for (int n = 0; n < kills; ++n) {
        QProcess saverProcess;
        saverProcess.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        saverProcess.start(self, {QStringLiteral("loop"), ini});
        if (!saverProcess.waitForReadyRead(60000)) {
            problems << QStringLiteral("kill %1: saver did not start").arg(n);
            saverProcess.kill();
            saverProcess.waitForFinished();
            continue;
        }
        const qint64 ns = delay(random);
        const timespec wait{time_t(ns / 1'000'000'000), long(ns % 1'000'000'000)};
        ::nanosleep(&wait, nullptr);
        ::kill(pid_t(saverProcess.processId()), SIGKILL);
        saverProcess.waitForFinished(-1);
        if (saverProcess.exitStatus() != QProcess::CrashExit)
            ++killedAfterExit;
        const Outcome o = check(dir, ini);
        good += o.ok ? 1 : 0;
        mixed += o.mixed ? 1 : 0;
        temps += o.temps;
        if (!o.ok)
            problems << QStringLiteral("kill %1 (after %2 us): %3").arg(n).arg(ns / 1000).arg(o.problem);
    }

    // A save that runs to its end leaves nothing behind.
    QProcess last;
    last.start(self, {QStringLiteral("once"), ini});
    last.waitForFinished(60000);
    const Outcome final = check(dir, ini);
    if (!final.ok || final.temps != 0 || last.exitCode() != 0)
        problems << QStringLiteral("normal save: %1, %2 temporary files left")
                        .arg(final.ok ? QStringLiteral("file fine") : final.problem)
                        .arg(final.temps);

    std::printf("RESULT save_kill: folder=%s seed=%u kills=%d file-intact=%d/%d cut-between-writes=%d "
                "stray-temps-after-kill=%d (all named .Velkora.ini.tmp-*, removed) "
                "save-time=%.1f ms normal-save-temps=%d\n",
                qPrintable(base), seed, kills, good, kills, mixed, temps, double(saveNs) / 1e6, final.temps);
    for (const QString &p : problems.mid(0, 20))
        std::printf("FAIL %s\n", qPrintable(p));
    return problems.isEmpty() && killedAfterExit == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString mode = args.value(1);
    if (mode == QLatin1String("loop") && args.size() == 3)
        return saver(args.at(2), true);
    if (mode == QLatin1String("once") && args.size() == 3)
        return saver(args.at(2), false);
    if (mode == QLatin1String("run")) {
        const int kills = qEnvironmentVariableIsSet("RELIABILITY_KILLS")
            ? qEnvironmentVariableIntValue("RELIABILITY_KILLS")
            : args.value(2, QStringLiteral("200")).toInt();
        const quint32 seed = args.size() > 3 ? args.at(3).toUInt() : std::random_device()();
        return driver(kills, seed);
    }
    std::fprintf(stderr, "usage: rel_save_kill run <kills> [seed] | loop <ini> | once <ini>\n");
    return 2;
}
