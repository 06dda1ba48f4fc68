#include "IniFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using velkora::IniFile::readValue;
using velkora::IniFile::writeValue;

namespace {

const QString Missing = u"<missing>"_s;

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

enum class Setup { None, Link, ExternalChange, Folder, Unreadable, ReadOnlyFolder, DiskFull, Leftovers };

} // namespace

class tst_IniFile : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readWrite_data();
    void readWrite();
};

void tst_IniFile::readWrite_data()
{
    QTest::addColumn<QByteArray>("before"); // null: no file
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("old"); // read before the write
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("after"); // null: the write fails and leaves the file
    QTest::addColumn<Setup>("setup");
    const auto row = [](const char *name, const QByteArray &before, const char *key,
                        const char *old, const char *value, const QByteArray &after,
                        Setup setup = Setup::None, const char *section = "0") {
        QTest::newRow(name) << before << QString::fromUtf8(section) << QString::fromUtf8(key)
                            << (old ? QString::fromUtf8(old) : Missing) << QString::fromUtf8(value)
                            << after << setup;
    };
    const auto seven = [](QByteArray bytes) { return bytes.replace("A=1", "A=7"); };
    const QString data = qEnvironmentVariable("VELKORA_TEST_DATA") + u'/';
    const auto u16 = [](const char16_t *s) {
        return QByteArray(reinterpret_cast<const char *>(s), 2 * qsizetype(QStringView(s).size()));
    };

    row("missing file created", {}, "DATEI", nullptr, "/opt/Käfer", "[0]\nDATEI=/opt/Käfer\n");
    row("replaced in place, trimmed", "; c\n[0]\n DATEI =  old \nNAME=n\n\n[1]\nDATEI=b\n", "DATEI",
        "old", "neu", "; c\n[0]\n DATEI =neu\nNAME=n\n\n[1]\nDATEI=b\n");
    row("names in other case, first key wins", "[Prog]\nSchlüssel=1\nSCHLÜSSEL=2\n", "schlüssel",
        "1", "Öl", "[Prog]\nSchlüssel=Öl\nSCHLÜSSEL=2\n", Setup::None, "PROG");
    row("missing key appended to its section", "[0]\nA=1\n;B=x\n\n[1]\nB=2\n", "B", nullptr, "3",
        "[0]\nA=1\nB=3\n;B=x\n\n[1]\nB=2\n");
    row("missing section appended at end", "[1]\r\nA=1\r\n", "A", nullptr, "x",
        "[1]\r\nA=1\r\n[0]\r\nA=x\r\n");
    row("empty write keeps key", "[0]\nA=\" q \"\nB=1\n", "A", " q ", "", "[0]\nA=\nB=1\n");
    row("symlink written through, mode kept", "[0]\nA=1\n", "A", "1", "7", "[0]\nA=7\n",
        Setup::Link);
    // In place, same size, within the timestamp tick of the file's last change.
    row("external change seen", "[0]\nA=1\nB=2\n", "A", "1", "7", "[0]\nA=7\nB=9\n",
        Setup::ExternalChange);

    const QByteArray cp1252 = readAll(data + u"windows_cp1252_crlf.ini"_s);
    row("Windows-1252 CRLF", cp1252, "NAME", "Büro – Übersicht", "Äpfel für 3 €",
        QByteArray(cp1252).replace("B\xFCro \x96 \334bersicht", "\xC4pfel f\xFCr 3 \x80"));
    const QByteArray utf16 = readAll(data + u"windows_utf16le.ini"_s);
    row("UTF-16LE", utf16, "NAME", "Käfer 𝄞", "Grüße aus Köln",
        QByteArray(utf16).replace(u16(u"Käfer 𝄞"), u16(u"Grüße aus Köln")));
    const QByteArray bom = readAll(data + u"utf8_bom.ini"_s);
    row("UTF-8 BOM", bom, "DATEI", "/opt/grüße/start", "/opt/€/東京",
        QByteArray(bom).replace("/opt/grüße/start", "/opt/€/東京"));
    row("not in Windows-1252, all UTF-8", "; f\xFCr 5 \x80\r\n[0]\r\nNAME=B\xFCro \x96 x\r\n",
        "NAME", "Büro – x", "東京", "; für 5 €\r\n[0]\r\nNAME=東京\r\n");
    // Written as Windows-1252 these bytes would read back as UTF-8 "ä" next time.
    row("Windows-1252 that would read as UTF-8", "[0]\nA=\xC3\xA4\nB=\xFF\n", "B", "ÿ", "x",
        "[0]\nA=Ã¤\nB=x\n");
    // Temporary files of killed writes: the old one goes, one of this moment stays.
    row("leftover temporary file removed", "[0]\nA=1\n", "A", "1", "7", "[0]\nA=7\n",
        Setup::Leftovers);

    // Bad input: whatever stands there is read as far as it goes and kept.
    QByteArray garbage(64 * 1024, Qt::Uninitialized);
    QRandomGenerator(42).fillRange(reinterpret_cast<quint32 *>(garbage.data()), garbage.size() / 4);
    row("binary garbage", garbage + "\n[0]\nA=1\n", "A", "1", "7", seven(garbage + "\n[0]\nA=1\n"));
    row("NUL bytes", "[0]\nB=x\0y\nA=1\n"_ba, "A", "1", "7", "[0]\nB=x\0y\nA=7\n"_ba);
    row("BOM only", "\xEF\xBB\xBF", "A", nullptr, "7", "\xEF\xBB\xBF[0]\nA=7\n");
    row("no final newline", "[0]\nA=1", "A", "1", "7", "[0]\nA=7");
    row("lone CR", "[0]\nB=2\rA=1\n", "A", "1", "7", "[0]\nB=2\rA=7\n");
    const QByteArray longLine = "[0]\nB=" + QByteArray(1 << 20, 'x') + "\nA=1\n";
    row("1 MB line", longLine, "A", "1", "7", seven(longLine));
    const QByteArray huge = "[1]\n" + "f=0123456789\n"_ba.repeated(4 << 20) + "[0]\nA=1\n";
    row("50 MB file", huge, "A", "1", "7", seven(huge));
    row("folder in place of the file", {}, "A", nullptr, "7", {}, Setup::Folder);
    row("no read permission", "[0]\nA=1\n", "A", nullptr, "7", {}, Setup::Unreadable);
    row("read-only folder", "[0]\nA=1\n", "A", "1", "7", {}, Setup::ReadOnlyFolder);
    // Larger than the limit, so the new file would be cut short.
    row("disk full", "[0]\nA=1\n" + QByteArray(8000, 'x') + '\n', "A", "1", "7", {},
        Setup::DiskFull);
}

void tst_IniFile::readWrite()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, old);
    QFETCH(QString, value);
    QFETCH(QByteArray, after);
    QFETCH(Setup, setup);
    if ((setup == Setup::Unreadable || setup == Setup::ReadOnlyFolder) && ::geteuid() == 0)
        QSKIP("root reads and writes regardless of permissions");
    QTemporaryDir dir;
    const QString file = dir.filePath(u"Velkora.ini"_s);
    const QString real = setup == Setup::Link ? dir.filePath(u"real.ini"_s) : file;
    QVERIFY(setup == Setup::Folder ? QDir().mkdir(file)
                                   : before.isNull() || writeAll(real, before));
    if (setup == Setup::Link) // relative, as users make them
        QVERIFY(QFile::link(u"real.ini"_s, file) && ::chmod(qPrintable(real), 0640) == 0);
    if (setup == Setup::Unreadable)
        QVERIFY(QFile::setPermissions(file, QFile::WriteOwner));
    if (setup == Setup::ReadOnlyFolder)
        QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
    QCOMPARE(readValue(file, section, key).value_or(Missing), old);
    if (setup == Setup::Leftovers) {
        QFile stale(dir.filePath(u".Velkora.ini.tmp-old"_s));
        QVERIFY(stale.open(QIODevice::WriteOnly) && writeAll(dir.filePath(u".Velkora.ini.tmp-now"_s), "x"));
        QVERIFY(stale.setFileTime(QDateTime::currentDateTime().addSecs(-120), QFileDevice::FileModificationTime));
    }
    if (setup == Setup::ExternalChange) {
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadWrite) && f.seek(10) && f.write("9") == 1);
    }

    struct rlimit saved;
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const struct rlimit limit = {setup == Setup::DiskFull ? 4096 : saved.rlim_cur, saved.rlim_max};
    std::signal(SIGXFSZ, SIG_IGN); // past the limit a write is to fail, not to kill us
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    const bool written = writeValue(file, section, key, value);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    QCOMPARE(written, !after.isNull());
    QCOMPARE(readValue(file, section, key).value_or(Missing), written ? value : old);
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (setup == Setup::Unreadable)
        QVERIFY(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner));
    QCOMPARE(readAll(real), written ? after : before);
    const QDir::Filters all = QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot;
    const QStringList left = QDir(dir.path()).entryList(all);
    QCOMPARE(left.size(), setup == Setup::Link || setup == Setup::Leftovers ? 2 : 1); // no temp file
    QVERIFY(setup != Setup::Leftovers || left.contains(u".Velkora.ini.tmp-now"_s));
    struct stat st;
    QVERIFY(setup != Setup::Link
            || (QFileInfo(file).isSymLink() && ::stat(qPrintable(real), &st) == 0
                && (st.st_mode & 07777) == 0640));
}

QTEST_GUILESS_MAIN(tst_IniFile)
#include "tst_IniFile.moc"
