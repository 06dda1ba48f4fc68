#include "config/WholeNumber.h"

#include <limits>

namespace velkora {

namespace {

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

} // namespace

std::optional<qint32> toWholeNumber(const QString &text)
{
    const QString t = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-'))) {
        negative = t[i] == QLatin1Char('-');
        ++i;
    }

    // The digits are read as text, not through a double, so that a long
    // fraction such as 2.50000000000000001 still rounds up as it should.
    qint64 magnitude = 0;
    bool anyDigit = false;
    constexpr qint64 limit = qint64(std::numeric_limits<qint32>::max()) + 2;
    for (; i < t.size() && isDigit(t[i]); ++i) {
        anyDigit = true;
        magnitude = magnitude * 10 + t[i].digitValue();
        if (magnitude > limit)
            return std::nullopt;
    }

    // Both separators, whatever the language setting, so that a file means
    // the same under every locale.
    int firstFraction = -1; // -1: no fraction digit yet
    bool restNonZero = false;
    if (i < t.size() && (t[i] == QLatin1Char('.') || t[i] == QLatin1Char(','))) {
        for (++i; i < t.size() && isDigit(t[i]); ++i) {
            anyDigit = true;
            if (firstFraction < 0)
                firstFraction = t[i].digitValue();
            else if (t[i] != QLatin1Char('0'))
                restNonZero = true;
        }
    }
    if (!anyDigit || i != t.size())
        return std::nullopt;

    if (firstFraction > 5 || (firstFraction == 5 && (restNonZero || magnitude % 2 == 1)))
        ++magnitude;

    const qint64 value = negative ? -magnitude : magnitude;
    if (value < std::numeric_limits<qint32>::min() || value > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return qint32(value);
}

} // namespace velkora
