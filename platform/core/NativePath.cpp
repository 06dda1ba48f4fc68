#include "platform/core/NativePath.h"

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
    bytes.reserve(3 * path.size());
    for (qsizetype i = 0; i < path.size(); ++i) {
        char32_t c = path[i].unicode();
        // A low surrogate after a high one was taken with it: this one is an escape.
        if (isEscape(char16_t(c))) {
            bytes += char(c - EscapeBase);
            continue;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < path.size() && path[i + 1].isLowSurrogate())
            c = QChar::surrogateToUcs4(char16_t(c), path[++i].unicode());
        else if (QChar::isSurrogate(c))
            c = QChar::ReplacementCharacter;
        if (c < 0x80) {
            bytes += char(c);
            continue;
        }
        const int tail = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
        bytes += char((0xFF00 >> (tail + 1)) | (c >> (6 * tail)));
        for (int k = tail - 1; k >= 0; --k)
            bytes += char(0x80 | ((c >> (6 * k)) & 0x3F));
    }
    return bytes;
}

} // namespace velkora
