#include "config/ModGlobal.h"
#include "config/ModeFile.h"
#include "config/ProgramTable.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using velkora::EntryCount;
using velkora::ProgramTable;

class tst_ModeFile : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

    static void row(const char *name, const auto &...v) { (QTest::newRow(name) << ... << v); }
    static void writeFile(const QByteArray &content)
    {
        QFile f(ModGlobal::IniFilePath);
        QVERIFY(content.isNull()
                || (f.open(QIODevice::WriteOnly) && f.write(content) == content.size()));
    }
    // Sections 0 to upTo as the save writes them; blank lines are the INI layer's affair.
    static QStringList sections(const QStringList &entries, int upTo = 30)
    {
        QStringList lines;
        for (int i = 0; i <= upTo; ++i) {
            const QStringList e = entries.value(i, "||").split('|');
            lines << QString("[%1]").arg(i) << "DATEI=" + e[0] << "Name=" + e[1] << "ZEIT=" + e[2];
        }
        return lines;
    }

private Q_SLOTS:
    void init()
    {
        velkora::resetProgramTable();
        ModGlobal::IniFilePath = m_dir.filePath("Velkora.ini");
        QFile::remove(ModGlobal::IniFilePath);
    }

    void load_data()
    {
        QTest::addColumn<QByteArray>("file"); // null: no file at all
        QTest::addColumn<int>("entryCount");
        QTest::addColumn<QStringList>("list"); // the list lines of the filled slots
        QTest::addColumn<QString>("slot0"); // path|name|seconds, "-" where unset
        row("no file", QByteArray(), 0, QStringList(), QString("-|-|-"));
        row("gaps keep slot numbers",
            QByteArray("[1]\nDATEI=C:\\A.EXE\nZEIT=5\n[4]\nDATEI=/b "
                       "c/d\nName=B\nZEIT=-3\n[6]\nDATEI=/e\nName=E\n"),
            3, QStringList {"C:\\A.EXE||5", "/b c/d|B|-3", "/e|E|"}, QString("-|-|-"));
        row("empty path does not count", QByteArray("[0]\nDATEI=\nNAME=Nur Name\nZEIT=7\n"), 0,
            QStringList(), QString("-|Nur Name|7"));
        row("seconds abc", QByteArray("[0]\nDATEI=/a\nZEIT=abc\n"), 1, QStringList {"/a||"},
            QString("/a|-|-"));
        row("seconds with blanks", QByteArray("[0]\nDATEI=/a\nZEIT= 15 \n"), 1,
            QStringList {"/a||15"}, QString("/a|-|15"));
        row("seconds beyond 32 bits", QByteArray("[0]\nDATEI=/a\nZEIT=99999999999\n"), 1,
            QStringList {"/a||"}, QString("/a|-|-"));
        row("name key in any case",
            QByteArray("[0]\nDATEI=/ä\nname=klein\n[1]\nDATEI=/b\nNAME=GROSS\n"), 2,
            QStringList {"/ä|klein|", "/b|GROSS|"}, QString("/ä|klein|-"));
        row("section 31 is not read", QByteArray("[30]\nDATEI=/last\n[31]\nDATEI=/beyond\n"), 1,
            QStringList {"/last||"}, QString("-|-|-"));
        row("garbage", QByteArray("\x01\x02[0\nDATEI\n==\n\xff\xfe"), 0, QStringList(),
            QString("-|-|-"));
    }
    void load()
    {
        QFETCH(QByteArray, file);
        writeFile(file);
        ModeFile::LoadProgramTable();
        const velkora::ProgramEntry &e = ProgramTable[0];
        QTEST(e.path.value_or("-") + '|' + e.name.value_or("-") + '|'
                  + (e.seconds ? QString::number(*e.seconds) : "-"),
              "slot0");
        QTEST(int(EntryCount), "entryCount");
        QStringList lines;
        for (const ModeFile::ListEntry &entry : ModeFile::ProgramListEntries())
            lines << entry.line();
        QTEST(lines, "list");
        QCOMPARE(QFile::exists(ModGlobal::IniFilePath), !file.isNull());
    }

    void save_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QStringList>("after");
        QByteArray five;
        for (int i = 0; i < 5; ++i)
            five += QString("[%1]\nDATEI=/old/%1\nName=Alt %1\nZEIT=1%1\n").arg(i).toUtf8();
        const QStringList two {"/usr/bin/mail|Mail|10", "/usr/bin/backup|Backup|30"};
        // A file entry without a name or seconds gives such lines; the lines after
        // them must still reach the file.
        const QStringList gaps {"/a|A|5", "/b||7", "/c|C|", "/d|D|9"};
        const QStringList odd {"/opt/My App/bin/tool --x|Werkzeug für Äpfel|60",
                               "\"/q u/x\" 'a b'|Zitat|2"};
        QStringList many;
        for (int i = 0; i < 33; ++i)
            many << QString("/p/%1|P%1|%2").arg(i).arg(2 + i);
        row("empty list, no file", QByteArray(), QStringList(), sections({}));
        row("two lines over five entries", five, two, sections(two));
        row("empty fields written, rest saved", QByteArray(), gaps, sections(gaps));
        row("blanks, quotes, umlauts", QByteArray(), odd, sections(odd));
        row("33 lines", QByteArray(), many, sections(many, 32));
    }
    void save()
    {
        QFETCH(QByteArray, before);
        QFETCH(QStringList, lines);
        writeFile(before);
        QList<ModeFile::ListEntry> entries;
        for (const QString &line : lines) {
            const QStringList f = line.split('|');
            entries.append({f[0], f[1], f[2]});
        }
        ModeFile::SaveProgramTable(entries);
        QFile f(ModGlobal::IniFilePath);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QStringList written = QString::fromUtf8(f.readAll()).split('\n');
        written.removeAll(QString());
        QTEST(written, "after");
        ModeFile::LoadProgramTable(); // the next start reads back up to 31 of them
        QCOMPARE(ModeFile::ProgramListEntries(), entries.mid(0, 31));
    }
};

QTEST_APPLESS_MAIN(tst_ModeFile)
#include "tst_ModeFile.moc"
