#pragma once

#include <QString>

class QObject;

namespace velkora {
class Runtime;
}

namespace ModVerzeichnisWahl {

/// Shows the file chooser owned by owner and returns the chosen file's full
/// path, or empty text on cancel. Folder and filter come in the program's own
/// forms ("C:\", "Alle Dateien|*.*") and are turned into their Linux forms here.
QString ChooseFile(velkora::Runtime &runtime, QObject *owner, const QString &initialFolder,
                   const QString &filterText, const QString &defaultExtension,
                   const QString &title);

} // namespace ModVerzeichnisWahl
