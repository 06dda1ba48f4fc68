#include "config/ModeFile.h"

#include "config/ModINI.h"
#include "config/WholeNumber.h"
#include "platform/core/ErrnoText.h"
#include "platform/core/Log.h"
#include "platform/core/NativePath.h"
#include "platform/core/XdgFolders.h"

using velkora::IniDocument;
using velkora::ProgramList;
using velkora::SlotCount;

namespace ModeFile {

namespace {

const QString KeyPath = QStringLiteral("DATEI");
const QString KeyNameRead = QStringLiteral("NAME");
const QString KeyNameWrite = QStringLiteral("Name");
const QString KeySeconds = QStringLiteral("ZEIT");
const QString KeyActive = QStringLiteral("AKTIV");
const QString KeyWaitFor = QStringLiteral("WARTEN_AUF");
const QString KeyWaitMax = QStringLiteral("WARTEN_MAX");

// A key of the entry's own: there when the entry has a value for it, gone when not.
bool storeOptional(IniDocument &file, const QString &section, const QString &key,
                   const QString &value)
{
    if (value.trimmed().isEmpty()) {
        file.removeKey(section, key);
        return true;
    }
    return ModINI::WriteIniValue(file, section, key, value);
}

bool storeEntry(IniDocument &file, const QString &section, const ListEntry &entry)
{
    return ModINI::WriteIniValue(file, section, KeyPath, entry.path)
        && ModINI::WriteIniValue(file, section, KeyNameWrite, entry.name)
        && ModINI::WriteIniValue(file, section, KeySeconds, entry.seconds)
        && storeOptional(file, section, KeyActive, entry.active ? QString() : QStringLiteral("0"))
        && storeOptional(file, section, KeyWaitFor, entry.waitFor)
        && storeOptional(file, section, KeyWaitMax, entry.waitMax);
}

} // namespace

QString ListEntry::line() const
{
    return path + QLatin1Char('|') + name + QLatin1Char('|') + seconds;
}

ProgramList LoadProgramTable(const IniDocument &file)
{
    ProgramList list;
    for (int i = 0; i < SlotCount; ++i) {
        const QString section = QString::number(i);
        velkora::ProgramEntry &entry = list.ProgramTable[size_t(i)];

        const QString path = ModINI::ReadIniValue(file, section, KeyPath, QString());
        if (!path.isEmpty())
            entry.path = path;
        const QString name = ModINI::ReadIniValue(file, section, KeyNameRead, QString());
        if (!name.isEmpty())
            entry.name = name;
        const QString seconds = ModINI::ReadIniValue(file, section, KeySeconds);
        if (!seconds.isEmpty())
            entry.seconds = velkora::toWholeNumber(seconds);
        entry.active
            = ModINI::ReadIniValue(file, section, KeyActive).trimmed() != QLatin1String("0");
        entry.waitFor = ModINI::ReadIniValue(file, section, KeyWaitFor);
        entry.waitMax = velkora::toWholeNumber(ModINI::ReadIniValue(file, section, KeyWaitMax));
        if (entry.filled())
            ++list.EntryCount;
    }
    return list;
}

ProgramList LoadProgramTable(const QString &IniFilePath)
{
    IniDocument file;
    if (const auto status = velkora::readIniFile(IniFilePath, file); !status.ok())
        qCWarning(velkora::lcConfig, "cannot read the list from \"%s\": %s",
                  velkora::pathToNative(IniFilePath).constData(),
                  qUtf8Printable(status.toString()));
    return LoadProgramTable(file);
}

bool SaveProgramTable(IniDocument &file, const QList<ListEntry> &entries, qsizetype *refused)
{
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const QString section = QString::number(i);
        if (!storeEntry(file, section, entries[i])) {
            if (refused)
                *refused = i;
            return false;
        }
    }
    for (qsizetype i = entries.size(); i < SlotCount; ++i) {
        const QString section = QString::number(i);
        static_cast<void>(storeEntry(file, section, ListEntry())); // empty values always fit
    }
    return true;
}

SaveResult SaveProgramTable(const QString &IniFilePath, const QList<ListEntry> &entries)
{
    const QString &path = IniFilePath;
    IniDocument file;
    SaveResult result;
    result.io = velkora::readIniFile(path, file);
    // Whatever cannot be stored refuses the whole save: the file then holds
    // the whole old list rather than part of the new one.
    if (result.io.ok() && !SaveProgramTable(file, entries, &result.refusedEntry)) {
        qCWarning(velkora::lcConfig,
                  "cannot save the list to \"%s\": entry %lld holds a control character or one "
                  "the file cannot hold; the file is left as it was",
                  velkora::pathToNative(path).constData(),
                  static_cast<long long>(result.refusedEntry + 1));
        return result;
    }
    if (result.io.ok() && file.isModified()) {
        // The list in ~/.config/velkora gets its folder at the first save,
        // never by merely reading.
        int error = 0;
        result.io = velkora::makeFolderFor(path, &error) ? velkora::writeIniFile(path, file)
                                                         : velkora::IniIoStatus {error, "mkdir"};
    }
    if (!result.io.ok())
        qCWarning(velkora::lcConfig, "cannot save the list to \"%s\": %s",
                  velkora::pathToNative(path).constData(), qUtf8Printable(result.io.toString()));
    return result;
}

QString saveFailureMessage(const QString &IniFilePath, const SaveResult &result)
{
    if (result.ok())
        return {};
    const QString why = result.io.ok()
        ? QStringLiteral("Eintrag %1 enthält ein Steuerzeichen (etwa einen Zeilenumbruch) oder "
                         "ein Zeichen, das die Datei nicht aufnehmen kann.")
              .arg(result.refusedEntry + 1)
        : velkora::errnoDescription(result.io.error) + u'.';
    return QStringLiteral("Die Liste konnte nicht gespeichert werden.\n\n%1\n\n%2")
        .arg(IniFilePath, why);
}

QList<ListEntry> listEntries(const ProgramList &list)
{
    QList<ListEntry> entries;
    for (const velkora::ProgramEntry &entry : list.ProgramTable) {
        if (!entry.filled())
            continue;
        const auto number
            = [](std::optional<qint32> n) { return n ? QString::number(*n) : QString(); };
        entries.append({*entry.path, entry.name.value_or(QString()), number(entry.seconds),
                        entry.active, entry.waitFor, number(entry.waitMax)});
    }
    return entries;
}

} // namespace ModeFile
