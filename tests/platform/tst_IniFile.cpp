#include "platform/IniFile.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

enum class Setup { None, Link, Changed, Dir, Unreadable, ReadOnlyDir, DiskFull, Leftovers };
struct Case {
    QByteArray before, after; // null: no file; the write fails and leaves the file
    QString section, key, old, value; // old: read before the write
    Setup setup;
};
const QString Missing = u"<missing>"_s;

static QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

static bool writeAll(const QString &path, const QByteArray &bytes, const QDateTime &time = {})
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size()
        && (time.isNull() || f.setFileTime(time, QFileDevice::FileModificationTime));
}

class tst_IniFile : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readWrite_data();
    void readWrite();
};

void tst_IniFile::readWrite_data()
{
    QTest::addColumn<Case>("c");
    const auto row = [](const char *name, const QByteArray &before, const char *key,
                        const char *old, const char *value, const QByteArray &after,
                        Setup setup = Setup::None, const char *section = "0") {
        const auto s = [](const char *text) { return text ? QString::fromUtf8(text) : Missing; };
        QTest::newRow(name) << Case {before, after, s(section), s(key), s(old), s(value), setup};
    };
    const QString data = qEnvironmentVariable("VELKORA_TEST_DATA") + u'/';
    const auto sample = [&](const char *name) { return readAll(data + QLatin1String(name)); };
    const auto u16 = [](QStringView s) {
        return QByteArray(reinterpret_cast<const char *>(s.data()), 2 * s.size());
    };

    row("missing file created, leftover temporary file removed", {}, "DATEI", nullptr, "/opt/Käfer",
        "[0]\nDATEI=/opt/Käfer\n", Setup::Leftovers);
    row("replaced in place, trimmed, empty write keeps key", "[0]\n A = \" q \" \nB=1\n[1]\nA=b\n",
        "A", " q ", "", "[0]\n A =\nB=1\n[1]\nA=b\n");
    row("names in other case, first key wins", "[Prog]\nSchlüssel=1\nSCHLÜSSEL=2\n", "schlüssel",
        "1", "Öl", "[Prog]\nSchlüssel=Öl\nSCHLÜSSEL=2\n", Setup::None, "PROG");
    row("missing key appended to its section, external change seen", "[0]\nA=1\n;B=x\n\n[1]\nB=2\n",
        "B", nullptr, "3", "[0]\nA=1\nB=3\n;B=x\n\n[1]\nB=9\n", Setup::Changed); // in the same tick
    row("section appended at end, symlink written through, mode kept", "[1]\r\nA=1\r\n", "A",
        nullptr, "x", "[1]\r\nA=1\r\n[0]\r\nA=x\r\n", Setup::Link);
    row("Windows-1252 CRLF", sample("windows_cp1252_crlf.ini"), "NAME", "Büro – Übersicht", "Ä €",
        sample("windows_cp1252_crlf.ini").replace("B\xFCro \x96 \334bersicht", "\xC4 \x80"));
    row("UTF-16LE", sample("windows_utf16le.ini"), "NAME", "Käfer 𝄞", "Grüße aus Köln",
        sample("windows_utf16le.ini").replace(u16(u"Käfer 𝄞"), u16(u"Grüße aus Köln")));
    row("UTF-8 BOM", sample("utf8_bom.ini"), "DATEI", "/opt/grüße/start", "/opt/€/東京",
        sample("utf8_bom.ini").replace("/opt/grüße/start", "/opt/€/東京"));
    row("not in Windows-1252, all UTF-8", "; f\xFCr 5 \x80\r\n[0]\r\nNAME=B\xFCro \x96\r\n", "NAME",
        "Büro –", "東京", "; für 5 €\r\n[0]\r\nNAME=東京\r\n");
    row("Windows-1252 that would read as UTF-8", "\xC3\xA4\n[0]\nA=\xFF\n", "A", "ÿ", "x",
        "Ã¤\n[0]\nA=x\n");
    QByteArray bad(64 * 1024, Qt::Uninitialized);
    QRandomGenerator(42).fillRange(reinterpret_cast<quint32 *>(bad.data()), bad.size() / 4);
    row("binary garbage", bad + "\n[0]\nA=1\n", "A", "1", "7", bad + "\n[0]\nA=7\n");
    row("BOM only", "\xEF\xBB\xBF", "A", nullptr, "7", "\xEF\xBB\xBF[0]\nA=7\n");
    row("lone CR, no final newline", "[0]\nB=2\rA=1", "A", "1", "7", "[0]\nB=2\rA=7");
    const QByteArray big = "[1]\n" + "f=0123456789\n"_ba.repeated(4 << 20)
        + "[0]\nB=" + QByteArray(1 << 20, '\0') + "\nA=";
    row("50 MB file, 1 MB line of NUL bytes", big + '1', "A", "1", "7", big + '7');
    row("folder in place of the file", {}, "A", nullptr, "7", {}, Setup::Dir);
    row("no read permission", "[0]\nA=1\n", "A", nullptr, "7", {}, Setup::Unreadable);
    row("read-only folder", "[0]\nA=1\n", "A", "1", "7", {}, Setup::ReadOnlyDir);
    row("disk full", "[0]\nA=1\n" + QByteArray(8000, 'x'), "A", "1", "7", {}, Setup::DiskFull);
}

void tst_IniFile::readWrite()
{
    QFETCH(Case, c);
    const auto &[before, after, section, key, old, value, setup] = c;
    if ((setup == Setup::Unreadable || setup == Setup::ReadOnlyDir) && ::geteuid() == 0)
        QSKIP("root reads and writes regardless of permissions");
    QTemporaryDir dir;
    const QString file = dir.filePath(u"Velkora.ini"_s);
    const QString temp = dir.filePath(u".Velkora.ini.tmp-"_s); // of a killed write, of one running
    QVERIFY(setup != Setup::Link || QFile::link(u"real.ini"_s, file)); // relative, as users do
    QVERIFY(setup == Setup::Dir ? QDir().mkdir(file) : before.isNull() || writeAll(file, before));
    QVERIFY(before.isNull() // 0640 is a mode no new file gets
            || QFile::setPermissions(file,
                                     setup == Setup::Unreadable ? QFile::WriteOwner
                                                                : QFile::ReadOwner
                                             | QFile::WriteOwner | QFile::ReadGroup));
    const QFile::Permissions perms = QFile::permissions(file);
    QVERIFY(setup != Setup::ReadOnlyDir
            || QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
    QCOMPARE(velkora::IniFile::readValue(file, section, key).value_or(Missing), old);
    QVERIFY(setup != Setup::Changed || writeAll(file, QByteArray(before).replace('2', '9')));
    QVERIFY(setup != Setup::Leftovers
            || (writeAll(temp + u"now"_s, "x")
                && writeAll(temp + u"old"_s, {}, QDateTime::currentDateTime().addSecs(-120))));

    struct rlimit saved; // for disk full: one the new file outgrows, to fail the write, not us
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const struct rlimit limit = {setup == Setup::DiskFull ? 4096 : saved.rlim_cur, saved.rlim_max};
    QVERIFY(std::signal(SIGXFSZ, SIG_IGN) != SIG_ERR && ::setrlimit(RLIMIT_FSIZE, &limit) == 0);
    const bool ok = velkora::IniFile::writeValue(file, section, key, value);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    QCOMPARE(ok, !after.isNull());
    QCOMPARE(velkora::IniFile::readValue(file, section, key).value_or(Missing), ok ? value : old);
    QVERIFY(before.isNull() || QFile::permissions(file) == perms);
    for (const QString &path : {dir.path(), file}) // to read what is left, and to clean up
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(readAll(file), ok ? after : before);
    QCOMPARE(QFile::remove(temp + u"now"_s), setup == Setup::Leftovers);
    const QDir::Filters all = QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot;
    QCOMPARE(QDir(dir.path()).entryList(all).size(), 1 + int(setup == Setup::Link)); // no temp
    QCOMPARE(QFileInfo(file).isSymLink(), setup == Setup::Link);
}

QTEST_GUILESS_MAIN(tst_IniFile)
#include "tst_IniFile.moc"
