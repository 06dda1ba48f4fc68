// libFuzzer target over the INI layer and the table load. Each input becomes an INI file that
// every read and the table load must survive. A write must change its own key only, read back
// trimmed (through ModINI cut to 254), leave the file as it was when refused, and change no byte
// when repeated. Any other outcome prints "MISMATCH" and aborts, so that libFuzzer keeps the input.
#include "IniFile.h"
#include "ModGlobal.h"
#include "ModINI.h"
#include "ModeFile.h"
#include "ProgramTable.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStringList>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <unistd.h>

namespace {

using velkora::IniFile::readValue;
using velkora::IniFile::writeValue;
using Value = std::optional<QString>;
using Pair = std::pair<QString, QString>;

QByteArray g_dir = "/dev/shm/velkora-fuzz-XXXXXX";
quint64 g_count = 0;

[[noreturn]] void fail(const char *what, const Pair &key, const Value &expected,
                       const Value &actual)
{
    const auto show = [](const Value &v) {
        return v ? v->toUtf8().toPercentEncoding(" ") : QByteArray("(missing)");
    };
    std::fprintf(stderr, "MISMATCH: %s [%s] %s\n  expected: %s\n  actual:   %s\n", what,
                 show(key.first).constData(), show(key.second).constData(),
                 show(expected).constData(), show(actual).constData());
    QDir(QFile::decodeName(g_dir)).removeRecursively(); // libFuzzer keeps the input itself
    std::abort();
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void checkTable()
{
    velkora::resetProgramTable();
    ModeFile::LoadProgramTable();
    int filled = 0;
    for (const velkora::ProgramEntry &e : velkora::ProgramTable) {
        for (const Value &field : {e.path, e.name})
            if (field && (field->isEmpty() || field->size() > 254 || field->endsWith(u' ')))
                fail("table field not as read", {}, std::nullopt, field);
        filled += e.filled() ? 1 : 0;
    }
    if (filled != velkora::EntryCount)
        fail("EntryCount", {}, QString::number(filled), QString::number(velkora::EntryCount));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    if (!::mkdtemp(g_dir.data()))
        std::abort();
    std::atexit([] { ::rmdir(g_dir.constData()); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Fresh names each run, so that no cached parse of an earlier input can answer.
    const QString n = QString::number(++g_count);
    const QString file = QFile::decodeName(g_dir) + QStringLiteral("/in-%1.ini").arg(n);
    const QString keyFile = QFile::decodeName(g_dir) + QStringLiteral("/key-%1.ini").arg(n);
    const QByteArray bytes
        = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    if (QFile in(file); !in.open(QIODevice::WriteOnly) || in.write(bytes) != bytes.size())
        std::abort();
    ModGlobal::IniFilePath = file;

    // Names to read and write: a few pieces of the input, cut where a name cannot go on.
    static const QRegularExpression cut(QStringLiteral("[\\r\\n\\[\\]=;]"));
    QStringList names;
    for (const QString &piece : QString::fromUtf8(bytes.left(4096)).split(cut, Qt::SkipEmptyParts))
        if (!piece.trimmed().isEmpty() && !names.contains(piece) && names.size() < 6)
            names << piece;
    QList<Pair> pairs;
    for (int i = 0; i < velkora::SlotCount; ++i)
        for (const char *k : {"DATEI", "NAME", "ZEIT"})
            pairs << Pair(QString::number(i), QLatin1String(k));
    for (const QString &s : names)
        for (const QString &k : names + QStringList {QStringLiteral("DATEI")})
            pairs << Pair(s, k);
    const auto readAll = [&pairs](const QString &from) {
        QList<Value> values;
        for (const Pair &p : pairs)
            values << readValue(from, p.first, p.second);
        return values;
    };
    const QList<Value> before = readAll(file);
    checkTable();

    const uint8_t sel = size ? data[size - 1] : 0;
    const auto pick = [&names](int i, const QString &none) {
        return names.isEmpty() ? none : names[i % names.size()];
    };
    const QString some = pick(sel >> 5, QStringLiteral("x"));
    const Pair written = sel % 4 == 0 ? Pair(some, pick(sel >> 2, QStringLiteral("k")))
        : sel % 4 == 1                ? Pair(QString::number(sel % 31), QStringLiteral("Name"))
        : sel % 4 == 2 ? Pair(QStringLiteral("F%1").arg(sel), QStringLiteral("DATEI"))
                       : Pair(u' ' + some.toUpper(), some.toLower() + u'\t');

    // The value: one line of the input, now and then stretched around the 254
    // limit, padded with blanks or put in quotes, which the reader must undo.
    QString core
        = QString::fromUtf8(bytes.mid(size > 2 ? data[0] % size : 0, size > 2 ? data[1] * 4 : 0));
    core = core.remove(u'\r').remove(u'\n').remove(QChar(0)).trimmed();
    if (sel & 0x04 && !core.isEmpty()) {
        while (core.size() < 255)
            core += core;
        core = core.left(252 + (sel >> 6)).trimmed();
    }
    const bool quotes = core.size() >= 2 && core.front() == core.back()
        && (core.front() == u'"' || core.front() == u'\'');
    const QString value = sel & 0x08 || quotes ? u'"' + core + u'"'
        : sel & 0x10 ? QStringLiteral("  \t") + core + QStringLiteral(" \t ")
                     : core;

    const bool ok = writeValue(file, written.first, written.second, value);
    if (!ok && !(size >= 2 && data[0] == 0xFF && data[1] == 0xFE && size % 2 == 1))
        fail("write refused", written, value, std::nullopt);
    if (!ok && fileBytes(file) != bytes)
        fail("refused write changed the file", written, QString(), QString());
    // Which pairs name the written key, as the reader tells keys apart: a file of that key
    // alone. Reading it also lets go of the cached parse, as a next run would start.
    const QList<Value> same
        = ok && writeValue(keyFile, written.first, written.second, QStringLiteral("1"))
        ? readAll(keyFile)
        : QList<Value>(pairs.size());
    const QList<Value> after = readAll(file);
    for (qsizetype i = 0; i < pairs.size(); ++i)
        if (!same[i] && before[i] != after[i])
            fail("other key changed by write", pairs[i], before[i], after[i]);
    if (ok) {
        if (const Value raw = readValue(file, written.first, written.second); raw != core)
            fail("read-back", written, core, raw);
        QString cut254 = core.left(254);
        while (cut254.endsWith(u' '))
            cut254.chop(1);
        if (const QString v = ModINI::ReadIniValue(file, written.first, written.second);
            v != cut254)
            fail("ModINI read-back", written, cut254, v);
        const QByteArray once = fileBytes(file);
        if (!writeValue(file, written.first, written.second, value) || fileBytes(file) != once)
            fail("second equal write not a no-op", written, value, std::nullopt);
    }
    QFile::remove(file);
    QFile::remove(keyFile);
    return 0;
}
