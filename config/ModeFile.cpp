#include "config/ModeFile.h"

#include "config/ModGlobal.h"
#include "config/ModINI.h"
#include "config/ProgramTable.h"
#include "config/WholeNumber.h"

using velkora::EntryCount;
using velkora::ProgramTable;
using velkora::SlotCount;

namespace ModeFile {

namespace {

const QString KeyPath = QStringLiteral("DATEI");
const QString KeyNameRead = QStringLiteral("NAME");
const QString KeyNameWrite = QStringLiteral("Name");
const QString KeySeconds = QStringLiteral("ZEIT");

} // namespace

// The window never makes a line lacking a separator, but a save must not lose one.
ListLineFields splitListLine(const QString &line)
{
    const qsizetype p1 = line.indexOf(QLatin1Char('|'));
    if (p1 < 0)
        return {line, {}, {}};
    const qsizetype p2 = line.indexOf(QLatin1Char('|'), p1 + 1);
    if (p2 < 0)
        return {line.left(p1), line.mid(p1 + 1), {}};
    return {line.left(p1), line.mid(p1 + 1, p2 - p1 - 1), line.mid(p2 + 1)};
}

QString joinListLine(const QString &path, const QString &name, const QString &seconds)
{
    return path + QLatin1Char('|') + name + QLatin1Char('|') + seconds;
}

void LoadProgramTable()
{
    const QString &file = ModGlobal::IniFilePath;
    for (int i = 0; i < SlotCount; ++i) {
        const QString section = QString::number(i);
        velkora::ProgramEntry &entry = ProgramTable[size_t(i)];

        const QString path = ModINI::ReadIniValue(file, section, KeyPath, QString());
        if (!path.isEmpty())
            entry.path = path;
        const QString name = ModINI::ReadIniValue(file, section, KeyNameRead, QString());
        if (!name.isEmpty())
            entry.name = name;
        const QString seconds = ModINI::ReadIniValue(file, section, KeySeconds);
        if (!seconds.isEmpty()) {
            if (const auto value = velkora::toWholeNumber(seconds))
                entry.seconds = *value;
        }
        if (entry.filled())
            ++EntryCount;
    }
}

void SaveProgramTable(const QStringList &listLines)
{
    const QString &file = ModGlobal::IniFilePath;
    for (qsizetype i = 0; i < listLines.size(); ++i) {
        const QString section = QString::number(i);
        const ListLineFields fields = splitListLine(listLines[i]);
        ModINI::WriteIniValue(file, section, KeyPath, fields.path);
        ModINI::WriteIniValue(file, section, KeyNameWrite, fields.name);
        ModINI::WriteIniValue(file, section, KeySeconds, fields.seconds);
    }
    for (qsizetype i = listLines.size(); i < SlotCount; ++i) {
        const QString section = QString::number(i);
        ModINI::WriteIniValue(file, section, KeyPath, QString());
        ModINI::WriteIniValue(file, section, KeyNameWrite, QString());
        ModINI::WriteIniValue(file, section, KeySeconds, QString());
    }
}

QStringList ProgramListLines()
{
    QStringList lines;
    for (const velkora::ProgramEntry &entry : ProgramTable) {
        if (!entry.filled())
            continue;
        const QString seconds = entry.seconds ? QString::number(*entry.seconds) : QString();
        lines << joinListLine(*entry.path, entry.name.value_or(QString()), seconds);
    }
    return lines;
}

} // namespace ModeFile
