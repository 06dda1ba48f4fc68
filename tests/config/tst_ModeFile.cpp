#include "ModGlobal.h"
#include "ModINI.h"
#include "ModeFile.h"
#include "ProgramTable.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using velkora::EntryCount;
using velkora::ProgramTable;

class tst_ModeFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void load_data();
    void load();
    void save_data();
    void save();
    void saveThenLoadGivesTheLines();

private:
    QTemporaryDir m_dir;
};

namespace {

void writeFile(const QByteArray &content)
{
    QFile f(ModGlobal::IniFilePath);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content);
}

// The file's non-blank lines, so that a comparison does not depend on how the
// INI layer separates sections.
QStringList fileLines()
{
    QFile f(ModGlobal::IniFilePath);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    lines.removeAll(QString());
    return lines;
}

QStringList sections(const QStringList &entries, int upTo = 30)
{
    QStringList lines;
    for (int i = 0; i <= upTo; ++i) {
        const QStringList e = i < entries.size() ? entries[i].split(QLatin1Char('|')) : QStringList{{}, {}, {}};
        lines << QStringLiteral("[%1]").arg(i) << QStringLiteral("DATEI=") + e[0]
              << QStringLiteral("Name=") + e[1] << QStringLiteral("ZEIT=") + e[2];
    }
    return lines;
}

} // namespace

void tst_ModeFile::init()
{
    QVERIFY(m_dir.isValid());
    velkora::resetProgramTable();
    ModGlobal::resetGlobals();
    ModGlobal::IniFilePath = m_dir.filePath(QStringLiteral("Velkora.ini"));
    QFile::remove(ModGlobal::IniFilePath);
}

void tst_ModeFile::load_data()
{
    QTest::addColumn<QByteArray>("file"); // empty: no file at all
    QTest::addColumn<int>("entryCount");
    QTest::addColumn<QStringList>("list"); // the list lines of the filled slots
    QTest::addColumn<QString>("slot0");    // slot 0 as path|name|seconds, "-" unset

    QTest::newRow("no file") << QByteArray() << 0 << QStringList() << "-|-|-";
    QTest::newRow("gaps keep slot numbers")
        << QByteArray("[1]\nDATEI=C:\\A.EXE\nZEIT=5\n[4]\nDATEI=/b c/d\nName=B\nZEIT=-3\n[6]\nDATEI=/e\nName=E\n")
        << 3 << QStringList{"C:\\A.EXE||5", "/b c/d|B|-3", "/e|E|"} << "-|-|-";
    QTest::newRow("empty path does not count")
        << QByteArray("[0]\nDATEI=\nNAME=Nur Name\nZEIT=7\n") << 0 << QStringList() << "-|Nur Name|7";
    QTest::newRow("seconds abc") << QByteArray("[0]\nDATEI=/a\nZEIT=abc\n") << 1 << QStringList{"/a||"}
                                 << "/a|-|-";
    QTest::newRow("seconds with blanks") << QByteArray("[0]\nDATEI=/a\nZEIT= 15 \n") << 1
                                         << QStringList{"/a||15"} << "/a|-|15";
    QTest::newRow("seconds beyond 32 bits") << QByteArray("[0]\nDATEI=/a\nZEIT=99999999999\n") << 1
                                            << QStringList{"/a||"} << "/a|-|-";
    QTest::newRow("name key in any case")
        << QByteArray("[0]\nDATEI=/a\nname=klein\n[1]\nDATEI=/b\nNAME=GROSS\n") << 2
        << QStringList{"/a|klein|", "/b|GROSS|"} << "/a|klein|-";
    QTest::newRow("umlauts") << QByteArray("[0]\nDATEI=/opt/Büro/prüfen\nName=Prüfung\n") << 1
                             << QStringList{"/opt/Büro/prüfen|Prüfung|"} << "/opt/Büro/prüfen|Prüfung|-";
    QTest::newRow("section 31 is not read") << QByteArray("[30]\nDATEI=/last\n[31]\nDATEI=/beyond\n")
                                            << 1 << QStringList{"/last||"} << "-|-|-";
    QTest::newRow("garbage") << QByteArray("\x01\x02[0\nDATEI\n==\n\xff\xfe") << 0 << QStringList()
                             << "-|-|-";
}

void tst_ModeFile::load()
{
    QFETCH(QByteArray, file);
    QFETCH(int, entryCount);
    QFETCH(QStringList, list);
    QFETCH(QString, slot0);

    if (!file.isEmpty())
        writeFile(file);
    ModeFile::LoadProgramTable();

    const velkora::ProgramEntry &e = ProgramTable[0];
    const QString shown = e.path.value_or(QStringLiteral("-")) + QLatin1Char('|')
        + e.name.value_or(QStringLiteral("-")) + QLatin1Char('|')
        + (e.seconds ? QString::number(*e.seconds) : QStringLiteral("-"));
    QCOMPARE(shown, slot0);
    QCOMPARE(EntryCount, entryCount);
    QCOMPARE(ModeFile::ProgramListLines(), list);
    QCOMPARE(QFile::exists(ModGlobal::IniFilePath), !file.isEmpty());
}

void tst_ModeFile::save_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("after");

    QByteArray five;
    for (int i = 0; i < 5; ++i)
        five += QStringLiteral("[%1]\nDATEI=/old/%1\nName=Alt %1\nZEIT=1%1\n").arg(i).toUtf8();
    const QStringList two{"/usr/bin/mail|Mail|10", "/usr/bin/backup|Backup|30"};
    // A file entry without a name or seconds gives such a line; the lines
    // after it must still reach the file.
    const QStringList gaps{"/a|A|5", "/b||7", "/c|C|", "/d|D|9"};
    QStringList many;
    for (int i = 0; i < 33; ++i)
        many << QStringLiteral("/p/%1|P%1|%2").arg(i).arg(2 + i);

    QTest::newRow("empty list, no file") << QByteArray() << QStringList() << sections({});
    QTest::newRow("two lines over five entries") << five << two << sections(two);
    QTest::newRow("empty fields written, rest saved") << QByteArray() << gaps << sections(gaps);
    QTest::newRow("33 lines") << QByteArray() << many << sections(many, 32);
}

void tst_ModeFile::save()
{
    QFETCH(QByteArray, before);
    QFETCH(QStringList, lines);
    QFETCH(QStringList, after);

    if (!before.isEmpty())
        writeFile(before);
    ModeFile::SaveProgramTable(lines);
    QCOMPARE(fileLines(), after);
}

void tst_ModeFile::saveThenLoadGivesTheLines()
{
    const QStringList lines{QStringLiteral("/opt/My App/bin/tool --x|Werkzeug für Äpfel|60"),
                            QStringLiteral("\"/q u/x\" 'a b'|Zitat|2")};
    ModeFile::SaveProgramTable(lines);
    ModeFile::LoadProgramTable();
    QCOMPARE(ModeFile::ProgramListLines(), lines);
    QCOMPARE(EntryCount, 2);
}

QTEST_APPLESS_MAIN(tst_ModeFile)
#include "tst_ModeFile.moc"
