// libFuzzer, in memory. Any input parses and gives its own bytes back, as a path does; then either
// "Exit" keeps the list it loaded and a second "Exit" changes nothing, or a value made of the input
// reads back identical, every other key as it was, or is refused with nothing changed.
#include "config/ModINI.h"
#include "config/ModeFile.h"
#include "config/ProgramTable.h"
#include "platform/core/NativePath.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace velkora;
using Entries = QList<ModeFile::ListEntry>;

[[noreturn]] static void fail(const char *what, const QString &detail = QString())
{
    std::fprintf(stderr, "MISMATCH: %s %s\n", what, detail.toUtf8().toPercentEncoding(" ").data());
    std::abort();
}

static Entries loaded(const IniDocument &doc)
{
    const ProgramList list = ModeFile::LoadProgramTable(doc);
    const Entries entries = ModeFile::ProgramListEntries(list);
    if (entries.size() != list.EntryCount)
        fail("EntryCount");
    return entries;
}

// What the document gives back: no pair of quotes keeps the blanks at the ends of a value with
// both kinds; those at its start are lost, those at its end kept by a NUL. What ModINI gives of
// that (cut): at most 254 characters, never half a pair, up to a NUL, no trailing blanks.
static QString asRead(QString v, bool cut)
{
    const auto blank = [](QChar c) { return c == u' ' || c == u'\t'; };
    if (v.contains(u'"') && v.contains(u'\'') && (blank(v.front()) || blank(v.back()))) {
        while (blank(v.front()))
            v.remove(0, 1);
        if (blank(v.back()))
            v += QChar(0);
    }
    const qsizetype n = std::min<qsizetype>(v.size(), cut ? 254 : v.size());
    v.truncate(n - (n < v.size() && v[n - 1].isHighSurrogate() && v[n].isLowSurrogate()));
    v.truncate(cut && v.contains(QChar(0)) ? v.indexOf(QChar(0)) : v.size());
    while (cut && v.endsWith(u' '))
        v.chop(1);
    return v;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const bool wide = bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF");
    const IniDocument doc = IniDocument::fromBytes(bytes);
    if (doc.toBytes() != bytes || pathToNative(pathFromNative(bytes)) != bytes)
        fail("bytes not given back");
    if (size % 2 == 0) {
        const Entries entries = loaded(doc);
        IniDocument exit = doc;
        const bool saved = ModeFile::SaveProgramTable(exit, entries);
        IniDocument again = IniDocument::fromBytes(exit.toBytes());
        if (!saved || loaded(again) != entries || !ModeFile::SaveProgramTable(again, entries)
            || again.isModified())
            fail("Exit refused or changed the list, or a second Exit changed the file");
        return 0;
    }

    // A value: the input as UTF-8, or as UTF-16 code units (unpaired surrogates), stretched across
    // the cut, in quotes or blanks for the reader to undo.
    const uint8_t sel = data[size - 1];
    QString value = QString::fromUtf8(bytes.first(std::min<qsizetype>(bytes.size(), 600)));
    if (sel & 1) { // copied: the input need not be aligned for UTF-16
        value.resize(qsizetype(std::min<size_t>(size / 2, 300)));
        std::memcpy(value.data(), data, size_t(value.size()) * 2);
    }
    while (sel & 2 && !value.isEmpty() && value.size() < 250)
        value += value;
    if (sel & 4)
        value = QChar(sel & 8 ? u'"' : u'\'') + value + QChar(sel & 16 ? u'"' : u'\'');
    if (sel & 32)
        value = QStringLiteral(" \t") + value + QStringLiteral("\t ");
    const bool fits
        = !value.contains(u'\n') && !value.contains(u'\r') && (wide || value.isValidUtf16());

    QString name = QString::fromUtf8(bytes.first(std::min<qsizetype>(bytes.size(), 6)));
    name.removeIf([](QChar c) { return QStringView(u"[]=;\r\n").contains(c); });
    const QString keys[] = {QStringLiteral("DATEI"), QStringLiteral("NAME"), u'K' + name};
    const QString section = sel & 64 ? u'S' + name : QString::number(sel % 33),
                  &key = keys[sel % 3];
    IniDocument edited = doc;
    if (edited.setValue(section, key, value) != fits || (!fits && edited.toBytes() != bytes))
        fail("value taken or refused wrongly", value);
    const IniDocument back = IniDocument::fromBytes(edited.toBytes());
    const QString stored = asRead(value, false),
                  read = stored.isEmpty() ? QStringLiteral("5") : asRead(value, true);
    if (fits
        && (back.value(section, key) != stored
            || ModINI::ReadIniValue(back, section, key, 5) != read))
        fail("value not read back", value);
    for (const QString &other : {section, QStringLiteral("0"), QStringLiteral("1")})
        for (const QString &k : keys)
            if ((other != section || &k != &key) && back.value(other, k) != doc.value(other, k))
                fail("another key changed", other + u' ' + k);
    return 0;
}
