// libFuzzer target over the INI layer and the table load. Each input becomes an
// INI file; then every read of interest and the table load must survive it, a
// write must change its own key only, and the written value must come back
// through ModINI trimmed and cut to 254 characters. Any other outcome aborts
// with a line starting "MISMATCH", so that libFuzzer keeps the input.
#include "IniFile.h"
#include "ModGlobal.h"
#include "ModINI.h"
#include "ModeFile.h"
#include "ProgramTable.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

using Value = std::optional<QString>;
using Pair = std::pair<QString, QString>;

QByteArray g_dir;
QByteArray g_current;
quint64 g_count = 0;

[[noreturn]] void mismatch(const char *what, const QString &section, const QString &key,
                           const Value &expected, const Value &actual)
{
    std::fprintf(stderr,
                 "MISMATCH: %s [%s] %s\n  expected: %s\n  actual:   %s\n", what,
                 section.toUtf8().toPercentEncoding(" ").constData(),
                 key.toUtf8().toPercentEncoding(" ").constData(),
                 expected ? expected->toUtf8().toPercentEncoding(" ").constData() : "(missing)",
                 actual ? actual->toUtf8().toPercentEncoding(" ").constData() : "(missing)");
    // libFuzzer keeps the input itself; the scratch copy can go.
    ::unlink(g_current.constData());
    ::rmdir(g_dir.constData());
    std::abort();
}

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

QString trimBlanks(const QString &s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && isBlank(s[b]))
        ++b;
    while (e > b && isBlank(s[e - 1]))
        --e;
    return s.mid(b, e - b);
}

QString folded(const QString &name)
{
    return trimBlanks(name).toCaseFolded();
}

bool sameKey(const Pair &a, const Pair &b)
{
    return folded(a.first) == folded(b.first) && folded(a.second) == folded(b.second);
}

// What the reader gives back for a value written as it stands.
QString rawReadBack(const QString &written)
{
    QString v = trimBlanks(written);
    if (v.size() >= 2 && v.front() == v.back()
        && (v.front() == QLatin1Char('"') || v.front() == QLatin1Char('\'')))
        v = v.mid(1, v.size() - 2);
    return v;
}

QString modIniReadBack(const QString &written)
{
    QString v = rawReadBack(written).left(254);
    v = ModINI::CutAtNul(v);
    while (v.endsWith(QLatin1Char(' ')))
        v.chop(1);
    return v;
}

bool writableNames(const QString &section, const QString &key)
{
    const auto lineEnd = [](const QString &s) {
        return s.contains(QLatin1Char('\n')) || s.contains(QLatin1Char('\r'));
    };
    const QString k = trimBlanks(key);
    return !trimBlanks(section).isEmpty() && !section.contains(QLatin1Char(']')) && !k.isEmpty()
        && !k.contains(QLatin1Char('=')) && !k.startsWith(QLatin1Char('['))
        && !k.startsWith(QLatin1Char(';')) && !lineEnd(section) && !lineEnd(key);
}

QString decodeLoosely(QByteArrayView bytes)
{
    const QString utf8 = QString::fromUtf8(bytes);
    return utf8.toUtf8() == bytes ? utf8 : QString::fromLatin1(bytes);
}

// Section and key names as they stand in the input, a few of each.
void namesIn(const QString &text, QStringList &sections, QStringList &keys)
{
    qsizetype pos = 0;
    while (pos < text.size() && (sections.size() < 6 || keys.size() < 6)) {
        qsizetype end = pos;
        while (end < text.size() && text[end] != QLatin1Char('\n') && text[end] != QLatin1Char('\r'))
            ++end;
        const QString line = trimBlanks(text.mid(pos, end - pos));
        pos = end + 1;
        if (line.startsWith(QLatin1Char('['))) {
            const qsizetype close = line.indexOf(QLatin1Char(']'));
            const QString name = trimBlanks(line.mid(1, close < 0 ? -1 : close - 1));
            if (!name.isEmpty() && sections.size() < 6 && !sections.contains(name))
                sections << name;
        } else if (!line.startsWith(QLatin1Char(';'))) {
            const qsizetype eq = line.indexOf(QLatin1Char('='));
            const QString name = eq < 0 ? QString() : trimBlanks(line.left(eq));
            if (!name.isEmpty() && keys.size() < 6 && !keys.contains(name))
                keys << name;
        }
    }
}

bool writeBytes(const QByteArray &path, const uint8_t *data, size_t size)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n <= 0) {
            ::close(fd);
            return false;
        }
        done += size_t(n);
    }
    return ::close(fd) == 0;
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QList<Value> readAll(const QString &file, const QList<Pair> &pairs)
{
    QList<Value> values;
    values.reserve(pairs.size());
    for (const Pair &p : pairs)
        values << velkora::IniFile::readValue(file, p.first, p.second);
    return values;
}

void checkTable()
{
    using velkora::ProgramTable;
    velkora::resetProgramTable();
    ModeFile::LoadProgramTable();
    qint32 filled = 0;
    for (const velkora::ProgramEntry &e : ProgramTable) {
        for (const auto *field : {&e.path, &e.name}) {
            if (*field && ((*field)->isEmpty() || (*field)->size() > 254
                           || (*field)->endsWith(QLatin1Char(' '))))
                mismatch("table field not as read", QString(), QString(), QString(), **field);
        }
        filled += e.filled() ? 1 : 0;
    }
    if (filled != velkora::EntryCount)
        mismatch("EntryCount", QString(), QString(), QString::number(filled),
                 QString::number(velkora::EntryCount));
}

// The value to write, from a slice of the input: one line, and now and then
// padded with blanks, put in quotes or stretched around the 254 limit.
QString valueFrom(const uint8_t *data, size_t size, uint8_t sel)
{
    const size_t start = size > 2 ? data[0] % size : 0;
    const size_t length = size > 2 ? std::min<size_t>(data[1] * 4u, size - start) : 0;
    QString v = decodeLoosely(QByteArrayView(data + start, qsizetype(length)));
    v.remove(QLatin1Char('\r'));
    v.remove(QLatin1Char('\n'));
    v.remove(QChar(0));
    switch ((sel >> 3) % 6) {
    case 1:
        v = QStringLiteral("  \t") + v + QStringLiteral(" \t ");
        break;
    case 2:
        v = QLatin1Char('"') + v + QLatin1Char('"');
        break;
    case 3:
        if (!v.isEmpty()) {
            const qsizetype target = 252 + (sel >> 6); // 252 to 255
            while (v.size() < target)
                v += v;
            v.truncate(target);
        }
        break;
    case 4:
        v = v.left(250) + QString(8, QLatin1Char(' '));
        break;
    default:
        break;
    }
    return v;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    QByteArray base = qgetenv("VELKORA_FUZZ_DIR");
    if (base.isEmpty())
        base = ::access("/dev/shm", W_OK) == 0 ? QByteArray("/dev/shm") : QByteArray("/tmp");
    QByteArray templ = base + "/velkora-fuzz-XXXXXX";
    if (!::mkdtemp(templ.data())) {
        std::perror("mkdtemp");
        std::exit(2);
    }
    g_dir = templ;
    std::atexit([] { ::rmdir(g_dir.constData()); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray native = g_dir + "/in-" + QByteArray::number(++g_count) + ".ini";
    g_current = native;
    const QString file = QFile::decodeName(native);
    if (!writeBytes(native, data, size))
        std::abort();
    ModGlobal::IniFilePath = file;

    QStringList sections, keys;
    namesIn(decodeLoosely(QByteArrayView(data, qsizetype(size))), sections, keys);
    QList<Pair> pairs;
    for (int i = 0; i < velkora::SlotCount; ++i)
        for (const char *k : {"DATEI", "NAME", "ZEIT"})
            pairs << Pair(QString::number(i), QLatin1String(k));
    for (const QString &s : sections) {
        for (const QString &k : keys)
            pairs << Pair(s, k);
        pairs << Pair(s, QStringLiteral("DATEI"));
    }

    const QList<Value> before = readAll(file, pairs);
    checkTable();

    const uint8_t sel = size ? data[size - 1] : 0;
    QString section, key;
    switch (sel % 4) {
    case 0:
        section = sections.isEmpty() ? QStringLiteral("0") : sections.at((sel >> 2) % sections.size());
        key = keys.isEmpty() ? QStringLiteral("Name") : keys.at((sel >> 4) % keys.size());
        break;
    case 1:
        section = QString::number((sel >> 2) % velkora::SlotCount);
        key = QStringLiteral("Name");
        break;
    case 2:
        section = QStringLiteral("F%1").arg(sel >> 2);
        key = QStringLiteral("DATEI");
        break;
    default:
        // Same names in other letter case and with blanks around.
        section = QLatin1Char(' ') + (sections.isEmpty() ? QStringLiteral("x") : sections.first().toUpper());
        key = (keys.isEmpty() ? QStringLiteral("zeit") : keys.last().toLower()) + QLatin1Char('\t');
        break;
    }
    const QString value = valueFrom(data, size, sel);
    const Pair written(section, key);

    const QByteArray bytesBefore = fileBytes(file);
    const bool ok = velkora::IniFile::writeValue(file, section, key, value);
    const bool mustWork = writableNames(section, key)
        && !(size >= 2 && data[0] == 0xFF && data[1] == 0xFE && size % 2 == 1);
    if (!ok && mustWork)
        mismatch("write refused", section, key, value, std::nullopt);

    // What the next run of the program reads: the cache of this one is let go.
    (void)velkora::IniFile::readValue(QFile::decodeName(g_dir + "/none.ini"), section, key);
    const QList<Value> after = readAll(file, pairs);
    for (qsizetype i = 0; i < pairs.size(); ++i) {
        if ((!ok || !sameKey(pairs[i], written)) && before[i] != after[i])
            mismatch("other key changed by write", pairs[i].first, pairs[i].second, before[i],
                     after[i]);
    }
    if (!ok) {
        if (fileBytes(file) != bytesBefore)
            mismatch("failed write changed the file", section, key, QString(), QString());
    } else {
        const Value raw = velkora::IniFile::readValue(file, section, key);
        if (raw != rawReadBack(value))
            mismatch("raw read-back", section, key, rawReadBack(value), raw);
        const QString viaModIni = ModINI::ReadIniValue(file, section, key);
        if (viaModIni != modIniReadBack(value))
            mismatch("ModINI read-back", section, key, modIniReadBack(value), viaModIni);
        // Writing the same value again changes nothing.
        const QByteArray once = fileBytes(file);
        if (!velkora::IniFile::writeValue(file, section, key, value) || fileBytes(file) != once)
            mismatch("second equal write not a no-op", section, key, value, std::nullopt);
    }

    ::unlink(native.constData());
    return 0;
}
