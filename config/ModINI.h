#pragma once

#include <QString>
#include <QVariant>

namespace ModINI {

/// Value of key in section of the file, trailing blanks removed and cut to 254
/// characters. A missing file, section or key, an empty value or one of blanks
/// only gives the default converted to text (empty when none is given).
QString ReadIniValue(const QString &filePath, const QString &section, const QString &key,
                     const QVariant &defaultValue = QVariant());

/// Writes the value unaltered; true when the INI layer reports success.
bool WriteIniValue(const QString &filePath, const QString &section, const QString &key,
                   const QString &value);

/// The text up to, not including, its first NUL character.
QString CutAtNul(const QString &text);

} // namespace ModINI
