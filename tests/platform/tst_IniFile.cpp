#include "IniFile.h"

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

using velkora::IniFile::readValue;
using velkora::IniFile::writeValue;

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System
                               | QDir::NoDotAndDotDot);
}

QByteArray utf16le(const QString &text)
{
    QByteArray out;
    for (const QChar c : text) {
        out += char(c.unicode() & 0xFF);
        out += char(c.unicode() >> 8);
    }
    return out;
}

enum class Failure {
    Folder,
    Unreadable,
    ReadOnlyFolder,
    ReadOnlyFolderNoFile,
    SizeLimit,
    LineBreak,
    Bracket
};

} // namespace

Q_DECLARE_METATYPE(Failure)

class tst_IniFile : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void read_data();
    void read();
    void write_data();
    void write();
    void encodings_data();
    void encodings();
    void fallsBackToUtf8WhenCp1252CannotHold();
    void symlinkWrittenThrough();
    void modeKept_data();
    void modeKept();
    void failedWriteLeavesFile_data();
    void failedWriteLeavesFile();
    void badInput_data();
    void badInput();
    void unreadableCountsAsMissing_data();
    void unreadableCountsAsMissing();
    void externalChangeSeen_data();
    void externalChangeSeen();

private:
    QTemporaryDir m_dir;
    QString m_file;
};

void tst_IniFile::init()
{
    QVERIFY(m_dir.isValid());
    for (const QString &name : entries(m_dir.path())) {
        const QString path = m_dir.filePath(name);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFileInfo(path).isDir() && !QFileInfo(path).isSymLink() ? QDir(path).removeRecursively()
                                                                : QFile::remove(path);
    }
    QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    m_file = m_dir.filePath(QStringLiteral("Velkora.ini"));
}

void tst_IniFile::read_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("value");
    const auto row = [](const char *name, const char *section, const char *key, bool found,
                        const char *value) {
        QTest::newRow(name) << QString::fromUtf8(section) << QString::fromUtf8(key) << found
                            << QString::fromUtf8(value);
    };

    row("section and key in other case", "PROG", "NAME", true, "lower");
    row("blanks around name and value", "Prog", "spaced", true, "padded value");
    row("tabs around value", "Prog", "tabbed", true, "value");
    row("double quotes removed", "Prog", "dq", true, "quoted value ");
    row("single quotes removed", "Prog", "sq", true, " single ");
    row("unmatched quotes kept", "Prog", "mixed", true, "\"not matched'");
    row("lone quote kept", "Prog", "lonequote", true, "\"");
    row("first of two keys wins", "Prog", "first", true, "1");
    row("comment is no key", "Prog", "commented", false, "");
    row("empty value", "Prog", "empty", true, "");
    row("blank value", "Prog", "blank", true, "");
    row("blanks inside brackets", "3", "key", true, "three");
    row("key of the next section", "Prog", "key", false, "");
    row("key before any section", "Prog", "top", false, "");
    row("missing section", "Nothing", "name", false, "");
}

void tst_IniFile::read()
{
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(bool, found);
    QFETCH(QString, value);

    QVERIFY(writeAll(m_file,
                     "top=before any section\n"
                     "[Prog]\n"
                     "name=lower\n"
                     "  Spaced   =   padded value   \n"
                     "tabbed=\tvalue\t\n"
                     "dq=\"quoted value \"\n"
                     "sq=' single '\n"
                     "mixed=\"not matched'\n"
                     "lonequote=\"\n"
                     "first=1\n"
                     "FIRST=2\n"
                     ";commented=x\n"
                     "empty=\n"
                     "blank=   \n"
                     "[ 3 ]\n"
                     "key=three\n"));
    const std::optional<QString> result = readValue(m_file, section, key);
    QCOMPARE(result.has_value(), found);
    if (found)
        QCOMPARE(*result, value);
}

void tst_IniFile::write_data()
{
    QTest::addColumn<bool>("existing");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("after");
    const auto row = [](const char *name, const char *before, const char *section, const char *key,
                        const char *value, const char *after) {
        QTest::newRow(name) << (before != nullptr) << QByteArray(before)
                            << QString::fromUtf8(section) << QString::fromUtf8(key)
                            << QString::fromUtf8(value) << QByteArray(after);
    };

    row("creates missing file", nullptr, "0", "DATEI", "/bin/true", "[0]\nDATEI=/bin/true\n");
    row("replaces in place", "; c\n[0]\nDATEI=old\nNAME=n\n\n[1]\nDATEI=b\n", "0", "DATEI", "new",
        "; c\n[0]\nDATEI=new\nNAME=n\n\n[1]\nDATEI=b\n");
    row("Name replaces NAME", "[0]\nNAME=alt\nZEIT=1\n", "0", "Name", "neu",
        "[0]\nNAME=neu\nZEIT=1\n");
    row("first of two keys replaced", "[0]\nA=1\nA=2\n", "0", "a", "3", "[0]\nA=3\nA=2\n");
    row("blanks around old value go", "[0]\nA =  old  \n", "0", "A", "new", "[0]\nA =new\n");
    row("key appended after last key line", "[0]\nA=1\n; note\n\n[1]\nA=2\n", "0", "B", "2",
        "[0]\nA=1\nB=2\n; note\n\n[1]\nA=2\n");
    row("key appended to section without keys", "[0]\n\n[1]\nA=1\n", "0", "B", "2",
        "[0]\nB=2\n\n[1]\nA=1\n");
    row("section appended at end", "[0]\nA=1\n", "5", "A", "x", "[0]\nA=1\n[5]\nA=x\n");
    row("section name in other case", "[Prog]\nA=1\n", "PROG", "A", "2", "[Prog]\nA=2\n");
    row("empty value keeps key", "[0]\nDATEI=x\nZEIT=3\n", "0", "DATEI", "",
        "[0]\nDATEI=\nZEIT=3\n");
    row("CRLF kept for added key", "[0]\r\nA=1\r\n", "0", "B", "2", "[0]\r\nA=1\r\nB=2\r\n");
    row("CRLF kept for added section", "[0]\r\nA=1\r\n", "1", "B", "2",
        "[0]\r\nA=1\r\n[1]\r\nB=2\r\n");
}

void tst_IniFile::write()
{
    QFETCH(bool, existing);
    QFETCH(QByteArray, before);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QByteArray, after);

    if (existing)
        QVERIFY(writeAll(m_file, before));
    QVERIFY(writeValue(m_file, section, key, value));
    QCOMPARE(readAll(m_file), after);
    QCOMPARE(readValue(m_file, section, key.toUpper()), std::optional<QString>(value));
    QCOMPARE(entries(m_dir.path()), QStringList {QStringLiteral("Velkora.ini")});
}

void tst_IniFile::encodings_data()
{
    QTest::addColumn<QString>("sample");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("oldValue");
    QTest::addColumn<QByteArray>("oldBytes");
    QTest::addColumn<QString>("newValue");
    QTest::addColumn<QByteArray>("newBytes");

    QTest::newRow("Windows-1252 with CRLF")
        << QStringLiteral("windows_cp1252_crlf.ini") << QStringLiteral("0")
        << QStringLiteral("NAME") << QStringLiteral(u"Büro – Übersicht")
        << QByteArray("B\xFCro \x96 \xDC"
                      "bersicht")
        << QStringLiteral(u"Äpfel für 3 €") << QByteArray("\xC4pfel f\xFCr 3 \x80");
    QTest::newRow("Windows-1252 euro sign")
        << QStringLiteral("windows_cp1252_crlf.ini") << QStringLiteral("1")
        << QStringLiteral("name") << QStringLiteral(u"Preis in €") << QByteArray("Preis in \x80")
        << QStringLiteral(u"Öl") << QByteArray("\xD6l");
    QTest::newRow("UTF-16LE") << QStringLiteral("windows_utf16le.ini") << QStringLiteral("0")
                              << QStringLiteral("NAME") << QStringLiteral(u"Käfer 𝄞")
                              << utf16le(QStringLiteral(u"Käfer 𝄞"))
                              << QStringLiteral(u"Grüße aus Köln")
                              << utf16le(QStringLiteral(u"Grüße aus Köln"));
    QTest::newRow("UTF-8 with BOM")
        << QStringLiteral("utf8_bom.ini") << QStringLiteral("0") << QStringLiteral("DATEI")
        << QStringLiteral(u"/opt/grüße/start") << QStringLiteral(u"/opt/grüße/start").toUtf8()
        << QStringLiteral(u"/opt/€/東京") << QStringLiteral(u"/opt/€/東京").toUtf8();
}

void tst_IniFile::encodings()
{
    QFETCH(QString, sample);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, oldValue);
    QFETCH(QByteArray, oldBytes);
    QFETCH(QString, newValue);
    QFETCH(QByteArray, newBytes);

    const QByteArray original = readAll(qEnvironmentVariable("VELKORA_TEST_DATA") + u'/' + sample);
    QCOMPARE(original.count(oldBytes), 1);
    QVERIFY(writeAll(m_file, original));

    QCOMPARE(readValue(m_file, section, key), std::optional<QString>(oldValue));
    QVERIFY(writeValue(m_file, section, key, newValue));
    QByteArray expected = original;
    QCOMPARE(readAll(m_file), expected.replace(oldBytes, newBytes));
    QCOMPARE(readValue(m_file, section, key), std::optional<QString>(newValue));

    // Writing the old value back gives the very bytes of the sample.
    QVERIFY(writeValue(m_file, section, key, oldValue));
    QCOMPARE(readAll(m_file), original);
}

void tst_IniFile::fallsBackToUtf8WhenCp1252CannotHold()
{
    QVERIFY(writeAll(m_file,
                     readAll(qEnvironmentVariable("VELKORA_TEST_DATA")
                             + QStringLiteral("/windows_cp1252_crlf.ini"))));
    QVERIFY(
        writeValue(m_file, QStringLiteral("1"), QStringLiteral("ZEIT"), QStringLiteral(u"東京")));

    const QString expected = QStringLiteral(u"; Programme für den automatischen Start\r\n"
                                            u"; Kosten 5 €, undefiniertes Zeichen \x0081 bleibt\r\n"
                                            u"[0]\r\n"
                                            u"DATEI=C:\\Programme\\Bürosoftware\\büro.exe\r\n"
                                            u"NAME=Büro – Übersicht\r\n"
                                            u"ZEIT=10\r\n"
                                            u"\r\n"
                                            u"[1]\r\n"
                                            u"DATEI=C:\\Tools\\Größe.exe\r\n"
                                            u"Name=Preis in €\r\n"
                                            u"ZEIT=東京\r\n");
    QCOMPARE(readAll(m_file), expected.toUtf8());
    QCOMPARE(readValue(m_file, QStringLiteral("0"), QStringLiteral("NAME")),
             std::optional<QString>(QStringLiteral(u"Büro – Übersicht")));
}

void tst_IniFile::symlinkWrittenThrough()
{
    const QString target = m_dir.filePath(QStringLiteral("real.ini"));
    QVERIFY(writeAll(target, "[0]\nA=1\n"));
    QVERIFY(QFile::link(QStringLiteral("real.ini"), m_file)); // relative, as users make them

    QVERIFY(writeValue(m_file, QStringLiteral("0"), QStringLiteral("A"), QStringLiteral("2")));
    QVERIFY(QFileInfo(m_file).isSymLink());
    QCOMPARE(QFileInfo(m_file).symLinkTarget(), target);
    QCOMPARE(readAll(target), QByteArray("[0]\nA=2\n"));
    QCOMPARE(entries(m_dir.path()).size(), 2);
}

void tst_IniFile::modeKept_data()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("0600") << 0600;
    QTest::newRow("0640") << 0640;
}

void tst_IniFile::modeKept()
{
    QFETCH(int, mode);
    QVERIFY(writeAll(m_file, "[0]\nA=1\n"));
    QCOMPARE(::chmod(QFile::encodeName(m_file).constData(), mode_t(mode)), 0);
    QVERIFY(writeValue(m_file, QStringLiteral("0"), QStringLiteral("A"), QStringLiteral("2")));
    struct stat st;
    QCOMPARE(::stat(QFile::encodeName(m_file).constData(), &st), 0);
    QCOMPARE(int(st.st_mode & 07777), mode);
}

void tst_IniFile::failedWriteLeavesFile_data()
{
    QTest::addColumn<Failure>("failure");
    QTest::newRow("folder in place of the file") << Failure::Folder;
    QTest::newRow("file not readable") << Failure::Unreadable;
    QTest::newRow("read-only folder") << Failure::ReadOnlyFolder;
    QTest::newRow("read-only folder, no file") << Failure::ReadOnlyFolderNoFile;
    QTest::newRow("file size limit reached") << Failure::SizeLimit;
    QTest::newRow("line break in value") << Failure::LineBreak;
    QTest::newRow("bracket in section name") << Failure::Bracket;
}

void tst_IniFile::failedWriteLeavesFile()
{
    QFETCH(Failure, failure);
    const bool needsRights = failure == Failure::Unreadable || failure == Failure::ReadOnlyFolder
        || failure == Failure::ReadOnlyFolderNoFile;
    if (needsRights && ::geteuid() == 0)
        QSKIP("root reads and writes regardless of permissions");

    // Big enough that the size limit cuts the new file short.
    const QByteArray original = "[0]\nA=1\n" + QByteArray(8000, 'x') + '\n';
    QString section = QStringLiteral("0");
    QString value = QStringLiteral("2");
    if (failure == Failure::Folder)
        QVERIFY(QDir().mkdir(m_file));
    else if (failure != Failure::ReadOnlyFolderNoFile)
        QVERIFY(writeAll(m_file, original));
    if (failure == Failure::Unreadable)
        QVERIFY(QFile::setPermissions(m_file, QFile::WriteOwner));
    if (failure == Failure::ReadOnlyFolder || failure == Failure::ReadOnlyFolderNoFile)
        QVERIFY(QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::ExeOwner));
    if (failure == Failure::LineBreak)
        value = QStringLiteral("2\n[1]");
    if (failure == Failure::Bracket)
        section = QStringLiteral("0]x");
    const QStringList before = entries(m_dir.path());

    bool written = true;
    if (failure == Failure::SizeLimit) {
        struct rlimit old;
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &old), 0);
        struct rlimit small = old;
        small.rlim_cur = 4096;
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
        written = writeValue(m_file, section, QStringLiteral("A"), value);
        ::setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
    } else {
        written = writeValue(m_file, section, QStringLiteral("A"), value);
    }
    QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::setPermissions(m_file, QFile::ReadOwner | QFile::WriteOwner);

    QVERIFY(!written);
    QCOMPARE(entries(m_dir.path()), before);
    if (failure == Failure::Folder)
        QVERIFY(QFileInfo(m_file).isDir());
    else if (failure != Failure::ReadOnlyFolderNoFile)
        QCOMPARE(readAll(m_file), original);
}

void tst_IniFile::badInput_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("key"); // in section "0", the file's last
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("writable");
    const auto row = [](const char *name, const QByteArray &content, const char *key, bool found,
                        const char *value, bool writable = true) {
        QTest::newRow(name) << content << QString::fromUtf8(key) << found
                            << QString::fromUtf8(value) << writable;
    };

    QByteArray garbage(64 * 1024, Qt::Uninitialized);
    QRandomGenerator random(42);
    random.fillRange(reinterpret_cast<quint32 *>(garbage.data()), garbage.size() / 4);
    row("binary garbage", garbage + "\n[0]\nk=ok\n", "k", true, "ok");
    static const char withNul[] = "[0]\nA=x\0y\nB=after\n";
    row("NUL bytes", QByteArray(withNul, sizeof withNul - 1), "B", true, "after");
    row("BOM only", "\xEF\xBB\xBF", "A", false, "");
    row("no final newline", "[0]\nA=1", "A", true, "1");
    row("lone CR", "[0]\nA=1\rB=2\n", "B", true, "2");
    row("only lone CRs", "[0]\rA=1\rB=2", "B", true, "2");
    row("1 MB line", "[0]\nA=" + QByteArray(1024 * 1024, 'x') + "\nB=2\n", "B", true, "2");
    // An odd byte after UTF-16 text cannot be written back, so the file is
    // not touched; it is still read.
    static const char oddUtf16[] = "\xFF\xFE[\0"
                                   "0\0]\0\n\0"
                                   "A\0=\0"
                                   "1\0\n";
    row("UTF-16 with odd last byte", QByteArray(oddUtf16, sizeof oddUtf16 - 1), "A", true, "1",
        false);

    QByteArray huge = "[1]\nA=first\n";
    const QByteArray filler = "filler=" + QByteArray(57, 'f') + '\n';
    huge.reserve(50 * 1024 * 1024 + 64);
    while (huge.size() < 50 * 1024 * 1024)
        huge += filler;
    row("50 MB file", huge + "[0]\nA=last\n", "A", true, "last");
}

void tst_IniFile::badInput()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, key);
    QFETCH(bool, found);
    QFETCH(QString, value);
    QFETCH(bool, writable);
    const QString section = QStringLiteral("0");

    QVERIFY(writeAll(m_file, content));
    const std::optional<QString> result = readValue(m_file, section, key);
    QCOMPARE(result.has_value(), found);
    if (found)
        QCOMPARE(*result, value);

    // Every row ends in its last section, so what the write adds comes after
    // all that stood there.
    QCOMPARE(writeValue(m_file, section, QStringLiteral("NEU"), QStringLiteral("7")), writable);
    const QByteArray after = readAll(m_file);
    QVERIFY(writable ? after.startsWith(content) && after.size() > content.size()
                     : after == content);
    if (writable)
        QCOMPARE(readValue(m_file, section, QStringLiteral("neu")),
                 std::optional<QString>(QStringLiteral("7")));
    QCOMPARE(readValue(m_file, section, key), result);
}

void tst_IniFile::unreadableCountsAsMissing_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("folder") << QStringLiteral("folder");
    QTest::newRow("FIFO") << QStringLiteral("fifo");
    QTest::newRow("no read permission") << QStringLiteral("unreadable");
}

void tst_IniFile::unreadableCountsAsMissing()
{
    QFETCH(QString, kind);
    if (kind == QLatin1String("folder")) {
        QVERIFY(QDir().mkdir(m_file));
    } else if (kind == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(QFile::encodeName(m_file).constData(), 0600), 0);
    } else {
        if (::geteuid() == 0)
            QSKIP("root reads files regardless of permissions");
        QVERIFY(writeAll(m_file, "[0]\nA=1\n"));
        QVERIFY(QFile::setPermissions(m_file, QFile::WriteOwner));
    }
    QVERIFY(!readValue(m_file, QStringLiteral("0"), QStringLiteral("A")));
}

void tst_IniFile::externalChangeSeen_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("value");
    QTest::newRow("same size, in place")
        << QStringLiteral("inplace") << true << QStringLiteral("9");
    QTest::newRow("replaced") << QStringLiteral("replace") << true << QStringLiteral("replaced");
    QTest::newRow("removed") << QStringLiteral("remove") << false << QString();
}

// Another process changes the file right after a write of ours, within the
// same timestamp tick.
void tst_IniFile::externalChangeSeen()
{
    QFETCH(QString, change);
    QFETCH(bool, found);
    QFETCH(QString, value);

    QVERIFY(writeValue(m_file, QStringLiteral("0"), QStringLiteral("A"), QStringLiteral("1")));
    QCOMPARE(readValue(m_file, QStringLiteral("0"), QStringLiteral("A")),
             std::optional<QString>(QStringLiteral("1")));
    if (change == QLatin1String("inplace")) {
        QFile f(m_file);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.seek(6));
        QCOMPARE(f.write("9"), 1);
    } else if (change == QLatin1String("replace")) {
        const QString other = m_dir.filePath(QStringLiteral("other"));
        QVERIFY(writeAll(other, "[0]\nA=replaced\n"));
        QCOMPARE(
            ::rename(QFile::encodeName(other).constData(), QFile::encodeName(m_file).constData()),
            0);
    } else {
        QVERIFY(QFile::remove(m_file));
    }

    const std::optional<QString> expected = found ? std::optional<QString>(value) : std::nullopt;
    QCOMPARE(readValue(m_file, QStringLiteral("0"), QStringLiteral("A")), expected);
    // A write must build on the changed file, not on what was cached.
    QVERIFY(writeValue(m_file, QStringLiteral("0"), QStringLiteral("B"), QStringLiteral("2")));
    QCOMPARE(readValue(m_file, QStringLiteral("0"), QStringLiteral("A")), expected);
}

QTEST_GUILESS_MAIN(tst_IniFile)
#include "tst_IniFile.moc"
