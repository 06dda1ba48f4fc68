#include "config/ModeFile.h"

#include "config/ModGlobal.h"
#include "config/ModINI.h"
#include "config/ProgramTable.h"
#include "config/WholeNumber.h"
#include "platform/ConfigLocation.h"
#include "platform/Log.h"

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

QString ListEntry::line() const
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

void SaveProgramTable(const QList<ListEntry> &entries)
{
    const QString &file = ModGlobal::IniFilePath;
    // The list in ~/.config/velkora gets its folder at the first save, never
    // by merely reading.
    if (int error = 0; !velkora::makeFolderFor(file, &error))
        qCWarning(velkora::lcConfig).noquote()
            << QStringLiteral("cannot make the folder for %1: %2")
                   .arg(file, qt_error_string(error));
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const QString section = QString::number(i);
        ModINI::WriteIniValue(file, section, KeyPath, entries[i].path);
        ModINI::WriteIniValue(file, section, KeyNameWrite, entries[i].name);
        ModINI::WriteIniValue(file, section, KeySeconds, entries[i].seconds);
    }
    for (qsizetype i = entries.size(); i < SlotCount; ++i) {
        const QString section = QString::number(i);
        ModINI::WriteIniValue(file, section, KeyPath, QString());
        ModINI::WriteIniValue(file, section, KeyNameWrite, QString());
        ModINI::WriteIniValue(file, section, KeySeconds, QString());
    }
}

QList<ListEntry> ProgramListEntries()
{
    QList<ListEntry> entries;
    for (const velkora::ProgramEntry &entry : ProgramTable) {
        if (!entry.filled())
            continue;
        const QString seconds = entry.seconds ? QString::number(*entry.seconds) : QString();
        entries.append({*entry.path, entry.name.value_or(QString()), seconds});
    }
    return entries;
}

} // namespace ModeFile
