#include "platform/ini/Cp1252.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace velkora {

namespace {

// Windows-1252 for 0x80 to 0x9F; the rest of its bytes are the code points
// of the same number.
constexpr std::array<char16_t, 32> Cp1252High
    = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
       0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
       0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

} // namespace

QChar *decodeCp1252(QByteArrayView bytes, QChar *out)
{
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *out++ = QChar((b >= 0x80 && b < 0xA0) ? Cp1252High[b - 0x80] : char16_t(b));
    }
    return out;
}

bool encodeCp1252(QStringView text, QByteArray &out)
{
    const qsizetype start = out.size();
    out.resize(start + text.size());
    char *bytes = out.data() + start;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            bytes[i] = static_cast<char>(c);
            continue;
        }
        const auto *found = std::find(Cp1252High.begin(), Cp1252High.end(), c);
        if (found == Cp1252High.end()) {
            out.truncate(start);
            return false;
        }
        bytes[i] = static_cast<char>(0x80 + (found - Cp1252High.begin()));
    }
    return true;
}

// Eight bytes at a time: lines can be long, and most are ASCII.
bool isAscii(QByteArrayView bytes)
{
    quint64 seen = 0;
    qsizetype i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        quint64 word;
        std::memcpy(&word, bytes.data() + i, sizeof word);
        seen |= word;
    }
    for (; i < bytes.size(); ++i)
        seen |= static_cast<unsigned char>(bytes[i]);
    return (seen & 0x8080808080808080ULL) == 0;
}

} // namespace velkora
