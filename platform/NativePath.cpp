#include "platform/NativePath.h"

#include <QStringDecoder>

#include <algorithm>

namespace velkora {

namespace {

constexpr char16_t EscapeBase = 0xDC00;

// QString::fromUtf8 would drop a byte-order mark at the start.
QString fromUtf8(QByteArrayView bytes)
{
    return QStringDecoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom)(bytes);
}

bool isEscape(char16_t c)
{
    return c >= 0xDC80 && c <= 0xDCFF;
}

// The length of the valid UTF-8 sequence at the start of bytes, 0 if there is none.
qsizetype validSequence(QByteArrayView bytes)
{
    const auto lead = static_cast<unsigned char>(bytes.front());
    const qsizetype length = lead < 0x80 ? 1
        : lead < 0xC2                    ? 0
        : lead < 0xE0                    ? 2
        : lead < 0xF0                    ? 3
        : lead < 0xF5                    ? 4
                                         : 0;
    if (length == 0 || length > bytes.size() || !bytes.first(length).isValidUtf8())
        return 0;
    return length;
}

} // namespace

QString pathFromNative(QByteArrayView bytes)
{
    if (bytes.isValidUtf8())
        return fromUtf8(bytes);
    QString path;
    path.reserve(bytes.size());
    while (!bytes.isEmpty()) {
        const qsizetype length = validSequence(bytes);
        const auto byte
            = [&](qsizetype i) { return char32_t(static_cast<unsigned char>(bytes[i])); };
        char32_t c = length == 0 ? EscapeBase + byte(0)
            : length == 1        ? byte(0)
                                 : byte(0) & (0x7F >> length);
        for (qsizetype i = 1; i < length; ++i)
            c = (c << 6) | (byte(i) & 0x3F);
        if (QChar::requiresSurrogates(c)) {
            path += QChar(QChar::highSurrogate(c));
            path += QChar(QChar::lowSurrogate(c));
        } else {
            path += QChar(char16_t(c));
        }
        bytes = bytes.sliced(std::max<qsizetype>(length, 1));
    }
    return path;
}

QByteArray pathToNative(QStringView path)
{
    QByteArray bytes;
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < path.size(); ++i) {
        const char16_t c = path[i].unicode();
        // A low surrogate right after a high one belongs to a pair, not to an escape.
        if (!isEscape(c) || (i > 0 && path[i - 1].isHighSurrogate()))
            continue;
        bytes += path.sliced(runStart, i - runStart).toUtf8();
        bytes += char(c - EscapeBase);
        runStart = i + 1;
    }
    if (runStart == 0)
        return path.toUtf8();
    return bytes + path.sliced(runStart).toUtf8();
}

} // namespace velkora
