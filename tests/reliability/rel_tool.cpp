// The scripts' way into our code: save <ini> a|b (one save of list A or B; exit 1: it failed).
#include "config/ModGlobal.h"
#include "config/ModeFile.h"
#include "config/ProgramTable.h"

#include <QCoreApplication>

#include <cstdio>

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

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.value(1) == QLatin1String("save") && args.size() == 4) {
        ModGlobal::IniFilePath = args[2];
        return ModeFile::SaveProgramTable(list(args[3] == QLatin1String("b"))) ? 0 : 1;
    }
    std::fputs("usage: rel_tool save <ini> a|b\n", stderr);
    return 2;
}
