#pragma once

#include <QStringList>

namespace ModeFile {

/// The three fields of a list line (path|name|seconds).
struct ListLineFields {
    QString path, name, seconds;
};

/// Splits a list line at its first two "|"; a missing separator leaves the
/// fields after it empty.
ListLineFields splitListLine(const QString &line);

/// Joins the fields into a list line, nothing trimmed or escaped.
QString joinListLine(const QString &path, const QString &name, const QString &seconds);

/// Reads sections "0" to "30" of IniFilePath into ProgramTable and raises
/// EntryCount for every filled slot. A missing or unreadable file leaves the
/// table empty; nothing is reported.
void LoadProgramTable();

/// Writes the list lines (path|name|seconds, in list order) to sections "0"
/// on, then clears the sections after the last line up to "30". A line with
/// an empty field writes that field empty and the save goes on, so nothing the
/// user entered is lost. Failed writes pass in silence.
void SaveProgramTable(const QStringList &listLines);

/// The list lines of the filled slots, slot 0 first (path|name|seconds).
QStringList ProgramListLines();

} // namespace ModeFile
