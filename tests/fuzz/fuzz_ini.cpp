// libFuzzer, in memory. Any input parses and gives its own bytes back, as a path does; then either
// "Exit" keeps the list it loaded (as the document gives a value back) and a second "Exit" changes
// nothing, or refuses a list that holds a control character it would have to write elsewhere; or a
// value made of the input reads back as the model says, every other key as it was, or is refused
// with nothing changed.
#include "config/ModINI.h"
#include "config/ModeFile.h"
#include "config/ProgramTable.h"
#include "platform/core/NativePath.h"

#include <algorithm>
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
    const Entries entries = ModeFile::listEntries(list);
    if (entries.size() != list.EntryCount)
        fail("EntryCount");
    return entries;
}

// C0 but TAB, and DEL: what the document refuses to write.
static bool hasControl(QStringView s)
{
    return std::any_of(s.begin(), s.end(),
                       [](QChar c) { return (c < u' ' && c != u'\t') || c == u'\x7f'; });
}

// What the document gives back: no pair of quotes keeps the blanks at the ends of a value with
// both kinds, and they are lost. What ModINI gives of that (cut): at most 254 characters, never
// half a pair, up to a NUL (one the file held), no trailing blanks.
static QString asRead(QString v, bool cut)
{
    const auto blank = [](QChar c) { return c == u' ' || c == u'\t'; };
    if (v.contains(u'"') && v.contains(u'\'')) {
        while (!v.isEmpty() && blank(v.front()))
            v.remove(0, 1);
        while (!v.isEmpty() && blank(v.back()))
            v.chop(1);
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
        const bool controls = std::any_of(entries.begin(), entries.end(), [](const auto &e) {
            return hasControl(e.path) || hasControl(e.name) || hasControl(e.seconds);
        });
        if (!ModeFile::SaveProgramTable(exit, entries)) {
            if (!controls)
                fail("Exit refused a list without a control character");
            return 0;
        }
        Entries kept = entries;
        for (ModeFile::ListEntry &e : kept)
            e = {asRead(e.path, false), asRead(e.name, false), e.seconds};
        IniDocument again = IniDocument::fromBytes(exit.toBytes());
        if (loaded(again) != kept || !ModeFile::SaveProgramTable(again, entries)
            || again.isModified())
            fail("Exit changed the list, or a second Exit changed the file");
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

    QString name = QString::fromUtf8(bytes.first(std::min<qsizetype>(bytes.size(), 6)));
    name.removeIf([](QChar c) { return hasControl({&c, 1}) || QStringView(u"[]=;").contains(c); });
    const QString keys[] = {QStringLiteral("DATEI"), QStringLiteral("NAME"), u'K' + name};
    const QString section = sel & 64 ? u'S' + name : QString::number(sel % 33),
                  &key = keys[sel % 3];
    // A value the key holds already is taken even with a control character: nothing is written.
    const bool fits = (!hasControl(value) || doc.value(section, key) == value)
        && (wide || value.isValidUtf16());
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
