#include "platform/IniFile.h"

#include <QDir>
#include <QRandomGenerator>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using Value = std::optional<QString>;
enum class Setup { NewFile, Kept, Link, OtherFsLink, ReadOnly, Dir, DiskFull, Owner };

static QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

static QByteArray utf16(QStringView text, QStringConverter::Encoding order)
{
    return QStringEncoder(order, QStringConverter::Flag::WriteBom)(text);
}

class tst_IniFile : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void document_data();
    void document();
    void file_data();
    void file();
};

void tst_IniFile::document_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("key"); // in section 0
    QTest::addColumn<Value>("old"); // read before the write
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("after"); // null: refused, nothing changed
    const auto row = [](const char *name, const QByteArray &before, const QString &key,
                        const Value &old, const QString &value, const QByteArray &after) {
        QTest::newRow(name) << before << key << old << value << after;
    };
    const auto sample = [](const char *name) {
        return readAll(qEnvironmentVariable("VELKORA_TEST_DATA") + u'/' + QLatin1String(name));
    };
    const QByteArray cp1252 = sample("windows_cp1252_crlf.ini"), utf8 = sample("utf8_bom.ini");
    const QByteArray tool = R"(A="/opt/My App/tool" "x y")";
    QByteArray bad(64 * 1024, Qt::Uninitialized), nul(1 << 20, '\0');
    QRandomGenerator(42).fillRange(reinterpret_cast<quint32 *>(bad.data()), bad.size() / 4);

    row("replaced in place, trimmed, quotes dropped", "[0]\n a = \" q \" \nB=1\n[1]\nA=b\n", "A",
        u" q "_s, "", "[0]\n a =\nB=1\n[1]\nA=b\n");
    row("names in any case, first key and section win", "[0]\nÄ=1\nä=2\n[0]\nä=3\n", "ä", u"1"_s,
        "Öl", "[0]\nÄ=Öl\nä=2\n[0]\nä=3\n");
    row("missing key after the section's last key", "[0]\nA=1\n;B=x\n\n[1]\nB=2\n", "B", {}, "3",
        "[0]\nA=1\nB=3\n;B=x\n\n[1]\nB=2\n");
    row("missing section appended, CRLF kept", "[1]\r\nA=1", "A", {}, "x",
        "[1]\r\nA=1\r\n[0]\r\nA=x\r\n");
    row("quotes not around the whole value stay", "[0]\n" + tool, "A", tool.mid(2), tool.mid(2),
        "[0]\n" + tool);
    row("a value the reader would unwrap gets one more pair", "[0]\n", "A", {}, "\"abc\"",
        "[0]\nA=\"\"abc\"\"\n");
    row("a quote inside and a blank at the end: the other kind", "[0]\n", "A", {}, "say \"hi\" ",
        "[0]\nA='say \"hi\" '\n");
    row("line break refused", "[0]\nA=1\n", "A", u"1"_s, "a\nb", {});
    row("unpaired surrogate refused outside UTF-16", "[0]\n", "A", {}, QString(QChar(0xD800)), {});
    row("Windows-1252 sample keeps its encoding", cp1252, "NAME", u"Büro – Übersicht"_s, "Ä €",
        QByteArray(cp1252).replace("B\xFCro \x96 \334bersicht", "\xC4 \x80"));
    row("new line beside UTF-8 and Windows-1252 lines: UTF-8", "; \xFC\n[0]\nA=\xC3\xBC\n", "B", {},
        "Ä", "; \xFC\n[0]\nA=\xC3\xBC\nB=\xC3\x84\n");
    row("new line in a Windows-1252 file: Windows-1252", "; \xFC\n[0]\n", "A", {}, "Ä €",
        "; \xFC\n[0]\nA=\xC4 \x80\n");
    row("changed line that Windows-1252 cannot hold: that line UTF-8", "; \x80\n[0]\nA=\xFC\n", "A",
        u"ü"_s, "東京", "; \x80\n[0]\nA=東京\n");
    row("Windows-1252 bytes that would read as UTF-8: UTF-8", "[0]\nA=\xFF\n", "A", u"ÿ"_s, "Ã¤",
        "[0]\nA=Ã¤\n");
    row("UTF-8 byte-order mark", utf8, "DATEI", u"/opt/grüße/start"_s, "/€",
        QByteArray(utf8).replace("/opt/grüße/start", "/€"));
    row("UTF-16LE sample", sample("windows_utf16le.ini"), "NAME", u"Käfer 𝄞"_s, "Köln",
        utf16(u"[0]\r\nDATEI=C:\\Spiele\\Käfer.exe\r\nNAME=Köln\r\nZEIT=5\r\n",
              QStringConverter::Utf16LE));
    row("UTF-16BE, an unpaired surrogate kept",
        utf16(u"[0]\r\nA=Käfer\r\n", QStringConverter::Utf16BE), "A", u"Käfer"_s, u"𝄞\xDC00"_s,
        utf16(u"[0]\r\nA=𝄞\xDC00\r\n", QStringConverter::Utf16BE));
    row("odd UTF-16 byte stays at the end", utf16(u"[0]\nA=1", QStringConverter::Utf16LE) + 'x',
        "B", {}, "2", utf16(u"[0]\nA=1\nB=2\n", QStringConverter::Utf16LE) + 'x');
    row("binary garbage, 1 MB of NUL, lone CR, no last line end", bad + "\n[0]\nB=" + nul + "\rA=1",
        "A", u"1"_s, "7", bad + "\n[0]\nB=" + nul + "\rA=7");
}

void tst_IniFile::document()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QByteArray, after);
    velkora::IniDocument doc = velkora::IniDocument::fromBytes(before);
    QCOMPARE(doc.toBytes(), before);
    QTEST(doc.value(u"0"_s, key), "old");
    QCOMPARE(doc.setValue(u"0"_s, key, value), !after.isNull());
    QCOMPARE(doc.toBytes(), after.isNull() ? before : after);
    QVERIFY(after.isNull() || velkora::IniDocument::fromBytes(after).value(u"0"_s, key) == value);
}

void tst_IniFile::file_data()
{
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<int>("error"); // of the write; the file then stays as it was
    QTest::newRow("missing file created") << Setup::NewFile << 0;
    QTest::newRow("replaced, mode 0640 kept") << Setup::Kept << 0;
    QTest::newRow("symbolic link written through") << Setup::Link << 0;
    QTest::newRow("link to another file system") << Setup::OtherFsLink << 0;
    QTest::newRow("mode 0444 is not replaced") << Setup::ReadOnly << EACCES;
    QTest::newRow("folder in place of the file") << Setup::Dir << EISDIR;
    QTest::newRow("disk full in the middle of the write") << Setup::DiskFull << EFBIG;
    QTest::newRow("another user's file keeps its owner") << Setup::Owner << 0;
}

void tst_IniFile::file()
{
    QFETCH(Setup, setup);
    QFETCH(int, error);
    if (setup == Setup::Owner && ::geteuid() != 0)
        QSKIP("only root can hand a file to another user");
    QTemporaryDir dir, shm(u"/dev/shm/tst_IniFile-XXXXXX"_s);
    const QString file = dir.filePath(u"Velkora.ini"_s),
                  temp = dir.filePath(u".Velkora.ini.tmp-"_s);
    const QByteArray before = "; von Hand\n[0]\nA=1\n", native = QFile::encodeName(file);
    const bool link = setup == Setup::Link || setup == Setup::OtherFsLink,
               made = setup != Setup::NewFile;
    const mode_t mode = setup == Setup::ReadOnly ? 0444 : 0640; // 0640: a mode no new file gets
    QVERIFY(
        !link
        || QFile::link(setup == Setup::Link ? u"real.ini"_s : shm.filePath(u"real.ini"_s), file));
    QFile f(file);
    QVERIFY(setup == Setup::Dir ? QDir().mkdir(file)
                                : !made || (f.open(QIODevice::WriteOnly) && f.write(before)));
    f.close();
    QVERIFY(!made || setup == Setup::Dir || ::chmod(native, mode) == 0);
    QVERIFY(setup != Setup::Owner || ::chown(native, 65534, 65534) == 0);
    // Leftovers of killed writes: only the one older than a minute goes.
    QFile young(temp + u"young"_s), old(temp + u"old"_s);
    QVERIFY(young.open(QIODevice::WriteOnly) && old.open(QIODevice::WriteOnly)
            && old.setFileTime(QDateTime::currentDateTime().addSecs(-120),
                               QFileDevice::FileModificationTime));

    velkora::IniDocument doc;
    QCOMPARE(velkora::readIniFile(file, doc).error, setup == Setup::Dir ? EISDIR : 0);
    QVERIFY(doc.setValue(u"0"_s, u"A"_s, u"Grüße"_s));
    struct rlimit saved; // for a full disk: one the new file outgrows, to fail the write, not us
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const struct rlimit limit = {setup == Setup::DiskFull ? 8 : saved.rlim_cur, saved.rlim_max};
    QVERIFY(std::signal(SIGXFSZ, SIG_IGN) != SIG_ERR && ::setrlimit(RLIMIT_FSIZE, &limit) == 0);
    const int written = velkora::writeIniFile(file, doc).error;
    ::setrlimit(RLIMIT_FSIZE, &saved);
    QCOMPARE(written, error);

    struct stat st { };
    const mode_t mask = ::umask(0);
    ::umask(mask);
    QVERIFY(::stat(native, &st) == 0 && QFileInfo(file).isSymLink() == link);
    if (setup != Setup::Dir) {
        const QByteArray after
            = made ? QByteArray(before).replace("A=1", "A=Grüße") : "[0]\nA=Grüße\n";
        QCOMPARE(readAll(file), error ? before : after);
        QCOMPARE(st.st_mode & 07777, made ? mode : 0666 & ~mask);
    }
    QCOMPARE(st.st_uid + st.st_gid, setup == Setup::Owner ? 2 * 65534u : ::geteuid() + ::getegid());
    QVERIFY(young.remove() && old.remove() == (error || link)); // a link's are named after its target
    const QDir::Filters all = QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot;
    QCOMPARE(QDir(dir.path()).entryList(all).size() + QDir(shm.path()).entryList(all).size(),
             1 + int(link));
}

QTEST_GUILESS_MAIN(tst_IniFile)
#include "tst_IniFile.moc"
