#pragma once

#include <QString>

class QObject;

namespace velkora {
class Runtime;
}

namespace ModVerzeichnisWahl {

/// Shows the file chooser owned by owner and returns the chosen file's full
/// path without blanks around it, or empty text on cancel. Folder and filter
/// come in the program's own forms and are turned into their Linux forms here:
/// a drive ("C:\") goes and "\" becomes "/", so "C:\" is "/"; the filter's
/// description|pattern pairs become Qt's "description (patterns)" entries, with
/// "*.*" as "*" ("Alle Dateien|*.*" is "Alle Dateien (*)"). The default
/// extension the caller passes (".txt") is left unused, as Linux programs have
/// none: a typed name is taken as it stands, found in the folder shown when it
/// has no folder of its own, and may name a hidden file.
QString ChooseFile(velkora::Runtime &runtime, QObject *owner, const QString &initialFolder,
                   const QString &filterText, const QString &defaultExtension,
                   const QString &title);

} // namespace ModVerzeichnisWahl
