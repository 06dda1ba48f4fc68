#pragma once
// The globals that the start-up and the configuration window share.

#include <QString>
#include <QtGlobal>

namespace velkora {
class Runtime;
struct AppInfo;
} // namespace velkora

namespace ModGlobal {

// Full path of the configuration file. Set once by InitIniPath, before
// anything reads the file; used by every read and write of it.
extern QString IniFilePath;

// What the configuration window showed last for a selected line; written only
// by its ShowSelectedEntry, never reset during a run.
extern QString ShownPath;
extern QString ShownName;
extern qint32 ShownSeconds;

/// Back to the state at program start (for tests).
void resetGlobals();

/// True when an earlier copy runs; it has then been asked to come to the front.
bool ActivatePreviousInstance(velkora::Runtime &runtime);

/// IniFilePath = the executable's folder, "/", its base name, ".ini".
void InitIniPath(const velkora::AppInfo &appInfo);

} // namespace ModGlobal
