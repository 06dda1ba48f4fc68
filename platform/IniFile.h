#pragma once
// A small INI reader and writer that behaves like the Windows profile
// functions where the program relies on them: names match without regard to
// case, values are trimmed, the first of two equal keys wins, comments and
// unknown lines are kept. A Windows-made file keeps its encoding and line ends.
// Every write replaces the file atomically and leaves it untouched on failure.

#include <QString>
#include <optional>

namespace velkora::IniFile {

/// The value of key in section, trimmed of blanks, a matching pair of quotes
/// removed. Empty (not missing) when the key stands there with an empty value;
/// nullopt when file, section or key is missing or the file cannot be read.
/// The last file is kept parsed; one stat() per call tells whether another
/// process has changed it since.
std::optional<QString> readValue(const QString &filePath, const QString &section,
                                 const QString &key);

/// Writes value under key in section: replaces the key's value where it stands,
/// or appends the key to its section, or appends the section to the file, or
/// creates the file (UTF-8, LF). True when the new file is safely in place.
/// False, with the file left as it was, when it cannot be read or replaced, or
/// when a name or the value would break the file's lines (a line break, a
/// "]" in the section, a key that is empty, holds "=" or begins with "[" or
/// ";").
bool writeValue(const QString &filePath, const QString &section, const QString &key,
                const QString &value);

} // namespace velkora::IniFile
