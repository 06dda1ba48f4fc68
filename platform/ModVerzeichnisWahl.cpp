#include "ModVerzeichnisWahl.h"
// Placeholder until the file chooser lands.
#include "Runtime.h"
namespace ModVerzeichnisWahl {
QString ChooseFile(velkora::Runtime &runtime, QObject *owner, const QString &initialFolder,
                   const QString &filterText, const QString &defaultExtension, const QString &title)
{
    return runtime.chooseFile(owner, initialFolder, filterText, defaultExtension, title);
}
} // namespace ModVerzeichnisWahl
