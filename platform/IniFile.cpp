#include "IniFile.h"
// Placeholder until the INI layer lands.
namespace velkora::IniFile {
std::optional<QString> readValue(const QString &, const QString &, const QString &) { return std::nullopt; }
bool writeValue(const QString &, const QString &, const QString &, const QString &) { return false; }
} // namespace velkora::IniFile
