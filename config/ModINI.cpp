#include "config/ModINI.h"

#include "platform/IniFile.h"

#include <algorithm>

namespace ModINI {

namespace {
// The reader hands back at most this many characters: one place of the
// 255-character buffer is taken by the terminating NUL.
constexpr qsizetype BufferSize = 255;
} // namespace

QString ReadIniValue(const QString &filePath, const QString &section, const QString &key,
                     const QVariant &defaultValue)
{
    QString buffer(BufferSize, QLatin1Char(' '));
    qsizetype copied = 0;
    if (const auto value = velkora::IniFile::readValue(filePath, section, key)) {
        copied = std::min(value->size(), BufferSize - 1);
        buffer.replace(0, copied, value->left(copied));
        buffer[copied] = QChar(0);
    }
    if (copied > 0) {
        QString result = CutAtNul(buffer);
        while (result.endsWith(QLatin1Char(' ')))
            result.chop(1);
        return result;
    }
    return defaultValue.isValid() ? defaultValue.toString() : QString();
}

bool WriteIniValue(const QString &filePath, const QString &section, const QString &key,
                   const QString &value)
{
    return velkora::IniFile::writeValue(filePath, section, key, value);
}

QString CutAtNul(const QString &text)
{
    const qsizetype p = text.indexOf(QChar(0));
    return p < 0 ? text : text.left(p);
}

} // namespace ModINI
