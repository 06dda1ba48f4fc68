#include "platform/ini/IniFile.h"
#include "tests/support/Rows.h"

#include <QRandomGenerator>
#include <QStringEncoder>
#include <QTest>

using namespace Qt::StringLiterals;
using velkora::test::row;
using Value = std::optional<QString>;

class tst_IniFile : public QObject {
    Q_OBJECT
    static constexpr char Before[] = "[0]\nA=1\nE=\x1b\n";

private Q_SLOTS:
    void document_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("key"); // in section 0
        QTest::addColumn<Value>("old"); // read before the write
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("after");
        const auto row = [](const char *name, const QByteArray &before, const QString &key,
                            const Value &old, const QString &value, const QByteArray &after) {
            QTest::newRow(name) << before << key << old << value << after;
        };
        const auto utf16 = [](QStringView s) {
            return QByteArray(
                QStringEncoder(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom)(s));
        };
        QFile sample(qEnvironmentVariable("VELKORA_TEST_DATA") + "/windows_cp1252_crlf.ini");
        QVERIFY(sample.open(QIODevice::ReadOnly));
        const QByteArray cp1252 = sample.readAll();
        QByteArray bad(64 * 1024, Qt::Uninitialized), nul(1 << 20, '\0');
        QRandomGenerator(42).fillRange(reinterpret_cast<quint32 *>(bad.data()), bad.size() / 4);

        row("replaced in place, trimmed, quotes dropped", "[0]\n a = \" q \" \nB=1\n[1]\nA=b\n",
            "A", u" q "_s, "", "[0]\n a =\nB=1\n[1]\nA=b\n");
        row("names in any case, first key and section win", "[0]\nÄ=1\nä=2\n[0]\nä=3\n", "ä",
            u"1"_s, "Öl", "[0]\nÄ=Öl\nä=2\n[0]\nä=3\n");
        row("missing key after the section's last key", "[0]\nA=1\n;B=x\n\n[1]\nB=2\n", "B", {},
            "3", "[0]\nA=1\nB=3\n;B=x\n\n[1]\nB=2\n");
        row("missing section appended, CRLF kept", "[1]\r\nA=1", "A", {}, "x",
            "[1]\r\nA=1\r\n[0]\r\nA=x\r\n");
        row("Windows-1252 sample keeps its encoding", cp1252, "NAME", u"Büro – Übersicht"_s, "Ä €",
            QByteArray(cp1252).replace("B\xFCro \x96 \334bersicht", "\xC4 \x80"));
        row("new line beside UTF-8 and Windows-1252 lines: UTF-8", "; \xFC\n[0]\nA=\xC3\xBC\n", "B",
            {}, "Ä", "; \xFC\n[0]\nA=\xC3\xBC\nB=\xC3\x84\n");
        row("new line in a Windows-1252 file: Windows-1252", "; \xFC\n[0]\n", "A", {}, "Ä €",
            "; \xFC\n[0]\nA=\xC4 \x80\n");
        row("changed line that Windows-1252 cannot hold: that line UTF-8", "; \x80\n[0]\nA=\xFC\n",
            "A", u"ü"_s, "東京", "; \x80\n[0]\nA=東京\n");
        row("Windows-1252 bytes that would read as UTF-8: UTF-8", "[0]\nA=\xFF\n", "A", u"ÿ"_s,
            "Ã¤", "[0]\nA=Ã¤\n");
        row("UTF-16LE with CRLF", utf16(u"[0]\r\nNAME=Käfer 𝄞\r\nZEIT=5\r\n"), "NAME", u"Käfer 𝄞"_s,
            "Köln", utf16(u"[0]\r\nNAME=Köln\r\nZEIT=5\r\n"));
        row("odd UTF-16 byte stays at the end", utf16(u"[0]\nA=1") + 'x', "B", {}, "2",
            utf16(u"[0]\nA=1\nB=2\n") + 'x');
        row("binary garbage, 1 MB of NUL, lone CR, no last line end",
            bad + "\n[0]\nB=" + nul + "\rA=1", "A", u"1"_s, "7", bad + "\n[0]\nB=" + nul + "\rA=7");
    }
    void document()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QByteArray, after);
        velkora::IniDocument doc = velkora::IniDocument::fromBytes(before);
        QCOMPARE(doc.toBytes(), before);
        QTEST(doc.value(u"0"_s, key), "old");
        QVERIFY(doc.setValue(u"0"_s, key, value));
        QCOMPARE(doc.toBytes(), after);
        QCOMPARE(velkora::IniDocument::fromBytes(after).value(u"0"_s, key), value);
    }

    // Nothing that no editor shows gets into the file, and no NUL stands in for blanks.
    void controlCharacters_data()
    {
        QTest::addColumn<QString>("key"); // in section 0
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("after"); // empty: refused, nothing changed
        row("a NUL in a value is refused", "A", u"a\0b"_s, ""_ba);
        row("DEL is refused", "A", "a\x7f", ""_ba);
        row("a control character in a key is refused", "B\x01", "1", ""_ba);
        row("a tab is written", "A", "a\tb", "[0]\nA=a\tb\nE=\x1b\n"_ba);
        row("one already in the file may be set again", "E", "\x1b", QByteArray(Before));
        row("both kinds of quote: blanks at the ends dropped, no NUL", "A", " 'a\" \t",
            "[0]\nA='a\"\nE=\x1b\n"_ba);
        row("both kinds of quote: what is left quoted where the reader would unwrap it", "A",
            " \"a'b\" ", "[0]\nA=\"\"a'b\"\"\nE=\x1b\n"_ba);
    }
    void controlCharacters()
    {
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QByteArray, after);
        velkora::IniDocument doc = velkora::IniDocument::fromBytes(Before);
        QCOMPARE(doc.setValue(u"0"_s, key, value), !after.isEmpty());
        QCOMPARE(doc.toBytes(), after.isEmpty() ? Before : after);
    }

    // A key of ours that an entry no longer has goes with all its duplicates; a key added to a
    // later section afterwards still lands in that section.
    void removeKey_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<bool>("removed");
        QTest::addColumn<QByteArray>("after"); // then B=5 set in section 1
        row("the key and its duplicate go, another section's stays",
            "[0]\nA=1\nB=2\na=3\n[1]\nA=4\n"_ba, true, "[0]\nB=2\n[1]\nA=4\nB=5\n"_ba);
        row("the last line, without its line end", "[1]\n[0]\nA=2"_ba, true, "[1]\nB=5\n[0]\n"_ba);
        row("a missing key changes nothing", "[0]\nB=1\n"_ba, false, "[0]\nB=1\n[1]\nB=5\n"_ba);
    }
    void removeKey()
    {
        QFETCH(QByteArray, before);
        velkora::IniDocument doc = velkora::IniDocument::fromBytes(before);
        QTEST(doc.removeKey(u"0"_s, u"a"), "removed");
        QTEST(doc.isModified(), "removed");
        QVERIFY(doc.setValue(u"1"_s, u"B"_s, u"5"_s));
        QTEST(doc.toBytes(), "after");
    }
};

QTEST_GUILESS_MAIN(tst_IniFile)
#include "tst_IniFile.moc"
