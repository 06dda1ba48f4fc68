#pragma once

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

/// Reads sections "0" to "30" of IniFilePath into ProgramTable and raises
/// EntryCount for every filled slot. A missing or unreadable file leaves the
/// table empty; nothing is reported.
void LoadProgramTable();

/// Writes the entries, in list order, to sections "0" on, then clears the
/// sections after the last entry up to "30". An empty field is written empty
/// and the save goes on, so nothing the user entered is lost. Failed writes
/// pass in silence.
void SaveProgramTable(const QList<ListEntry> &entries);

/// The entries of the filled slots, slot 0 first.
QList<ListEntry> ProgramListEntries();

} // namespace ModeFile
