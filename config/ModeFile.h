#pragma once
// The list file (the design's module "ModeFile", not a file of a start mode):
// the program table's load and save.

#include "config/ProgramTable.h"
#include "platform/ini/IniFile.h"

#include <QList>
#include <QString>

namespace ModeFile {

/// One entry as the configuration window's list holds it: the three texts of
/// a line, kept apart so that a "|" inside the path or the name stays there,
/// and the keys that travel with the entry without showing in its line.
struct ListEntry {
    QString path, name, seconds;
    bool active = true; // "AKTIV"
    QString waitFor {}; // "WARTEN_AUF" as written; empty: none
    QString waitMax {}; // "WARTEN_MAX" as written; empty: the default

    /// The text the list shows: path|name|seconds, nothing trimmed or escaped.
    QString line() const;
    bool operator==(const ListEntry &) const = default;
};

/// Reads the list file once and returns its table. A missing file gives an
/// empty table; one that cannot be read too, with one line on standard error.
[[nodiscard]] velkora::ProgramList LoadProgramTable(const QString &IniFilePath);

/// Sections "0" to "30" of the document; EntryCount counts the filled slots.
[[nodiscard]] velkora::ProgramList LoadProgramTable(const velkora::IniDocument &file);

/// What became of a save: the errno and step of the file's read or
/// replacement that failed, or the entry the file cannot hold.
struct [[nodiscard]] SaveResult {
    velkora::IniIoStatus io; // the file's read, folder or replacement
    qsizetype refusedEntry = -1; // index of the entry that cannot be stored, or -1

    bool ok() const { return io.ok() && refusedEntry < 0; }
};

/// Writes the entries to the list file in one atomic replacement of the file
/// (in place where only that keeps the file's owner or the folder takes no
/// new file), keeping everything in it that is not the list; a file that
/// holds the list already is left alone. On failure, the file as it was and
/// one line on standard error; the result says why.
SaveResult SaveProgramTable(const QString &IniFilePath, const QList<ListEntry> &entries);

/// The German text for the message box of a failed save: that the list could
/// not be saved, the file, and why. Empty for a save that succeeded.
QString saveFailureMessage(const QString &IniFilePath, const SaveResult &result);

/// The entries, in list order, into sections "0" on, every field written even
/// when empty; the keys of an entry's switch and conditions only where it has
/// them, and removed where it has not, so that none stays behind on another
/// entry's section. Then the sections after the last entry up to "30" are
/// cleared. False when a field cannot be stored (a control character, a line
/// break among them, or one the file's encoding cannot hold); refused then holds the entry's index
/// and the document must not be written.
[[nodiscard]] bool SaveProgramTable(velkora::IniDocument &file, const QList<ListEntry> &entries,
                                    qsizetype *refused = nullptr);

/// The entries of the filled slots, slot 0 first.
QList<ListEntry> listEntries(const velkora::ProgramList &list);

} // namespace ModeFile
