// libFuzzer, in memory. Every input parses and gives its own bytes back, as a path does. Then one
// property per input: "Exit" keeps the list it loaded and a second "Exit" changes nothing; a value
// made of the input reads back identical, every other key as it was, or is refused with nothing
// changed; a list made of it comes back from "Exit" and the next start as that start reads it.
#include "config/ModINI.h"
#include "config/ModeFile.h"
#include "config/ProgramTable.h"
#include "config/WholeNumber.h"
#include "platform/IniFile.h"
#include "platform/NativePath.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using namespace velkora;
using Entries = QList<ModeFile::ListEntry>;

[[noreturn]] void fail(const char *what, const QString &detail = QString())
{
    std::fprintf(stderr, "MISMATCH: %s %s\n", what, detail.toUtf8().toPercentEncoding(" ").data());
    std::abort();
}

Entries loaded(const IniDocument &doc)
{
    resetProgramTable();
    ModeFile::LoadProgramTable(doc);
    if (std::ranges::count_if(ProgramTable, &ProgramEntry::filled) != EntryCount)
        fail("EntryCount");
    return ModeFile::ProgramListEntries();
}

// What the document gives back: no pair of quotes keeps the blanks at the ends of a value that
// holds both kinds. What the next start reads: at most 254 characters, never half a pair, up to a
// NUL, no trailing blanks.
QString asRead(QString value, bool byStart)
{
    const auto blank = [](QChar c) { return c == u' ' || c == u'\t'; };
    while (value.contains(u'"') && value.contains(u'\'') && !value.isEmpty()
           && (blank(value.front()) || blank(value.back())))
        value = value.sliced(blank(value.front()) ? 1 : 0).chopped(blank(value.back()) ? 1 : 0);
    qsizetype n = byStart ? std::min<qsizetype>(value.size(), 254) : value.size();
    n -= n < value.size() && value[n - 1].isHighSurrogate() && value[n].isLowSurrogate();
    value.truncate(byStart && value.first(n).contains(QChar(0)) ? value.indexOf(QChar(0)) : n);
    while (byStart && value.endsWith(u' '))
        value.chop(1);
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const bool wide = bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF");
    const IniDocument doc = IniDocument::fromBytes(bytes);
    if (doc.toBytes() != bytes || pathToNative(pathFromNative(bytes)) != bytes)
        fail("bytes not given back");

    if (size % 3 == 0) {
        const Entries entries = loaded(doc);
        IniDocument exit = doc;
        if (!ModeFile::SaveProgramTable(exit, entries))
            fail("Exit refused the loaded list");
        IniDocument again = IniDocument::fromBytes(exit.toBytes());
        if (loaded(again) != entries || !ModeFile::SaveProgramTable(again, entries)
            || again.isModified())
            fail("Exit changed the list, or a second Exit the file");
        return 0;
    }

    // A value: the input as UTF-8, or as UTF-16 code units (unpaired surrogates), stretched across
    // the cut, in quotes or blanks for the reader to undo.
    const uint8_t sel = data[size - 1];
    QString value = QString::fromUtf8(bytes.first(std::min<qsizetype>(bytes.size(), 600)));
    if (sel & 1) {
        value.resize(qsizetype(std::min<size_t>(size / 2, 300)));
        std::memcpy(value.data(), data, size_t(value.size()) * 2);
    }
    while (sel & 2 && !value.isEmpty() && value.size() < 250)
        value += value;
    if (sel & 4)
        value = QChar(sel & 8 ? u'"' : u'\'') + value + QChar(sel & 16 ? u'"' : u'\'');
    if (sel & 32)
        value = QStringLiteral(" \t") + value + QStringLiteral("\t ");
    const auto fits = [wide](QStringView v) {
        return !v.contains(QChar(u'\n')) && !v.contains(QChar(u'\r')) && (wide || v.isValidUtf16());
    };

    if (size % 3 == 1) {
        QString name = QString::fromUtf8(bytes.first(std::min<qsizetype>(bytes.size(), 6)));
        name.removeIf([](QChar c) { return QStringView(u"[]=;\r\n").contains(c); });
        const QString keys[] = {QStringLiteral("DATEI"), QStringLiteral("NAME"), u'K' + name};
        const QString section = sel & 64 ? u'S' + name : QString::number(sel % 33);
        const QString &key = keys[(sel >> 6) % 3];
        IniDocument edited = doc;
        if (edited.setValue(section, key, value) != fits(value)
            || (!fits(value) && edited.toBytes() != bytes))
            fail("value taken or refused wrongly", value);
        const IniDocument back = IniDocument::fromBytes(edited.toBytes());
        if (fits(value)
            && (back.value(section, key) != asRead(value, false)
                || ModINI::ReadIniValue(back, section, key) != asRead(value, true)))
            fail("value not read back", value);
        for (const QString &other : {section, QStringLiteral("0"), QStringLiteral("1")}) {
            for (const QString &k : keys) {
                if ((other != section || &k != &key) && back.value(other, k) != doc.value(other, k))
                    fail("another key changed", other + u' ' + k);
            }
        }
        return 0;
    }

    const QStringList fields = value.split(u'|');
    Entries mine, expected;
    bool allFit = true;
    for (qsizetype i = 0; i + 2 < fields.size(); i += 3) {
        mine.append({fields[i], fields[i + 1], fields[i + 2]});
        allFit = allFit && fits(fields[i]) && fits(fields[i + 1]) && fits(fields[i + 2]);
        const auto seconds = toWholeNumber(asRead(fields[i + 2], true));
        if (!asRead(fields[i], true).isEmpty() && mine.size() <= SlotCount)
            expected.append({asRead(fields[i], true), asRead(fields[i + 1], true),
                             seconds ? QString::number(*seconds) : QString()});
    }
    IniDocument listed = doc;
    if (ModeFile::SaveProgramTable(listed, mine) != allFit
        || (allFit && loaded(IniDocument::fromBytes(listed.toBytes())) != expected))
        fail("list refused, or not read back as the next start reads it", value);
    return 0;
}
