// One save of list A or B for the kill test: rel_tool <ini> a|b (exit 1: the save failed, and the
// message box's text on standard output).
#include "config/ModeFile.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // Lists that share no value: quotes, "|" and umlauts in B, and 31 entries in A against 20.
    const bool b = app.arguments().value(2) == QLatin1String("b");
    QList<ModeFile::ListEntry> entries;
    for (int i = 0; i < (b ? 20 : velkora::SlotCount); ++i)
        entries.append({b ? QStringLiteral("\"/opt/Größe %1/werkzeug\" --lang=\"de|en\"").arg(i)
                          : QStringLiteral("/usr/bin/a%1").arg(i),
                        b ? QStringLiteral("Übersicht | %1").arg(i) : QStringLiteral("A%1").arg(i),
                        QString::number(b ? 30 + i : 2 + i)});
    const QString path = app.arguments().value(1);
    const ModeFile::SaveResult result = ModeFile::SaveProgramTable(path, entries);
    std::fputs(ModeFile::saveFailureMessage(path, result).toUtf8().constData(), stdout);
    return result.ok() ? 0 : 1;
}
