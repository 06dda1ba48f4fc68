#pragma once

#include "platform/ini/IniFile.h"

#include <QString>
#include <QVariant>

namespace ModINI {

/// Value of key in section of the document that stands in for the file at
/// IniFilePath, cut to 254 characters (253 where the cut would split a
/// surrogate pair), up to its first NUL and without trailing blanks. A missing
/// section or key, an empty value or one of unquoted blanks only gives the
/// default converted to text (empty when none is given); quoted blanks give
/// empty text.
QString ReadIniValue(const velkora::IniDocument &file, const QString &section, const QString &key,
                     const QVariant &defaultValue = QVariant());

/// Writes the value unaltered into the document; false when the document
/// cannot hold it (see IniDocument::setValue).
[[nodiscard]] bool WriteIniValue(velkora::IniDocument &file, const QString &section,
                                 const QString &key, const QString &value);

/// The text up to, not including, its first NUL character.
QString CutAtNul(const QString &text);

} // namespace ModINI
