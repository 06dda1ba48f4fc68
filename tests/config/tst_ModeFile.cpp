#include "ModGlobal.h"
#include "ModINI.h"
#include "ModeFile.h"
#include "ProgramTable.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using velkora::EntryCount;
using velkora::ProgramTable;

namespace {

void writeFile(const QString &path, const QByteArray &content)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(content), content.size());
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The non-blank lines of the file, so that comparisons do not depend on how
// the INI layer separates sections.
QStringList fileLines(const QString &path)
{
    QStringList lines;
    for (const QString &line : QString::fromUtf8(readFile(path)).split(QLatin1Char('\n'))) {
        const QString t = line.trimmed();
        if (!t.isEmpty())
            lines << t;
    }
    return lines;
}

QStringList emptySections(int from, int to)
{
    QStringList lines;
    for (int i = from; i <= to; ++i)
        lines << QStringLiteral("[%1]").arg(i) << QStringLiteral("DATEI=") << QStringLiteral("Name=")
              << QStringLiteral("ZEIT=");
    return lines;
}

QString value(int section, const char *key)
{
    return ModINI::ReadIniValue(ModGlobal::IniFilePath, QString::number(section),
                                QString::fromLatin1(key));
}

} // namespace

class tst_ModeFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void load_data();
    void load();
    void loadWithoutFile();
    void listLines();
    void saveEmptyListWritesAllSections();
    void saveFewerLinesClearsTheRest();
    void saveKeepsLinesAfterAnIncompleteOne();
    void saveBeyondThirtyOneLines();
    void saveReadsBackAsSaved();

private:
    QTemporaryDir m_dir;
};

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
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("path");    // "<unset>" for unset
    QTest::addColumn<QString>("name");    // "<unset>" for unset
    QTest::addColumn<QString>("seconds"); // "<unset>" for unset
    QTest::addColumn<int>("entryCount");

    const QString unset = QStringLiteral("<unset>");
    QTest::newRow("full entry") << QByteArray("[0]\nDATEI=/usr/bin/a\nName=A\nZEIT=10\n") << 0
                                << "/usr/bin/a" << "A" << "10" << 1;
    QTest::newRow("gaps keep slot numbers")
        << QByteArray("[0]\nDATEI=/a\n[1]\nDATEI=/b\n[5]\nDATEI=/f\nZEIT=3\n") << 5 << "/f" << unset
        << "3" << 3;
    QTest::newRow("empty path does not count")
        << QByteArray("[0]\nDATEI=\nNAME=Nur Name\nZEIT=7\n") << 0 << unset << "Nur Name" << "7" << 0;
    QTest::newRow("seconds not a number") << QByteArray("[0]\nDATEI=/a\nZEIT=abc\n") << 0 << "/a"
                                          << unset << unset << 1;
    QTest::newRow("seconds with blanks") << QByteArray("[0]\nDATEI=/a\nZEIT= 15 \n") << 0 << "/a"
                                         << unset << "15" << 1;
    QTest::newRow("seconds too large") << QByteArray("[0]\nDATEI=/a\nZEIT=99999999999\n") << 0
                                       << "/a" << unset << unset << 1;
    QTest::newRow("name key in capitals") << QByteArray("[0]\nDATEI=/a\nNAME=Gross\n") << 0 << "/a"
                                          << "Gross" << unset << 1;
    QTest::newRow("name key in small letters") << QByteArray("[0]\nDATEI=/a\nname=klein\n") << 0
                                               << "/a" << "klein" << unset << 1;
    QTest::newRow("umlauts") << QByteArray("[0]\nDATEI=/opt/Büro/prüfen\nName=Prüfung\n") << 0
                             << "/opt/Büro/prüfen" << "Prüfung" << unset << 1;
    QTest::newRow("section 31 is not read")
        << QByteArray("[30]\nDATEI=/last\n[31]\nDATEI=/beyond\n") << 30 << "/last" << unset << unset
        << 1;
    QTest::newRow("garbage file") << QByteArray("\x01\x02[0\nDATEI\n==\n\xff\xfe") << 0 << unset
                                  << unset << unset << 0;
}

void tst_ModeFile::load()
{
    QFETCH(QByteArray, file);
    QFETCH(int, slot);
    QFETCH(QString, path);
    QFETCH(QString, name);
    QFETCH(QString, seconds);
    QFETCH(int, entryCount);

    writeFile(ModGlobal::IniFilePath, file);
    ModeFile::LoadProgramTable();

    const auto show = [](const auto &field) {
        if (!field)
            return QStringLiteral("<unset>");
        if constexpr (std::is_same_v<std::decay_t<decltype(*field)>, QString>)
            return *field;
        else
            return QString::number(*field);
    };
    const velkora::ProgramEntry &entry = ProgramTable[size_t(slot)];
    QCOMPARE(show(entry.path), path);
    QCOMPARE(show(entry.name), name);
    QCOMPARE(show(entry.seconds), seconds);
    QCOMPARE(EntryCount, entryCount);
}

void tst_ModeFile::loadWithoutFile()
{
    ModeFile::LoadProgramTable();
    QCOMPARE(EntryCount, 0);
    for (const velkora::ProgramEntry &entry : ProgramTable)
        QVERIFY(!entry.path && !entry.name && !entry.seconds);
    QVERIFY(!QFile::exists(ModGlobal::IniFilePath));
}

void tst_ModeFile::listLines()
{
    writeFile(ModGlobal::IniFilePath, "[1]\nDATEI=C:\\A.EXE\nZEIT=5\n"
                                      "[2]\nName=ohne Pfad\nZEIT=9\n"
                                      "[4]\nDATEI=/b c/d\nName=B\nZEIT=-3\n"
                                      "[6]\nDATEI=/e\nName=E\n");
    ModeFile::LoadProgramTable();
    QCOMPARE(ModeFile::ProgramListLines(),
             QStringList({QStringLiteral("C:\\A.EXE||5"), QStringLiteral("/b c/d|B|-3"),
                          QStringLiteral("/e|E|")}));
}

void tst_ModeFile::saveEmptyListWritesAllSections()
{
    ModeFile::SaveProgramTable({});
    QCOMPARE(fileLines(ModGlobal::IniFilePath), emptySections(0, 30));
}

void tst_ModeFile::saveFewerLinesClearsTheRest()
{
    QByteArray five;
    for (int i = 0; i < 5; ++i)
        five += QStringLiteral("[%1]\nDATEI=/old/%1\nName=Alt %1\nZEIT=1%1\n").arg(i).toUtf8();
    writeFile(ModGlobal::IniFilePath, five);

    ModeFile::SaveProgramTable(
        {QStringLiteral("/usr/bin/mail|Mail|10"), QStringLiteral("/usr/bin/backup|Backup|30")});

    QStringList expected{QStringLiteral("[0]"), QStringLiteral("DATEI=/usr/bin/mail"),
                         QStringLiteral("Name=Mail"), QStringLiteral("ZEIT=10"),
                         QStringLiteral("[1]"), QStringLiteral("DATEI=/usr/bin/backup"),
                         QStringLiteral("Name=Backup"), QStringLiteral("ZEIT=30")};
    expected += emptySections(2, 30);
    QCOMPARE(fileLines(ModGlobal::IniFilePath), expected);
}

void tst_ModeFile::saveKeepsLinesAfterAnIncompleteOne()
{
    // A file entry without a name makes a line with an empty name; the lines
    // after it must still reach the file.
    ModeFile::SaveProgramTable({QStringLiteral("/a|A|5"), QStringLiteral("/b||7"),
                                QStringLiteral("/c|C|"), QStringLiteral("/d|D|9")});
    QCOMPARE(value(1, "DATEI"), QStringLiteral("/b"));
    QCOMPARE(value(1, "NAME"), QString());
    QCOMPARE(value(1, "ZEIT"), QStringLiteral("7"));
    QCOMPARE(value(2, "NAME"), QStringLiteral("C"));
    QCOMPARE(value(2, "ZEIT"), QString());
    QCOMPARE(value(3, "DATEI"), QStringLiteral("/d"));
    QCOMPARE(value(3, "ZEIT"), QStringLiteral("9"));
    QCOMPARE(value(4, "DATEI"), QString());
}

void tst_ModeFile::saveBeyondThirtyOneLines()
{
    QStringList lines;
    for (int i = 0; i < 33; ++i)
        lines << QStringLiteral("/p/%1|P%1|%2").arg(i).arg(2 + i % 59);
    ModeFile::SaveProgramTable(lines);

    QCOMPARE(value(31, "DATEI"), QStringLiteral("/p/31"));
    QCOMPARE(value(32, "NAME"), QStringLiteral("P32"));
    ModeFile::LoadProgramTable();
    QCOMPARE(EntryCount, 31);
    QCOMPARE(*ProgramTable[30].path, QStringLiteral("/p/30"));
}

void tst_ModeFile::saveReadsBackAsSaved()
{
    const QStringList lines{QStringLiteral("/opt/My App/bin/tool --x|Werkzeug für Äpfel|60"),
                            QStringLiteral("\"/q u/x\" 'a b'|Zitat|2")};
    ModeFile::SaveProgramTable(lines);
    ModeFile::LoadProgramTable();
    QCOMPARE(ModeFile::ProgramListLines(), lines);
}

QTEST_APPLESS_MAIN(tst_ModeFile)
#include "tst_ModeFile.moc"
