#include "config/ModGlobal.h"

namespace ModGlobal {

QString IniFilePath;

} // namespace ModGlobal
