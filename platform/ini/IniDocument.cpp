#include "platform/ini/IniFile.h"

#include "platform/ini/Cp1252.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <cstring>

namespace velkora {

namespace {

constexpr QByteArrayView Utf8Bom("\xEF\xBB\xBF");

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

bool isQuote(QChar c)
{
    return c == u'"' || c == u'\'';
}

// C0 controls but TAB, and DEL: no editor shows them, and among them are the
// line breaks and the NUL that would change what the file says.
bool hasControl(QStringView s)
{
    return std::any_of(s.begin(), s.end(), [](QChar c) {
        return (c.unicode() < 0x20 && c != u'\t') || c.unicode() == 0x7F;
    });
}

QStringView trimmed(QStringView s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && isBlank(s[b]))
        ++b;
    while (e > b && isBlank(s[e - 1]))
        --e;
    return s.sliced(b, e - b);
}

// Whether the reader takes the trimmed value s for a quoted one: s is qXq for
// a quote q that does not occur in X, or X is such a value itself. Walking
// inwards with the quote counts of the shrinking inner part keeps it linear.
bool unwraps(QStringView s)
{
    const qsizetype n = s.size();
    if (n < 2 || !isQuote(s.front()) || s.back() != s.front())
        return false;
    qsizetype doubles = 0, singles = 0;
    for (qsizetype k = 1; k < n - 1; ++k) {
        doubles += s[k] == u'"';
        singles += s[k] == u'\'';
    }
    for (qsizetype i = 0; n - 2 * i >= 2; ++i) {
        const QChar q = s[i];
        if (!isQuote(q) || s[n - 1 - i] != q)
            return false;
        if ((q == u'"' ? doubles : singles) == 0)
            return true;
        // The next level's inner part lacks both ends of this one's.
        const qsizetype a = i + 1, b = n - 2 - i;
        const auto drop = [&](QChar c) {
            doubles -= c == u'"';
            singles -= c == u'\'';
        };
        if (a <= b)
            drop(s[a]);
        if (a < b)
            drop(s[b]);
    }
    return false;
}

QStringView unquoted(QStringView s)
{
    return unwraps(s) ? s.sliced(1, s.size() - 2) : s;
}

// Appends the text to put after "=" so that the reader gives back v exactly.
// Windows' reader drops a pair of equal quotes at both ends, so such a value
// is quoted too and reads the same there.
void appendQuoted(QString &out, QStringView v)
{
    const bool blankEnds = !v.isEmpty() && (isBlank(v.front()) || isBlank(v.back()));
    const bool pairAtEnds = v.size() >= 2 && isQuote(v.front()) && v.front() == v.back();
    if (!blankEnds && !pairAtEnds) {
        out += v;
        return;
    }
    const bool inner = unwraps(v);
    for (const QChar q : {QChar(u'"'), QChar(u'\'')}) {
        if (inner || !v.contains(q)) {
            out += q;
            out += v;
            out += q;
            return;
        }
    }
    // Both kinds of quote inside: no pair can be added, and our reader keeps
    // the value as it stands but for the blanks at its ends, which it trims.
    // Those are dropped here, and what is left may want quotes of its own.
    // No value that ModINI hands out has blanks at its start.
    if (!blankEnds) {
        out += v;
        return;
    }
    appendQuoted(out, trimmed(v));
}

} // namespace

QStringView IniDocument::text(const Line &line) const
{
    return QStringView(m_text).sliced(line.textStart, line.textLength);
}

QStringView IniDocument::valueOf(const Line &line) const
{
    return unquoted(trimmed(text(line).sliced(line.valueStart)));
}

// Section headers and keys as the Windows functions see them; a repeated
// header is not looked at, as they do not.
void IniDocument::classify(Line &line) const
{
    const QStringView view = text(line);
    qsizetype i = 0;
    while (i < view.size() && isBlank(view[i]))
        ++i;
    if (i == view.size())
        return;
    if (view[i] == u';') {
        line.kind = Kind::Comment;
    } else if (view[i] == u'[') {
        qsizetype close = view.indexOf(QChar(u']'), i + 1);
        if (close < 0)
            close = view.size();
        const QStringView name = trimmed(view.sliced(i + 1, close - i - 1));
        line.kind = Kind::Section;
        line.nameStart = name.data() - view.data();
        line.nameLength = name.size();
    } else if (const qsizetype eq = view.indexOf(QChar(u'=')); eq >= 0) {
        const QStringView name = trimmed(view.first(eq));
        line.kind = Kind::Key;
        line.nameStart = name.data() - view.data();
        line.nameLength = name.size();
        line.valueStart = eq + 1;
    }
}

namespace {

// Equal for names that compare equal without regard to case, so that a look-up
// needs no folded copy of the name.
size_t nameHash(QStringView name)
{
    size_t hash = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        char32_t c = name[i].unicode();
        if (name[i].isHighSurrogate() && i + 1 < name.size() && name[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(name[i], name[i + 1]);
            ++i;
        }
        hash
            = hash * 31 + (c < 0x80 ? (c >= 'A' && c <= 'Z' ? c + 32 : c) : QChar::toCaseFolded(c));
    }
    return hash;
}

} // namespace

qsizetype IniDocument::sectionIndex(QStringView name) const
{
    const QStringView wanted = trimmed(name);
    const auto matches = [&](qsizetype s) {
        const Line &header = m_lines[size_t(m_sectionStart[size_t(s)])];
        return text(header)
                   .sliced(header.nameStart, header.nameLength)
                   .compare(wanted, Qt::CaseInsensitive)
            == 0;
    };
    qsizetype found = m_index.value(nameHash(wanted), -1);
    if (found >= 0 && !matches(found)) { // another name of the same hash
        found = -1;
        for (qsizetype s = 1; s < qsizetype(m_sectionStart.size()) && found < 0; ++s)
            found = matches(s) ? s : -1;
    }
    return found;
}

qsizetype IniDocument::sectionEnd(qsizetype section) const
{
    return size_t(section) + 1 < m_sectionStart.size() ? m_sectionStart[size_t(section) + 1]
                                                       : qsizetype(m_lines.size());
}

// The line of the first key of that name in the section, or -1.
qsizetype IniDocument::findKey(qsizetype section, QStringView key) const
{
    const QStringView name = trimmed(key);
    for (qsizetype i = m_sectionStart[size_t(section)], end = sectionEnd(section); i < end; ++i) {
        const Line &line = m_lines[size_t(i)];
        if (line.kind == Kind::Key
            && text(line).sliced(line.nameStart, line.nameLength).compare(name, Qt::CaseInsensitive)
                == 0)
            return i;
    }
    return -1;
}

// Reading a file's bytes into a document, in steps: detect the encoding,
// scan the lines, add each, and choose the style of new lines. Positions
// count code units (UTF-16) or bytes from the byte-order mark on.
class IniDocument::Reader {
public:
    Reader(IniDocument &doc, const QByteArray &bytes)
        : m_doc(doc)
        , m_bytes(bytes)
    { }

    void read()
    {
        detectEncoding();
        for (qsizetype k = 0; k < m_count;)
            k = addLine(k);
        chooseNewLineStyle();
    }

private:
    void detectEncoding();
    qsizetype addLine(qsizetype from);
    qsizetype endLine(qsizetype stop, Line &line);
    void decode(Line &line, qsizetype from, qsizetype stop);
    void chooseNewLineStyle();

    char16_t at(qsizetype k) const { return m_wide ? m_units[k].unicode() : m_base[k]; }
    qsizetype find(char16_t c, qsizetype from, qsizetype to) const
    {
        if (m_wide)
            return from + m_units.sliced(from, to - from).indexOf(QChar(c));
        const void *hit = std::memchr(m_base + from, c, size_t(to - from));
        return hit ? static_cast<const unsigned char *>(hit) - m_base : from - 1;
    }
    // The next line break of each kind, found once for all the lines before it.
    qsizetype nextBreak(char16_t c, qsizetype from, qsizetype &cached) const
    {
        if (cached < from) {
            cached = find(c, from, m_count);
            if (cached < from)
                cached = m_count;
        }
        return cached;
    }

    IniDocument &m_doc;
    const QByteArray &m_bytes;
    const unsigned char *m_base = nullptr; // the first byte after the byte-order mark
    QStringView m_units; // a UTF-16 file's text, which the reading leaves as it is
    qsizetype m_count = 0; // code units or bytes, the mark and an odd last byte left out
    qsizetype m_unit = 1; // bytes a code unit
    bool m_wide = false;
    qsizetype m_nextLf = -1, m_nextCr = -1;
    qsizetype m_crlf = 0, m_lf = 0, m_cr = 0, m_utf8Lines = 0, m_cp1252Lines = 0;
    // A byte-order mark inside a line is text.
    QStringDecoder m_utf8 {QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom};
};

// A UTF-16 file's code units are its text, copied as they stand so that even
// unpaired surrogates come back unchanged. An 8-bit file's text is that of its
// section and key lines only, decoded as they are added.
void IniDocument::Reader::detectEncoding()
{
    IniDocument &doc = m_doc;
    qsizetype pos = 0, end = m_bytes.size();
    if (m_bytes.startsWith("\xFF\xFE"))
        doc.m_wide = Encoding::Utf16Le;
    else if (m_bytes.startsWith("\xFE\xFF"))
        doc.m_wide = Encoding::Utf16Be;
    m_wide = doc.m_wide != Encoding::Ascii;
    if (m_wide) {
        pos = 2;
        end -= (end - pos) % 2;
    } else if (m_bytes.startsWith(Utf8Bom)) {
        pos = Utf8Bom.size();
    }
    doc.m_prefixLength = pos;
    doc.m_tailStart = end;
    m_base = reinterpret_cast<const unsigned char *>(m_bytes.constData()) + pos;
    m_unit = m_wide ? 2 : 1;
    m_count = (end - pos) / m_unit;
    if (m_wide) {
        doc.m_text.resize(m_count);
        char16_t *out = reinterpret_cast<char16_t *>(doc.m_text.data());
        const bool le = doc.m_wide == Encoding::Utf16Le;
        for (qsizetype k = 0; k < m_count; ++k) {
            const char16_t a = m_base[2 * k], b = m_base[2 * k + 1];
            out[k] = le ? char16_t(a | (b << 8)) : char16_t((a << 8) | b);
        }
        m_units = doc.m_text;
    } else {
        // No line decodes to more code units than it has bytes.
        doc.m_text.reserve(m_count);
    }
    // Room for the lines of a file of the list at one go.
    doc.m_lines.reserve(size_t(std::min<qsizetype>(m_count / 16 + 4, 4096)));
}

// Sets the line's end, counted for the new-line style, and returns where the
// next line starts.
qsizetype IniDocument::Reader::endLine(qsizetype stop, Line &line)
{
    if (stop == m_count)
        return m_count;
    if (at(stop) == u'\r' && stop + 1 < m_count && at(stop + 1) == u'\n') {
        line.eol = Eol::CrLf;
        ++m_crlf;
        return stop + 2;
    }
    line.eol = at(stop) == u'\n' ? Eol::Lf : Eol::Cr;
    ++(at(stop) == u'\n' ? m_lf : m_cr);
    return stop + 1;
}

// Only section and key lines are looked at or changed; the bytes of the
// others are enough. Their marks are ASCII in every encoding.
void IniDocument::Reader::decode(Line &line, qsizetype from, qsizetype stop)
{
    qsizetype first = from;
    while (first < stop && isBlank(at(first)))
        ++first;
    if (first == stop
        || (at(first) != u'[' && (at(first) == u';' || find(u'=', first, stop) < first)))
        return;
    if (m_wide) {
        line.textStart = from;
        line.textLength = stop - from;
    } else {
        QString &text = m_doc.m_text;
        const QByteArrayView raw(m_bytes.constData() + line.rawStart, line.rawLength);
        line.textStart = text.size();
        text.resize(line.textStart + raw.size());
        QChar *out = text.data() + line.textStart;
        out = line.encoding == Encoding::Utf8 ? m_utf8.appendToBuffer(out, raw)
                                              : decodeCp1252(raw, out);
        text.truncate(out - text.constData());
        line.textLength = text.size() - line.textStart;
    }
    m_doc.classify(line);
}

qsizetype IniDocument::Reader::addLine(qsizetype from)
{
    Line line;
    const qsizetype stop
        = std::min(nextBreak(u'\n', from, m_nextLf), nextBreak(u'\r', from, m_nextCr));
    line.rawStart = m_doc.m_prefixLength + from * m_unit;
    line.rawLength = qint32((stop - from) * m_unit);
    const qsizetype next = endLine(stop, line);
    const QByteArrayView raw(m_bytes.constData() + line.rawStart, line.rawLength);
    if (m_wide) {
        line.encoding = m_doc.m_wide;
    } else if (!isAscii(raw)) {
        line.encoding = raw.isValidUtf8() ? Encoding::Utf8 : Encoding::Cp1252;
        ++(line.encoding == Encoding::Utf8 ? m_utf8Lines : m_cp1252Lines);
    }
    decode(line, from, stop);
    if (line.kind == Kind::Section) {
        const QStringView name = m_doc.text(line).sliced(line.nameStart, line.nameLength);
        if (m_doc.sectionIndex(name) < 0)
            m_doc.m_index.insert(nameHash(name), qsizetype(m_doc.m_sectionStart.size()));
        m_doc.m_sectionStart.push_back(qsizetype(m_doc.m_lines.size()));
    }
    m_doc.m_lines.push_back(line);
    return next;
}

// New lines take the file's most frequent line end, and in a file whose other
// lines are Windows-1252 (and that has no UTF-8 mark) that encoding.
void IniDocument::Reader::chooseNewLineStyle()
{
    if (m_crlf > m_lf)
        m_doc.m_newline = Eol::CrLf;
    else if (m_lf == 0 && m_cr > 0)
        m_doc.m_newline = Eol::Cr;
    if (m_cp1252Lines > 0 && m_utf8Lines == 0 && !m_doc.m_prefixLength)
        m_doc.m_newLines = Encoding::Cp1252;
}

IniDocument IniDocument::fromBytes(const QByteArray &bytes)
{
    IniDocument doc;
    doc.m_source = bytes;
    Reader(doc, bytes).read();
    return doc;
}

std::optional<QString> IniDocument::value(const QString &section, QStringView key) const
{
    const qsizetype s = sectionIndex(section);
    const qsizetype k = s < 0 ? -1 : findKey(s, key);
    if (k < 0)
        return std::nullopt;
    return valueOf(m_lines[size_t(k)]).toString();
}

IniDocument::Line IniDocument::lineFrom(qsizetype textStart) const
{
    Line line;
    line.textStart = textStart;
    line.textLength = m_text.size() - textStart;
    line.eol = m_newline;
    classify(line);
    return line;
}

void IniDocument::terminateLastLine()
{
    if (!m_lines.empty() && m_lines.back().eol == Eol::None)
        m_lines.back().eol = m_newline;
}

bool IniDocument::canHold(const QString &section, const QString &key, const QString &value) const
{
    const QStringView k = trimmed(key);
    const bool namesFit = !trimmed(section).isEmpty() && !section.contains(QChar(u']'))
        && !k.isEmpty() && !k.contains(QChar(u'=')) && !k.startsWith(u'[') && !k.startsWith(u';')
        && !hasControl(section) && !hasControl(key);
    const bool encodable = m_wide != Encoding::Ascii
        || (QStringView(section).isValidUtf16() && k.isValidUtf16()
            && QStringView(value).isValidUtf16());
    // One the file holds already may stay: setting it again writes nothing.
    return namesFit && encodable && (!hasControl(value) || this->value(section, key) == value);
}

bool IniDocument::setValue(const QString &section, const QString &key, const QString &value)
{
    if (!canHold(section, key, value))
        return false;

    qsizetype s = sectionIndex(section);
    if (s < 0) { // a header at the end; the key then goes in as into any section
        terminateLastLine();
        const qsizetype headerStart = m_text.size();
        m_text += u'[';
        m_text += section;
        m_text += u']';
        s = qsizetype(m_sectionStart.size());
        m_index.insert(nameHash(trimmed(section)), s);
        m_sectionStart.push_back(qsizetype(m_lines.size()));
        m_lines.push_back(lineFrom(headerStart));
    }
    const qsizetype start = m_text.size();
    if (const qsizetype found = findKey(s, key); found >= 0) {
        Line &line = m_lines[size_t(found)];
        if (valueOf(line) == value)
            return true;
        // Room first, so that the part kept can be copied from the text itself.
        m_text.reserve(start + line.valueStart + value.size() + 3);
        m_text += text(line).first(line.valueStart);
        appendQuoted(m_text, value);
        Line changed = lineFrom(start);
        // A value with both kinds of quote reads back without the blanks at
        // its ends, and written again is the same line.
        if (text(changed) == text(line)) {
            m_text.truncate(start);
            return true;
        }
        changed.encoding = line.encoding;
        changed.eol = line.eol;
        line = changed;
    } else {
        // After the section's last key, so that blank lines and the comments
        // that lead into the next section stay where they are.
        qsizetype after = m_sectionStart[size_t(s)];
        const qsizetype end = sectionEnd(s);
        for (qsizetype i = after + 1; i < end; ++i) {
            if (m_lines[size_t(i)].kind == Kind::Key)
                after = i;
        }
        if (after + 1 == qsizetype(m_lines.size()))
            terminateLastLine();
        m_text += key;
        m_text += u'=';
        appendQuoted(m_text, value);
        m_lines.insert(m_lines.begin() + after + 1, lineFrom(start));
        for (size_t t = size_t(s) + 1; t < m_sectionStart.size(); ++t)
            ++m_sectionStart[t];
    }
    m_modified = true;
    return true;
}

bool IniDocument::removeKey(const QString &section, QStringView key)
{
    const qsizetype s = sectionIndex(section);
    if (s < 0)
        return false;
    qsizetype removed = 0;
    for (qsizetype k = findKey(s, key); k >= 0; k = findKey(s, key)) {
        m_lines.erase(m_lines.begin() + k);
        for (size_t t = size_t(s) + 1; t < m_sectionStart.size(); ++t)
            --m_sectionStart[t];
        ++removed;
    }
    m_modified = m_modified || removed > 0;
    return removed > 0;
}

void IniDocument::appendEol(QByteArray &out, Eol eol) const
{
    const char *units = eol == Eol::CrLf ? "\r\n"
        : eol == Eol::Lf                 ? "\n"
        : eol == Eol::Cr                 ? "\r"
                                         : "";
    for (; *units; ++units) {
        if (m_wide == Encoding::Utf16Le)
            out.append(*units).append('\0');
        else if (m_wide == Encoding::Utf16Be)
            out.append('\0').append(*units);
        else
            out.append(*units);
    }
}

void IniDocument::appendText(QByteArray &out, const Line &line) const
{
    const QStringView lineText = text(line);
    const qsizetype start = out.size();
    if (m_wide != Encoding::Ascii) {
        const bool le = m_wide == Encoding::Utf16Le;
        for (const QChar c : lineText) {
            const auto hi = char(c.unicode() >> 8), lo = char(c.unicode() & 0xFF);
            out.append(le ? lo : hi).append(le ? hi : lo);
        }
        return;
    }
    // Windows-1252 bytes that also form UTF-8 would read back as other text.
    const Encoding encoding = line.encoding == Encoding::Ascii ? m_newLines : line.encoding;
    if (encoding == Encoding::Cp1252 && encodeCp1252(lineText, out)) {
        const QByteArrayView bytes = QByteArrayView(out).sliced(start);
        if (isAscii(bytes) || !bytes.isValidUtf8())
            return;
    }
    out.resize(start + 3 * lineText.size());
    QStringEncoder utf8(QStringConverter::Utf8);
    out.truncate(utf8.appendToBuffer(out.data() + start, lineText) - out.constData());
}

QByteArray IniDocument::toBytes() const
{
    QByteArray out;
    out.reserve(m_source.size());
    out.append(m_source.constData(), m_prefixLength);
    for (const Line &line : m_lines) {
        if (line.rawLength >= 0)
            out.append(m_source.constData() + line.rawStart, line.rawLength);
        else
            appendText(out, line);
        appendEol(out, line.eol);
    }
    out.append(m_source.constData() + m_tailStart, m_source.size() - m_tailStart);
    return out;
}

} // namespace velkora
