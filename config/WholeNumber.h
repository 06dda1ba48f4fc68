#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

namespace velkora {

/// The whole-number conversion used for waiting seconds: blanks around the
/// number are ignored, an optional sign, digits, and an optional fraction after
/// "." or ",", rounded to the nearest whole number with halves to even. Fails
/// for text that is no number and for values outside the 32-bit signed range.
std::optional<qint32> toWholeNumber(const QString &text);

} // namespace velkora
