#include "platform/IniFile.h"

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>
#include <QSet>
#include <QStringDecoder>

#include <array>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace velkora::IniFile {

namespace {

// Larger files count as unreadable: reading them would only eat memory, and a
// write then fails instead of losing them.
constexpr qint64 MaxFileSize = 256 * 1024 * 1024;
constexpr int MaxLinkDepth = 40;

enum class Encoding { Utf8, Utf8Bom, Utf16Le, Cp1252 };

// Windows-1252 for 0x80 to 0x9F. The five bytes that code page leaves
// undefined map to the C1 control of the same number, so they round-trip.
constexpr std::array<char16_t, 32> Cp1252High
    = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
       0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
       0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

const QByteArray Utf8Bom = QByteArrayLiteral("\xEF\xBB\xBF");
const QByteArray Utf16LeBom = QByteArrayLiteral("\xFF\xFE");

enum class LineKind : quint8 { Other, Comment, Section, Key };

struct Line {
    qsizetype start = 0;
    qsizetype length = 0; // without the line end
    qsizetype end = 0; // after the line end
    qsizetype nameStart = 0;
    qsizetype nameLength = 0;
    qsizetype valueStart = 0; // right after "=" of a key line
    LineKind kind = LineKind::Other;
};

struct Document {
    QString text;
    std::vector<Line> lines;
    QHash<QString, qsizetype> sections; // folded name -> line of its first header
    Encoding encoding = Encoding::Utf8;
    QString newline = QStringLiteral("\n");
    bool lossless = true; // false: the text does not give back the file's bytes
};

struct FileId {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec mtime {};
    timespec ctime {};

    static FileId of(const struct stat &st)
    {
        return {st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
    }
    bool operator==(const FileId &o) const
    {
        return device == o.device && inode == o.inode && size == o.size
            && mtime.tv_sec == o.mtime.tv_sec && mtime.tv_nsec == o.mtime.tv_nsec
            && ctime.tv_sec == o.ctime.tv_sec && ctime.tv_nsec == o.ctime.tv_nsec;
    }
};

// The last file read or written. Its stat() identity tells whether another
// process has changed the file since. File times advance in coarse ticks, so
// a change made within the tick of the cached copy leaves them alone: while
// the file is that young, its bytes are compared as well.
struct Cache {
    QString path;
    QByteArray nativePath;
    FileId id;
    QByteArray bytes;
    Document doc;
    bool valid = false;
    bool young = false;
};

Cache &cache()
{
    static Cache c;
    return c;
}

bool isYoung(const FileId &id)
{
    constexpr qint64 Tick = 50'000'000; // ns, well above any kernel's timestamp tick
    timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const auto ns = [](const timespec &t) { return qint64(t.tv_sec) * 1'000'000'000 + t.tv_nsec; };
    // Only the change time: anyone may set the modification time, even ahead.
    return ns(now) - ns(id.ctime) < Tick;
}

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

QStringView trimmed(QStringView s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && isBlank(s[b]))
        ++b;
    while (e > b && isBlank(s[e - 1]))
        --e;
    return s.mid(b, e - b);
}

QString foldName(QStringView name)
{
    return trimmed(name).toString().toCaseFolded();
}

void classify(const QString &text, Line &line)
{
    const QStringView view = QStringView(text).mid(line.start, line.length);
    qsizetype i = 0;
    while (i < view.size() && isBlank(view[i]))
        ++i;
    if (i == view.size())
        return;
    if (view[i] == QLatin1Char(';')) {
        line.kind = LineKind::Comment;
    } else if (view[i] == QLatin1Char('[')) {
        qsizetype close = view.indexOf(QLatin1Char(']'), i + 1);
        if (close < 0)
            close = view.size();
        const QStringView name = trimmed(view.mid(i + 1, close - i - 1));
        line.kind = LineKind::Section;
        line.nameStart = line.start + (name.data() - view.data());
        line.nameLength = name.size();
    } else if (const qsizetype eq = view.indexOf(QLatin1Char('=')); eq >= 0) {
        const QStringView name = trimmed(view.left(eq));
        line.kind = LineKind::Key;
        line.nameStart = line.start + (name.data() - view.data());
        line.nameLength = name.size();
        line.valueStart = line.start + eq + 1;
    }
}

// Splits at CR LF, LF and a lone CR, and picks the style for added lines.
void parse(Document &doc)
{
    doc.lines.clear();
    doc.sections.clear();
    const QString &t = doc.text;
    const qsizetype n = t.size();
    const char16_t *d = reinterpret_cast<const char16_t *>(t.constData());
    qsizetype crlf = 0, lf = 0, cr = 0;
    qsizetype pos = 0;
    while (pos < n) {
        Line line;
        line.start = pos;
        qsizetype i = pos;
        while (i < n && d[i] != u'\n' && d[i] != u'\r')
            ++i;
        line.length = i - pos;
        if (i < n && d[i] == u'\r' && i + 1 < n && d[i + 1] == u'\n') {
            ++crlf;
            i += 2;
        } else if (i < n) {
            ++(d[i] == u'\n' ? lf : cr);
            ++i;
        }
        line.end = i;
        classify(t, line);
        if (line.kind == LineKind::Section) {
            const QString name
                = QStringView(t).mid(line.nameStart, line.nameLength).toString().toCaseFolded();
            if (!doc.sections.contains(name)) // a repeated header is not looked at
                doc.sections.insert(name, qsizetype(doc.lines.size()));
        }
        doc.lines.push_back(line);
        pos = i;
    }
    if (crlf > lf)
        doc.newline = QStringLiteral("\r\n");
    else if (lf == 0 && cr > 0)
        doc.newline = QStringLiteral("\r");
    else
        doc.newline = QStringLiteral("\n");
}

bool decodeUtf8(const QByteArray &bytes, qsizetype offset, QString &text)
{
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    const QByteArrayView data(bytes.constData() + offset, bytes.size() - offset);
    text = decoder.decode(data);
    return !decoder.hasError() && text.toUtf8() == data;
}

QString decodeCp1252(const QByteArray &bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        out[i] = (b >= 0x80 && b < 0xA0) ? Cp1252High[b - 0x80] : char16_t(b);
    }
    return text;
}

bool encodeCp1252(const QString &text, QByteArray &bytes)
{
    bytes.resize(text.size());
    char *out = bytes.data();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out[i] = static_cast<char>(c);
            continue;
        }
        qsizetype k = 0;
        while (k < qsizetype(Cp1252High.size()) && Cp1252High[size_t(k)] != c)
            ++k;
        if (k == qsizetype(Cp1252High.size()))
            return false;
        out[i] = static_cast<char>(0x80 + k);
    }
    return true;
}

Document decode(const QByteArray &bytes)
{
    Document doc;
    if (bytes.startsWith(Utf16LeBom)) {
        doc.encoding = Encoding::Utf16Le;
        // Code units are copied as they stand, so even unpaired surrogates
        // are written back unchanged; only an odd last byte cannot be kept.
        const qsizetype units = (bytes.size() - 2) / 2;
        doc.lossless = (bytes.size() - 2) % 2 == 0;
        doc.text.resize(units);
        char16_t *out = reinterpret_cast<char16_t *>(doc.text.data());
        const auto *in = reinterpret_cast<const unsigned char *>(bytes.constData()) + 2;
        for (qsizetype i = 0; i < units; ++i)
            out[i] = char16_t(in[2 * i] | (in[2 * i + 1] << 8));
    } else if (bytes.startsWith(Utf8Bom) && decodeUtf8(bytes, Utf8Bom.size(), doc.text)) {
        doc.encoding = Encoding::Utf8Bom;
    } else if (decodeUtf8(bytes, 0, doc.text)) {
        doc.encoding = Encoding::Utf8;
    } else {
        doc.encoding = Encoding::Cp1252;
        doc.text = decodeCp1252(bytes);
    }
    parse(doc);
    return doc;
}

// Falls back to UTF-8 for the whole file when a character does not fit.
QByteArray encode(Document &doc)
{
    QByteArray bytes;
    switch (doc.encoding) {
    case Encoding::Cp1252:
        // Bytes that the next reading would take for UTF-8 or for a byte-order
        // mark would come back as other text, so such a file becomes UTF-8 too.
        if (encodeCp1252(doc.text, bytes) && !bytes.startsWith(Utf16LeBom)
            && !bytes.startsWith(Utf8Bom)) {
            QString asUtf8;
            if (!decodeUtf8(bytes, 0, asUtf8) || asUtf8 == doc.text)
                return bytes;
        }
        doc.encoding = Encoding::Utf8;
        return doc.text.toUtf8();
    case Encoding::Utf16Le: {
        bytes.resize(2 + 2 * doc.text.size());
        auto *out = reinterpret_cast<unsigned char *>(bytes.data());
        out[0] = 0xFF;
        out[1] = 0xFE;
        for (qsizetype i = 0; i < doc.text.size(); ++i) {
            const char16_t c = doc.text[i].unicode();
            out[2 + 2 * i] = static_cast<unsigned char>(c & 0xFF);
            out[3 + 2 * i] = static_cast<unsigned char>(c >> 8);
        }
        return bytes;
    }
    case Encoding::Utf8Bom:
        return Utf8Bom + doc.text.toUtf8();
    case Encoding::Utf8:
        break;
    }
    return doc.text.toUtf8();
}

// The first key line of the section, or -1.
qsizetype findKey(const Document &doc, qsizetype header, QStringView key)
{
    for (qsizetype i = header + 1; i < qsizetype(doc.lines.size()); ++i) {
        const Line &line = doc.lines[size_t(i)];
        if (line.kind == LineKind::Section)
            break;
        if (line.kind == LineKind::Key
            && QStringView(doc.text)
                    .mid(line.nameStart, line.nameLength)
                    .compare(key, Qt::CaseInsensitive)
                == 0)
            return i;
    }
    return -1;
}

class Fd {
public:
    explicit Fd(int fd)
        : m_fd(fd)
    { }
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// O_NONBLOCK keeps a FIFO put in place of the file from blocking the open.
bool readBytes(const QByteArray &path, QByteArray &bytes, FileId &id)
{
    Fd fd(::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.get() < 0)
        return false;
    struct stat st;
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > MaxFileSize)
        return false;
    id = FileId::of(st);
    bytes.resize(qsizetype(st.st_size));
    qsizetype filled = 0;
    for (;;) {
        if (filled == bytes.size()) {
            if (bytes.size() >= MaxFileSize)
                return false;
            bytes.resize(bytes.size() + 4096);
        }
        const ssize_t n = ::read(fd.get(), bytes.data() + filled, size_t(bytes.size() - filled));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0)
            break;
        filled += n;
    }
    bytes.truncate(filled);
    return true;
}

// The cached document when it still matches the file, otherwise the file read
// anew (and cached). Null when the file is missing or cannot be read.
const Document *currentDocument(const QString &path)
{
    Cache &c = cache();
    if (c.path != path) {
        c.valid = false;
        c.path = path;
        c.nativePath = QFile::encodeName(path);
    }
    struct stat st;
    if (::stat(c.nativePath.constData(), &st) != 0) {
        c.valid = false;
        return nullptr;
    }
    if (c.valid && c.id == FileId::of(st) && !c.young)
        return &c.doc;

    QByteArray bytes;
    FileId id;
    if (!readBytes(c.nativePath, bytes, id)) {
        c.valid = false;
        return nullptr;
    }
    if (!c.valid || bytes != c.bytes)
        c.doc = decode(bytes);
    c.bytes = std::move(bytes);
    c.id = id;
    c.young = isYoung(id);
    c.valid = true;
    return &c.doc;
}

// The file a write must replace: a symbolic link is followed to its target,
// which may not exist yet. Empty on a loop or an unreadable link.
QByteArray writeTarget(const QByteArray &path)
{
    QByteArray p = path;
    for (int depth = 0; depth < MaxLinkDepth; ++depth) {
        struct stat st;
        if (::lstat(p.constData(), &st) != 0)
            return errno == ENOENT ? p : QByteArray();
        if (!S_ISLNK(st.st_mode))
            return p;
        QByteArray link(PATH_MAX, Qt::Uninitialized);
        const ssize_t n = ::readlink(p.constData(), link.data(), size_t(link.size()));
        if (n <= 0 || n >= link.size())
            return {};
        link.truncate(n);
        if (link.startsWith('/')) {
            p = link;
        } else {
            const qsizetype slash = p.lastIndexOf('/');
            p = (slash < 0 ? QByteArray() : p.left(slash + 1)) + link;
        }
    }
    return {};
}

bool writeAll(int fd, const char *data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

// Writes bytes to a new file beside target and renames it over target. The
// old file stays untouched unless every step succeeds.
bool replaceFile(const QByteArray &target, const QByteArray &bytes, const struct stat *old,
                 FileId &newId)
{
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray dir = slash < 0 ? QByteArray() : target.left(slash + 1);
    const QByteArray base = slash < 0 ? target : target.mid(slash + 1);

    QByteArray temp;
    int rawFd = -1;
    for (int attempt = 0; attempt < 100 && rawFd < 0; ++attempt) {
        temp = dir + '.' + base.left(200) + ".tmp-"
            + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        // A new file gets the usual mode (umask applies); a replaced one gets
        // its old mode below, and is private until then.
        rawFd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY,
                       old ? 0600 : 0666);
        if (rawFd < 0 && errno != EEXIST)
            return false;
    }
    if (rawFd < 0)
        return false;
    Fd fd(rawFd);

    bool ok = true;
    if (old) {
        struct stat now;
        if (::fstat(fd.get(), &now) == 0
            && (now.st_uid != old->st_uid || now.st_gid != old->st_gid)) {
            // Without the right to give the file away, keep at least the group.
            if (::fchown(fd.get(), old->st_uid, old->st_gid) != 0
                && ::fchown(fd.get(), uid_t(-1), old->st_gid) != 0) {
                // Neither: the file stays the writer's, as a new file would.
            }
        }
        ok = ::fchmod(fd.get(), old->st_mode & 07777) == 0;
    }
    ok = ok && writeAll(fd.get(), bytes.constData(), size_t(bytes.size()));
    if (ok) {
        int r;
        do {
            r = ::fsync(fd.get());
        } while (r != 0 && errno == EINTR);
        ok = r == 0;
    }
    ok = ok && ::rename(temp.constData(), target.constData()) == 0;
    if (!ok) {
        ::unlink(temp.constData());
        return false;
    }
    // Taken after the rename, which changes the file's ctime.
    struct stat st;
    newId = ::fstat(fd.get(), &st) == 0 ? FileId::of(st) : FileId {};
    return true;
}

// A write killed between creating its temporary file and the rename leaves
// that file behind. Only one copy of the program writes this file, so once per
// run the leftovers are removed; the age test spares a write of this moment.
void removeLeftoverTemps(const QByteArray &target)
{
    static QSet<QByteArray> cleaned;
    if (cleaned.contains(target))
        return;
    cleaned.insert(target);
    const qsizetype slash = target.lastIndexOf('/');
    QDir dir(QFile::decodeName(slash < 0 ? QByteArray(".") : target.left(slash + 1)));
    const QString pattern = QLatin1Char('.') + QFile::decodeName(target.mid(slash + 1).left(200))
        + QLatin1String(".tmp-*");
    const QStringList temps = dir.entryList({pattern}, QDir::Files | QDir::Hidden | QDir::System);
    const QDateTime old = QDateTime::currentDateTimeUtc().addSecs(-60);
    for (const QString &name : temps) {
        if (QFileInfo(dir.filePath(name)).lastModified() < old)
            dir.remove(name);
    }
}

bool validNames(QStringView section, QStringView key, QStringView value)
{
    const auto hasLineEnd = [](QStringView s) {
        return s.contains(QLatin1Char('\n')) || s.contains(QLatin1Char('\r'));
    };
    const QStringView k = trimmed(key);
    return !trimmed(section).isEmpty() && !section.contains(QLatin1Char(']')) && !k.isEmpty()
        && !k.contains(QLatin1Char('=')) && !k.startsWith(QLatin1Char('['))
        && !k.startsWith(QLatin1Char(';')) && !hasLineEnd(section) && !hasLineEnd(key)
        && !hasLineEnd(value);
}

// Puts value under key in section of doc's text and parses the text anew.
void setValue(Document &doc, const QString &section, const QString &key, const QString &value)
{
    const auto header = doc.sections.constFind(foldName(section));
    QString &t = doc.text;
    if (header == doc.sections.cend()) {
        if (!doc.lines.empty()
            && doc.lines.back().end == doc.lines.back().start + doc.lines.back().length)
            t += doc.newline;
        t += QLatin1Char('[') + section + QLatin1Char(']') + doc.newline + key + QLatin1Char('=')
            + value + doc.newline;
    } else if (const qsizetype k = findKey(doc, *header, trimmed(key)); k >= 0) {
        const Line &line = doc.lines[size_t(k)];
        t.replace(line.valueStart, line.start + line.length - line.valueStart, value);
    } else {
        // After the section's last key line, so that blank lines and the
        // comments that lead into the next section stay where they are.
        qsizetype after = *header;
        for (qsizetype i = after + 1; i < qsizetype(doc.lines.size()); ++i) {
            const LineKind kind = doc.lines[size_t(i)].kind;
            if (kind == LineKind::Section)
                break;
            if (kind == LineKind::Key)
                after = i;
        }
        const Line &line = doc.lines[size_t(after)];
        QString insert = key + QLatin1Char('=') + value + doc.newline;
        if (line.end == line.start + line.length)
            insert.prepend(doc.newline);
        t.insert(line.end, insert);
    }
    parse(doc);
}

} // namespace

std::optional<QString> readValue(const QString &filePath, const QString &section,
                                 const QString &key)
{
    const Document *doc = currentDocument(filePath);
    if (!doc)
        return std::nullopt;
    const auto header = doc->sections.constFind(foldName(section));
    if (header == doc->sections.cend())
        return std::nullopt;
    const qsizetype k = findKey(*doc, *header, trimmed(key));
    if (k < 0)
        return std::nullopt;
    const Line &line = doc->lines[size_t(k)];
    QStringView value = trimmed(
        QStringView(doc->text).mid(line.valueStart, line.start + line.length - line.valueStart));
    if (value.size() >= 2 && value.front() == value.back()
        && (value.front() == QLatin1Char('"') || value.front() == QLatin1Char('\'')))
        value = value.mid(1, value.size() - 2);
    return value.toString();
}

bool writeValue(const QString &filePath, const QString &section, const QString &key,
                const QString &value)
{
    if (!validNames(section, key, value))
        return false;
    const QByteArray target = writeTarget(QFile::encodeName(filePath));
    if (target.isEmpty())
        return false;

    struct stat st;
    const bool exists = ::stat(target.constData(), &st) == 0;
    if (!exists && errno != ENOENT)
        return false;
    if (exists && !S_ISREG(st.st_mode))
        return false;

    Document doc;
    if (exists) {
        const Document *current = currentDocument(filePath);
        // Content that cannot be read cannot be kept, so it is not replaced.
        if (!current || !current->lossless)
            return false;
        doc = *current;
    }
    setValue(doc, section, key, value);
    const QByteArray bytes = encode(doc);

    FileId id;
    if (!replaceFile(target, bytes, exists ? &st : nullptr, id))
        return false;
    removeLeftoverTemps(target);
    Cache &c = cache();
    c.path = filePath;
    c.nativePath = QFile::encodeName(filePath);
    c.id = id;
    c.bytes = bytes;
    c.doc = std::move(doc);
    c.valid = id.inode != 0;
    c.young = c.valid && isYoung(id);
    return true;
}

} // namespace velkora::IniFile
