#pragma once
// The one global that the start-up and the table's load and save share.

#include <QString>

namespace ModGlobal {

// Full path of the configuration file. Set once by the start-up before
// anything reads the file; used by every read and write of it.
extern QString IniFilePath;

} // namespace ModGlobal
