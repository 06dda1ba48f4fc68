// libFuzzer: any INI input survives every read and the table load; a write changes its key only,
// reads back trimmed (ModINI: cut to 254), repeats byte for byte, leaves the file alone if refused.
#include "config/ModGlobal.h"
#include "config/ModINI.h"
#include "config/ModeFile.h"
#include "config/ProgramTable.h"
#include "platform/IniFile.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

using namespace velkora;
using Value = std::optional<QString>;
using Pair = std::pair<QString, QString>;

QTemporaryDir g_dir(QStringLiteral("/dev/shm/velkora-fuzz-XXXXXX"));
quint64 g_count = 0;

[[noreturn]] void fail(const char *what, const Pair &key, const Value &want, const Value &got)
{
    const auto show = [](const Value &v) {
        return v ? v->toUtf8().toPercentEncoding(" ") : QByteArray("(missing)");
    };
    std::fprintf(stderr, "MISMATCH: %s [%s] %s\n  expected: %s\n  actual:   %s\n", what,
                 show(key.first).constData(), show(key.second).constData(), show(want).constData(),
                 show(got).constData());
    g_dir.remove(); // libFuzzer keeps the input itself
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Fresh names each run, so that no cached parse of an earlier input can answer.
    const QString file = g_dir.filePath(QString::number(++g_count)), keyFile = file + u'k';
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    if (QFile in(file); !in.open(QIODevice::WriteOnly) || in.write(bytes) != bytes.size())
        std::abort();

    // Names to read and write: the first pieces of the input, cut where a name cannot go on.
    static const QRegularExpression separators(QStringLiteral("[\\r\\n\\[\\]=;]"));
    QStringList names = QString::fromUtf8(bytes.left(4096)).split(separators, Qt::SkipEmptyParts);
    names.removeIf([](const QString &piece) { return piece.trimmed().isEmpty(); });
    names = names.mid(0, 6);
    QStringList sections = names, keys = names;
    for (int i = 0; i < SlotCount; ++i)
        sections << QString::number(i);
    keys << QStringLiteral("DATEI") << QStringLiteral("NAME") << QStringLiteral("ZEIT");
    const auto readAll = [&](const QString &from) {
        QList<Value> values;
        for (const QString &s : sections)
            for (const QString &k : keys)
                values << IniFile::readValue(from, s, k);
        return values;
    };
    const QList<Value> before = readAll(file);

    resetProgramTable();
    ModGlobal::IniFilePath = file;
    ModeFile::LoadProgramTable();
    for (const ProgramEntry &e : ProgramTable)
        for (const Value &field : {e.path, e.name})
            if (field && (field->isEmpty() || field->size() > 254 || field->endsWith(u' ')))
                fail("table field not as read", {}, std::nullopt, field);
    if (std::ranges::count_if(ProgramTable, &ProgramEntry::filled) != EntryCount)
        fail("EntryCount", {}, std::nullopt, QString::number(EntryCount));

    const uint8_t sel = size ? data[size - 1] : 0;
    const QString some = names.value(sel >> 5, QStringLiteral("x"));
    const Pair written = sel % 4 == 0 ? Pair(some, names.value((sel >> 2) & 7, QStringLiteral("k")))
        : sel % 4 == 1                ? Pair(QString::number(sel % 31), QStringLiteral("Name"))
        : sel % 4 == 2 ? Pair(QStringLiteral("F%1").arg(sel), QStringLiteral("DATEI"))
                       : Pair(u' ' + some.toUpper(), some.toLower() + u'\t');

    // A piece of the input, at times stretched around 254, padded or quoted for the reader to undo.
    const QByteArray piece = size > 2 ? bytes.mid(data[0] % size, data[1] * 4) : QByteArray();
    QString core = QString::fromUtf8(piece).remove(u'\r').remove(u'\n').remove(QChar(0)).trimmed();
    if (sel & 0x04 && !core.isEmpty())
        core = core.repeated(255 / core.size() + 1).left(252 + (sel >> 6)).trimmed();
    const bool quotes
        = core.size() > 1 && core.back() == core[0] && QStringView(u"\"'").contains(core[0]);
    const QString pad = sel & 0x10 ? QStringLiteral(" \t ") : QString();
    const QString value = sel & 0x08 || quotes ? u'"' + core + u'"' : pad + core + pad;

    const auto fileBytes = [](const QString &path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    // Refused only where the file cannot be written back (UTF-16 of odd length), and untouched.
    const bool ok = IniFile::writeValue(file, written.first, written.second, value);
    if (!ok && (size % 2 == 0 || !bytes.startsWith("\xFF\xFE") || fileBytes(file) != bytes))
        fail("write refused, or the refusal changed the file", written, value, std::nullopt);
    // The written key, to the reader: what a file of it alone holds (reading that drops the cache).
    if (ok) {
        IniFile::writeValue(keyFile, written.first, written.second, QStringLiteral("1"));
        const QList<Value> same = readAll(keyFile), after = readAll(file);
        for (qsizetype i = 0; i < before.size(); ++i)
            if (!same[i] && before[i] != after[i])
                fail("other key changed by write",
                     {sections[i / keys.size()], keys[i % keys.size()]}, before[i], after[i]);
        if (const Value raw = IniFile::readValue(file, written.first, written.second); raw != core)
            fail("read-back", written, core, raw);
        const QString cut = core.left(254).remove(QRegularExpression(QStringLiteral(" +$")));
        if (const QString v = ModINI::ReadIniValue(file, written.first, written.second); v != cut)
            fail("ModINI read-back", written, cut, v);
        const QByteArray once = fileBytes(file);
        if (!IniFile::writeValue(file, written.first, written.second, value)
            || fileBytes(file) != once)
            fail("second equal write not a no-op", written, value, std::nullopt);
    }
    QFile::remove(file);
    QFile::remove(keyFile);
    return 0;
}
