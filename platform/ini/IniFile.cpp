#include "platform/ini/IniFile.h"

#include "platform/core/FileDescriptor.h"
#include "platform/core/Log.h"
#include "platform/core/NativePath.h"

#include <QRandomGenerator>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/falloc.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#include <utility>

namespace velkora {

namespace {

// Larger files count as unreadable: parsing them would only eat memory, and a
// save then fails instead of losing them.
constexpr qint64 MaxFileSize = 64 * 1024 * 1024;
constexpr int MaxLinkDepth = 40;
constexpr int LeftoverSeconds = 60;

// Windows-1252 for 0x80 to 0x9F. The five bytes that code page leaves
// undefined map to the C1 control of the same number, so they round-trip.
constexpr std::array<char16_t, 32> Cp1252High
    = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
       0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
       0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

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

// Also ASCII, which Windows-1252 holds as it is.
QChar *decodeCp1252(QByteArrayView bytes, QChar *out)
{
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *out++ = QChar((b >= 0x80 && b < 0xA0) ? Cp1252High[b - 0x80] : char16_t(b));
    }
    return out;
}

// Appends text to out; false, with out as it was, for a character that
// Windows-1252 cannot hold.
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

IniDocument IniDocument::fromBytes(const QByteArray &bytes)
{
    IniDocument doc;
    doc.m_source = bytes;
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    qsizetype pos = 0, end = bytes.size();
    if (bytes.startsWith("\xFF\xFE"))
        doc.m_wide = Encoding::Utf16Le;
    else if (bytes.startsWith("\xFE\xFF"))
        doc.m_wide = Encoding::Utf16Be;
    const bool wide = doc.m_wide != Encoding::Ascii;
    if (wide) {
        pos = 2;
        end -= (end - pos) % 2;
    } else if (bytes.startsWith(Utf8Bom)) {
        pos = Utf8Bom.size();
    }
    doc.m_prefixLength = pos;
    doc.m_tailStart = end;

    // A UTF-16 file's code units are its text, copied as they stand so that
    // even unpaired surrogates come back unchanged. An 8-bit file's text is
    // that of its section and key lines only.
    if (wide) {
        doc.m_text.resize((end - pos) / 2);
        char16_t *out = reinterpret_cast<char16_t *>(doc.m_text.data());
        const bool le = doc.m_wide == Encoding::Utf16Le;
        for (qsizetype k = 0; k < doc.m_text.size(); ++k) {
            const char16_t a = p[pos + 2 * k], b = p[pos + 2 * k + 1];
            out[k] = le ? char16_t(a | (b << 8)) : char16_t((a << 8) | b);
        }
    }
    // Positions below count code units (UTF-16) or bytes from the prefix on.
    const QString units = wide ? doc.m_text : QString();
    const qsizetype unit = wide ? 2 : 1, count = wide ? units.size() : end - pos;
    // Room for the lines of a file of the list at one go, and for all the
    // text: no line decodes to more code units than it has bytes.
    doc.m_lines.reserve(size_t(std::min<qsizetype>(count / 16 + 4, 4096)));
    if (!wide)
        doc.m_text.reserve(count);
    const unsigned char *base = p + pos;
    const auto at = [&](qsizetype k) -> char16_t { return wide ? units[k].unicode() : base[k]; };
    const auto find = [&](char16_t c, qsizetype from, qsizetype to) {
        if (wide)
            return from + QStringView(units).sliced(from, to - from).indexOf(QChar(c));
        const void *hit = std::memchr(base + from, c, size_t(to - from));
        return hit ? static_cast<const unsigned char *>(hit) - base : from - 1;
    };
    // The next line break of each kind, found once for all the lines before it.
    qsizetype nextLf = -1, nextCr = -1;
    const auto nextBreak = [&](char16_t c, qsizetype from, qsizetype &cached) {
        if (cached < from) {
            cached = find(c, from, count);
            if (cached < from)
                cached = count;
        }
        return cached;
    };
    // A byte-order mark inside a line is text.
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    qsizetype crlf = 0, lf = 0, cr = 0, utf8Lines = 0, cp1252Lines = 0;
    for (qsizetype k = 0; k < count;) {
        Line line;
        const qsizetype stop = std::min(nextBreak(u'\n', k, nextLf), nextBreak(u'\r', k, nextCr));
        line.rawStart = pos + k * unit;
        line.rawLength = (stop - k) * unit;
        qsizetype next = stop + 1;
        if (stop == count) {
            next = count;
        } else if (at(stop) == u'\r' && stop + 1 < count && at(stop + 1) == u'\n') {
            line.eol = Eol::CrLf;
            ++crlf;
            next = stop + 2;
        } else {
            line.eol = at(stop) == u'\n' ? Eol::Lf : Eol::Cr;
            ++(at(stop) == u'\n' ? lf : cr);
        }
        const QByteArrayView raw(bytes.constData() + line.rawStart, line.rawLength);
        if (wide) {
            line.encoding = doc.m_wide;
        } else if (!isAscii(raw)) {
            line.encoding = raw.isValidUtf8() ? Encoding::Utf8 : Encoding::Cp1252;
            ++(line.encoding == Encoding::Utf8 ? utf8Lines : cp1252Lines);
        }
        // Only section and key lines are looked at or changed; the bytes of
        // the others are enough. Their marks are ASCII in every encoding.
        qsizetype first = k;
        while (first < stop && (at(first) == u' ' || at(first) == u'\t'))
            ++first;
        if (first < stop
            && (at(first) == u'[' || (at(first) != u';' && find(u'=', first, stop) >= first))) {
            if (wide) {
                line.textStart = k;
            } else {
                line.textStart = doc.m_text.size();
                doc.m_text.resize(line.textStart + raw.size());
                QChar *out = doc.m_text.data() + line.textStart;
                if (line.encoding == Encoding::Utf8)
                    out = utf8.appendToBuffer(out, raw);
                else
                    out = decodeCp1252(raw, out);
                doc.m_text.truncate(out - doc.m_text.constData());
            }
            line.textLength = wide ? stop - k : doc.m_text.size() - line.textStart;
            doc.classify(line);
        }
        k = next;
        if (line.kind == Kind::Section) {
            const QStringView name = doc.text(line).sliced(line.nameStart, line.nameLength);
            if (doc.sectionIndex(name) < 0)
                doc.m_index.insert(nameHash(name), qsizetype(doc.m_sectionStart.size()));
            doc.m_sectionStart.push_back(qsizetype(doc.m_lines.size()));
        }
        doc.m_lines.push_back(line);
    }
    if (crlf > lf)
        doc.m_newline = Eol::CrLf;
    else if (lf == 0 && cr > 0)
        doc.m_newline = Eol::Cr;
    if (cp1252Lines > 0 && utf8Lines == 0 && !doc.m_prefixLength)
        doc.m_newLines = Encoding::Cp1252;
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

QString IniIoStatus::toString() const
{
    return QStringLiteral("%1: errno %2 (%3)")
        .arg(QLatin1String(step))
        .arg(error)
        .arg(qt_error_string(error));
}

namespace {

IniIoStatus failure(const char *step, int error = errno)
{
    return {error, step};
}

// The file a write must replace: a symbolic link is followed to its target,
// which may not exist yet (then *exists is false, else *st describes it).
// Empty on a loop or an unreadable link.
QByteArray writeTarget(const QByteArray &path, struct stat *st, bool *exists)
{
    QByteArray p = path;
    for (int depth = 0; depth < MaxLinkDepth; ++depth) {
        *exists = ::lstat(p.constData(), st) == 0;
        if (!*exists)
            return errno == ENOENT ? p : QByteArray();
        if (!S_ISLNK(st->st_mode))
            return p;
        QByteArray link(PATH_MAX, Qt::Uninitialized);
        const ssize_t n = ::readlink(p.constData(), link.data(), size_t(link.size()));
        if (n <= 0 || n >= link.size())
            return {};
        link.truncate(n);
        const qsizetype slash = p.lastIndexOf('/');
        p = link.startsWith('/') || slash < 0 ? link : p.first(slash + 1) + link;
    }
    return {};
}

// What a write replaces, and where its temporary file goes.
struct Target {
    QByteArray path; // the file itself, links followed
    QByteArray dir; // its folder with the final "/", empty for the current one
    QByteArray prefix; // the names of its temporary files start so
    struct stat old = {};
    bool exists = false;

    const char *folder() const { return dir.isEmpty() ? "." : dir.constData(); }
};

IniIoStatus findTarget(const QByteArray &path, Target *target)
{
    const struct stat &old = target->old;
    target->path = writeTarget(path, &target->old, &target->exists);
    if (target->path.isEmpty())
        return failure("readlink", ELOOP);
    if (target->exists && !S_ISREG(old.st_mode))
        return failure("stat", S_ISDIR(old.st_mode) ? EISDIR : EINVAL);
    // Root may write anything, but a file without a write bit is meant to stay.
    if (target->exists && (old.st_mode & 0222) == 0)
        return failure("access", EACCES);
    if (target->exists && ::faccessat(AT_FDCWD, target->path.constData(), W_OK, AT_EACCESS) != 0)
        return failure("access");
    const qsizetype slash = target->path.lastIndexOf('/');
    const QByteArrayView name = QByteArrayView(target->path).sliced(slash + 1);
    target->dir = target->path.first(slash + 1);
    target->prefix
        = '.' + name.first(std::min<qsizetype>(200, name.size())).toByteArray() + ".tmp-";
    return {};
}

bool writeAll(int fd, const char *data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        data += n;
        size -= size_t(n);
    }
    return true;
}

bool syncFd(int fd)
{
    int r;
    do {
        r = ::fsync(fd);
    } while (r != 0 && errno == EINTR);
    return r == 0;
}

// Reads from fd to its end; false with errno set on a read error, or with
// EFBIG for more than the largest file taken. sizeHint is what fstat said.
bool readAll(int fd, qint64 sizeHint, QByteArray *bytes)
{
    bytes->resize(qsizetype(std::min(sizeHint, MaxFileSize)) + 1);
    qsizetype filled = 0;
    for (;;) {
        if (filled == bytes->size()) {
            if (bytes->size() > MaxFileSize) {
                errno = EFBIG;
                return false;
            }
            bytes->resize(bytes->size() + 4096);
        }
        const ssize_t n = ::read(fd, bytes->data() + filled, size_t(bytes->size() - filled));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        filled += n;
    }
    bytes->truncate(filled);
    return true;
}

// A write killed between creating its temporary file and the rename leaves
// that file behind. The age spares a write that runs at this moment.
void removeLeftovers(const Target &target)
{
    DIR *d = ::opendir(target.folder());
    if (!d)
        return;
    const time_t limit = ::time(nullptr) - LeftoverSeconds;
    while (const dirent *entry = ::readdir(d)) {
        struct stat st;
        if (QByteArrayView(entry->d_name).startsWith(target.prefix)
            && ::fstatat(::dirfd(d), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0
            && S_ISREG(st.st_mode) && st.st_mtime < limit)
            ::unlinkat(::dirfd(d), entry->d_name, 0);
    }
    ::closedir(d);
}

// The new content's file until it takes the target's place. Where the file
// system allows it, it has no name until it is complete (O_TMPFILE, then
// linkat), so that a kill before leaves nothing; else it is created under a
// hidden name beside the target. Whatever has not been renamed into place is
// removed when it goes.
class Temporary {
public:
    Temporary() = default;
    Temporary(const Temporary &) = delete;
    Temporary &operator=(const Temporary &) = delete;
    ~Temporary() { discard(); }

    int fd() const { return m_fd; }

    IniIoStatus create(const Target &target)
    {
        // A new file gets the usual mode (umask applies); a replaced one gets
        // its old mode later, and is private until then. linkat needs
        // /proc/self/fd: without it, unnamed files cannot be given a name.
        const mode_t mode = target.exists ? 0600 : 0666;
        if (::access("/proc/self/fd", X_OK) == 0) {
            m_fd = ::open(target.folder(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
            // Older kernels and some file systems have no unnamed files.
            if (m_fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL))
                return m_fd >= 0 ? IniIoStatus() : failure("create");
        }
        return named(
            target,
            [&](const QByteArray &name) {
                m_fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY,
                              mode);
                return m_fd >= 0;
            },
            "create");
    }

    // Gives an unnamed file its name; a named one has it already.
    IniIoStatus link(const Target &target)
    {
        if (!m_name.isEmpty())
            return {};
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(m_fd);
        return named(
            target,
            [&](const QByteArray &name) {
                return ::linkat(AT_FDCWD, self.constData(), AT_FDCWD, name.constData(),
                                AT_SYMLINK_FOLLOW)
                    == 0;
            },
            "linkat");
    }

    IniIoStatus rename(const Target &target)
    {
        if (::rename(m_name.constData(), target.path.constData()) != 0)
            return failure("rename");
        m_name.clear();
        return {};
    }

    void discard()
    {
        if (m_fd >= 0)
            ::close(std::exchange(m_fd, -1));
        if (!m_name.isEmpty())
            ::unlink(std::exchange(m_name, {}).constData());
    }

private:
    // Tries fresh random names until make takes one.
    template<typename Make> IniIoStatus named(const Target &target, Make make, const char *step)
    {
        for (int attempt = 0; attempt < 100; ++attempt) {
            const QByteArray name = target.dir + target.prefix
                + QByteArray::number(QRandomGenerator::global()->bounded(36 * 36 * 36 * 36), 36);
            if (make(name)) {
                m_name = name;
                return {};
            }
            if (errno != EEXIST)
                return failure(step);
        }
        return failure(step, EEXIST);
    }

    int m_fd = -1;
    QByteArray m_name;
};

// Puts the old content back after a failed write in place.
void restore(int fd, const Target &target, const QByteArray &old)
{
    if (::lseek(fd, 0, SEEK_SET) != 0 || !writeAll(fd, old.constData(), size_t(old.size()))
        || ::ftruncate(fd, old.size()) != 0 || !syncFd(fd))
        qCWarning(lcConfig, "cannot put back the old content of \"%s\": errno %d",
                  target.path.constData(), errno);
}

// The file where it stands, for when a replacement could not keep it as it
// is: its inode, and with it owner, group, mode and hard links, stays. Room
// for the new content is reserved first (FALLOC_FL_KEEP_SIZE: posix_fallocate
// would grow the file with NULs), so that a full disk stops the save before
// the first byte changes; should a write fail all the same, the old bytes go
// back. Only a kill between the write and the truncation leaves a mixed file.
IniIoStatus writeInPlace(const Target &target, const QByteArray &bytes, const char *why)
{
    const FileDescriptor fd(
        ::open(target.path.constData(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK));
    struct stat st;
    QByteArray old;
    if (fd.get() < 0)
        return failure("open");
    if (::fstat(fd.get(), &st) != 0)
        return failure("fstat");
    if (!S_ISREG(st.st_mode) || st.st_ino != target.old.st_ino || st.st_dev != target.old.st_dev)
        return failure("open", EAGAIN); // replaced meanwhile
    if (!readAll(fd.get(), st.st_size, &old))
        return failure("read");
    if (!bytes.isEmpty() && ::fallocate(fd.get(), FALLOC_FL_KEEP_SIZE, 0, bytes.size()) != 0
        && errno != EOPNOTSUPP && errno != ENOSYS)
        return failure("fallocate");
    qCInfo(lcConfig, "writing \"%s\" in place: %s", target.path.constData(), why);
    IniIoStatus status;
    if (::lseek(fd.get(), 0, SEEK_SET) != 0
        || !writeAll(fd.get(), bytes.constData(), size_t(bytes.size())))
        status = failure("write");
    else if (::ftruncate(fd.get(), bytes.size()) != 0)
        status = failure("ftruncate");
    else if (!syncFd(fd.get()))
        status = failure("fsync");
    if (!status.ok())
        restore(fd.get(), target, old);
    return status;
}

// The new file is in place; a folder that cannot be synced leaves it there,
// only less sure to survive a power cut.
void syncFolder(const Target &target)
{
    const FileDescriptor folder(::open(target.folder(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0 || (!syncFd(folder.get()) && errno != EINVAL))
        qCWarning(lcConfig, "cannot sync the folder of \"%s\": errno %d", target.path.constData(),
                  errno);
}

} // namespace

IniIoStatus readIniFile(const QString &path, IniDocument &document)
{
    document = IniDocument();
    // O_NONBLOCK keeps a FIFO put in place of the file from blocking the open.
    const FileDescriptor fd(
        ::open(pathToNative(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.get() < 0)
        return errno == ENOENT ? IniIoStatus() : failure("open");
    struct stat st;
    if (::fstat(fd.get(), &st) != 0)
        return failure("fstat");
    if (!S_ISREG(st.st_mode))
        return failure("open", S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    if (st.st_size > MaxFileSize)
        return failure("read", EFBIG);
    QByteArray bytes;
    if (!readAll(fd.get(), st.st_size, &bytes))
        return failure("read");
    document = IniDocument::fromBytes(bytes);
    return {};
}

IniIoStatus writeIniFile(const QString &path, const IniDocument &document)
{
    return replaceFile(path, document.toBytes());
}

IniIoStatus replaceFile(const QString &path, const QByteArray &bytes)
{
    Target target;
    if (const IniIoStatus refused = findTarget(pathToNative(path), &target); !refused.ok())
        return refused;
    Temporary temp;
    IniIoStatus status = temp.create(target);
    // Only the file itself can keep what a new file would not get.
    if (!status.ok() && target.exists && (status.error == EACCES || status.error == EPERM))
        return writeInPlace(target, bytes, "its folder takes no new file");
    if (status.ok() && target.exists
        && ::fchown(temp.fd(), target.old.st_uid, target.old.st_gid) != 0) {
        temp.discard();
        return writeInPlace(target, bytes, "a new file could not get its owner and group");
    }
    if (status.ok() && target.exists && ::fchmod(temp.fd(), target.old.st_mode & 07777) != 0)
        status = failure("fchmod");
    if (status.ok() && !writeAll(temp.fd(), bytes.constData(), size_t(bytes.size())))
        status = failure("write");
    if (status.ok() && !syncFd(temp.fd()))
        status = failure("fsync");
    if (status.ok())
        status = temp.link(target);
    if (status.ok())
        status = temp.rename(target);
    if (!status.ok())
        return status;
    syncFolder(target);
    removeLeftovers(target);
    return status;
}

} // namespace velkora
