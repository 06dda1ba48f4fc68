#include "config/ModINI.h"

#include <algorithm>

namespace ModINI {

namespace {
// The read buffer's size; the reader hands back one character less, as the
// terminating NUL takes the last place.
constexpr qsizetype BufferSize = 255;
} // namespace

QString ReadIniValue(const velkora::IniDocument &file, const QString &section, const QString &key,
                     const QVariant &defaultValue)
{
    // What the buffer of 255 blanks holds after the read: at most 254
    // characters and the terminating NUL, the blanks behind it cut off with it.
    const std::optional<QString> value = file.value(section, key);
    qsizetype copied = value ? std::min(value->size(), BufferSize - 1) : 0;
    if (copied > 0 && copied < value->size() && value->at(copied - 1).isHighSurrogate()
        && value->at(copied).isLowSurrogate())
        --copied;
    if (copied == 0)
        return defaultValue.isValid() ? defaultValue.toString() : QString();
    QString result = CutAtNul(copied < value->size() ? value->first(copied) : *value);
    while (result.endsWith(QLatin1Char(' ')))
        result.chop(1);
    return result;
}

bool WriteIniValue(velkora::IniDocument &file, const QString &section, const QString &key,
                   const QString &value)
{
    return file.setValue(section, key, value);
}

QString CutAtNul(const QString &text)
{
    const qsizetype p = text.indexOf(QChar(0));
    return p < 0 ? text : text.left(p);
}

} // namespace ModINI
