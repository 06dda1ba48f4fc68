#pragma once

#include "platform/IniFile.h"

#include <QList>
#include <QString>

namespace ModeFile {

/// One entry as the configuration window's list holds it: the three texts of
/// a line, kept apart so that a "|" inside the path or the name stays there.
struct ListEntry {
    QString path, name, seconds;

    /// The text the list shows: path|name|seconds, nothing trimmed or escaped.
    QString line() const;
    bool operator==(const ListEntry &) const = default;
};

/// Reads IniFilePath once and fills ProgramTable from it. A missing file
/// leaves the table empty; one that cannot be read too, with one line on
/// standard error.
void LoadProgramTable();

/// Sections "0" to "30" of the document into ProgramTable; EntryCount is
/// raised for every filled slot.
void LoadProgramTable(const velkora::IniDocument &file);

/// Writes the entries to IniFilePath in one atomic replacement of the file,
/// keeping everything in it that is not the list; a file that holds the list
/// already is left alone. False, with one line on standard error and the file
/// as it was, when it cannot be read or replaced or an entry cannot be stored
/// in it.
bool SaveProgramTable(const QList<ListEntry> &entries);

/// The entries, in list order, into sections "0" on, every field written even
/// when empty; then the sections after the last entry up to "30" are cleared.
/// False when a field cannot be stored (a line break); refused then holds the
/// entry's index and the document must not be written.
bool SaveProgramTable(velkora::IniDocument &file, const QList<ListEntry> &entries,
                      qsizetype *refused = nullptr);

/// The entries of the filled slots, slot 0 first.
QList<ListEntry> ProgramListEntries();

} // namespace ModeFile
