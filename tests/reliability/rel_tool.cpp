// The scripts' way into our code: save <ini> [loop] (tables B, A, "ready <ns per save>", then B,
// A, ... until killed), check <ini> (a or b per key of sections 0-30, whose value it holds, ? for
// neither: exit 1) and write <ini> <section> <key> <value> (exit 1: refused).
#include "config/ModGlobal.h"
#include "config/ModeFile.h"
#include "config/ProgramTable.h"
#include "platform/IniFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>

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
    std::fputs("usage: rel_tool save|check|write ... (see rel_tool.cpp)\n", stderr);
    return 2;
}
