#include "config/WholeNumber.h"

#include <limits>

namespace velkora {

namespace {

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// The digits of a number, read as text and not through a double, so that a
// long fraction such as 2.50000000000000001 still rounds up as it should.
struct Digits {
    qint64 whole = 0;
    int firstFraction = -1; // -1: no fraction digit
    bool restNonZero = false; // a fraction digit after the first that is not 0
    bool any = false;
    bool tooLarge = false;
};

// Reads the digits from i on, up to what is no digit: the whole part, then
// after "." or "," (both, whatever the language setting, so that a file means
// the same under every locale) the fraction.
Digits readDigits(const QString &t, qsizetype &i)
{
    Digits d;
    constexpr qint64 limit = qint64(std::numeric_limits<qint32>::max()) + 2;
    for (; i < t.size() && isDigit(t[i]) && !d.tooLarge; ++i) {
        d.any = true;
        d.whole = d.whole * 10 + t[i].digitValue();
        d.tooLarge = d.whole > limit;
    }
    if (i == t.size() || (t[i] != QLatin1Char('.') && t[i] != QLatin1Char(',')))
        return d;
    for (++i; i < t.size() && isDigit(t[i]); ++i) {
        d.any = true;
        if (d.firstFraction < 0)
            d.firstFraction = t[i].digitValue();
        else
            d.restNonZero = d.restNonZero || t[i] != QLatin1Char('0');
    }
    return d;
}

} // namespace

std::optional<qint32> toWholeNumber(const QString &text)
{
    const QString t = text.trimmed();
    qsizetype i = 0;
    const bool negative = t.startsWith(QLatin1Char('-'));
    if (negative || t.startsWith(QLatin1Char('+')))
        ++i;
    const Digits d = readDigits(t, i);
    if (!d.any || d.tooLarge || i != t.size())
        return std::nullopt;
    // Halves to even.
    const bool up
        = d.firstFraction > 5 || (d.firstFraction == 5 && (d.restNonZero || d.whole % 2 == 1));
    const qint64 value = (negative ? -1 : 1) * (d.whole + (up ? 1 : 0));
    if (value < std::numeric_limits<qint32>::min() || value > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return qint32(value);
}

} // namespace velkora
