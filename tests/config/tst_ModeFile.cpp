#include "config/ModGlobal.h"
#include "config/ModeFile.h"
#include "config/ProgramTable.h"
#include "platform/NativePath.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using Entries = QList<ModeFile::ListEntry>;

class tst_ModeFile : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

    // The INI layer's own file access gives the bytes back as they are, path bytes included.
    static QByteArray readFile()
    {
        velkora::IniDocument file;
        return velkora::readIniFile(ModGlobal::IniFilePath, file).ok() ? file.toBytes() : "";
    }
    static bool writeFile(const QByteArray &bytes, int mode = 0644)
    {
        const QString &path = ModGlobal::IniFilePath;
        return velkora::writeIniFile(path, velkora::IniDocument::fromBytes(bytes)).ok()
            && ::chmod(velkora::pathToNative(path), mode_t(mode)) == 0;
    }
    static Entries loadEntries()
    {
        velkora::resetProgramTable();
        ModeFile::LoadProgramTable();
        return ModeFile::ProgramListEntries();
    }
    // Sections 0 to upTo as the save writes them into a new file.
    static QByteArray sections(const Entries &entries, int upTo = 30)
    {
        QString text;
        for (int i = 0; i <= upTo; ++i) {
            const ModeFile::ListEntry e = entries.value(i);
            text += QString("[%1]\nDATEI=%2\nName=%3\nZEIT=%4\n")
                        .arg(i)
                        .arg(e.path, e.name, e.seconds);
        }
        return text.toUtf8();
    }

private Q_SLOTS:
    void init() { ModGlobal::IniFilePath = m_dir.filePath("Velkora.ini"); }

    // Hand-written files through load, "/config", "Exit" without edits and the next load.
    void roundTrip_data()
    {
        QTest::addColumn<QByteArray>("folder"); // as the system names it; empty: the test's own
        QTest::addColumn<QByteArray>("content"); // null: no file
        QTest::addColumn<int>("entryCount");
        QTest::addColumn<Entries>("entries");
        const auto row = [](const char *name, const QByteArray &content, int count,
                            const Entries &entries, const QByteArray &folder = {}) {
            QTest::newRow(name) << folder << content << count << entries;
        };
        QFile data;
        const auto sample = [&](const char *name) {
            data.setFileName(qEnvironmentVariable("VELKORA_TEST_DATA") + '/' + name);
            return data.open(QIODevice::ReadOnly) ? data.readAll() : QByteArray("missing sample");
        };
        // Once cut at the pipe and spilled into Name and ZEIT.
        row("command with a pipe", "[0]\nDATEI=sh -c 'ls | wc -l'\nName=Zählen\nZEIT=5\n", 1,
            {{"sh -c 'ls | wc -l'", "Zählen", "5"}});
        // Once read back as /opt/My App/tool" "x y.
        row("quoted program with a quoted argument", "[0]\nDATEI=\"/opt/My App/tool\" \"x y\"\n", 1,
            {{"\"/opt/My App/tool\" \"x y\"", {}, {}}});
        row("quoted path, | in a name, name key in capitals",
            "[0]\r\nDATEI=\"/opt/My App/tool\"\r\nNAME=Tool|Beta\r\nZEIT= 15 \r\n", 1,
            {{"/opt/My App/tool", "Tool|Beta", "15"}});
        row("umlauts beside a Windows-1252 byte", sample("utf8_beside_cp1252.ini"), 1,
            {{"/opt/Grüße", "Büro €", "10"}});
        row("UTF-16BE", sample("utf16be.ini"), 1, {{"/opt/Käfer", "𝄞", "3"}});
        row("UTF-16LE of odd length", sample("utf16le_odd.ini"), 1, {{"/opt/Käfer", {}, {}}});
        row("lone CR ends a line", "[0]\rDATEI=/a\rb\rZEIT=2,5\r", 1, {{"/a", {}, "2"}});
        row("folder name that is not UTF-8", "[0]\nDATEI=/a\n", 1, {{"/a", {}, {}}}, "app-\xFF");
        row("no file", QByteArray(), 0, {});
        row("gaps keep slot numbers, bad seconds stay unset",
            "[1]\nDATEI=C:\\A.EXE\nZEIT=abc\n[4]\nDATEI=/b "
            "c/d\nName=B\nZEIT=-3\n[6]\nDATEI=/e\nZEIT=99999999999\n",
            3, {{"C:\\A.EXE", {}, {}}, {"/b c/d", "B", "-3"}, {"/e", {}, {}}});
        row("empty path does not count, section 31 is not read",
            "[0]\nDATEI=\nNAME=Nur Name\nZEIT=7\n[30]\nDATEI=/last\n[31]\nDATEI=/beyond\n", 1,
            {{"/last", {}, {}}});
    }
    void roundTrip()
    {
        QFETCH(QByteArray, folder);
        QFETCH(QByteArray, content);
        QFETCH(Entries, entries);
        const QByteArray dir = QFile::encodeName(m_dir.path()) + '/' + folder;
        QVERIFY(folder.isEmpty() || ::mkdir(dir, 0700) == 0);
        ModGlobal::IniFilePath = velkora::pathFromNative(dir + "/Velkora.ini");
        QVERIFY(content.isNull() || writeFile(content));
        QCOMPARE(loadEntries(), entries);
        QTEST(int(velkora::EntryCount), "entryCount");
        QVERIFY(ModeFile::SaveProgramTable(entries));
        const QByteArray saved = readFile();
        QCOMPARE(loadEntries(), entries);
        QVERIFY(ModeFile::SaveProgramTable(entries));
        QCOMPARE(readFile(), saved);
        QVERIFY(::unlink(dir + "/Velkora.ini") == 0 && (folder.isEmpty() || ::rmdir(dir) == 0));
    }

    void save_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<int>("mode");
        QTest::addColumn<Entries>("entries");
        QTest::addColumn<QByteArray>("after"); // null: refused, the file as it was
        QByteArray five;
        for (int i = 0; i < 5; ++i)
            five += QString("[%1]\nDATEI=/old/%1\nName=Alt %1\nZEIT=1%1\n").arg(i).toUtf8();
        const Entries two {{"/usr/bin/mail", "Mail", "10"}, {"/usr/bin/backup", "Backup", "30"}};
        // A file entry without a name or seconds gives such lines; those after them are saved too.
        const Entries gaps {{"/a", "A", "5"}, {"/b", {}, "7"}, {"/c", "C", {}}};
        Entries many;
        for (int i = 0; i < 33; ++i)
            many.append({QString("/p/%1").arg(i), QString("P%1").arg(i), QString::number(2 + i)});
        QTest::newRow("empty list, no file") << QByteArray() << 0 << Entries() << sections({});
        QTest::newRow("two lines over five entries") << five << 0640 << two << sections(two);
        QTest::newRow("empty fields written") << QByteArray() << 0 << gaps << sections(gaps);
        QTest::newRow("33 lines") << QByteArray() << 0 << many << sections(many, 32);
        QTest::newRow("quotes and blanks at the ends quoted")
            << QByteArray() << 0 << Entries {{"\"/q u/x\"", " Zitat 'a'\t", "2"}}
            << sections({{"\"\"/q u/x\"\"", "\" Zitat 'a'\t\"", "2"}});
        QTest::newRow("a line break refuses the whole save")
            << five << 0640 << Entries {{"/a", "A", "5"}, {"/b", "B\nC", "5"}} << QByteArray();
        QTest::newRow("a file without write permission is not replaced")
            << five << 0444 << two << QByteArray();
    }
    void save()
    {
        QFETCH(QByteArray, before);
        QFETCH(int, mode);
        QFETCH(Entries, entries);
        QFETCH(QByteArray, after);
        QFile::remove(ModGlobal::IniFilePath);
        QVERIFY(before.isNull() || writeFile(before, mode));
        if (after.isNull())
            QTest::ignoreMessage(
                QtWarningMsg, QRegularExpression("^cannot save the list to \".*Velkora.ini\": "));
        QCOMPARE(ModeFile::SaveProgramTable(entries), !after.isNull());
        QCOMPARE(readFile(), after.isNull() ? before : after);
        if (!after.isNull())
            QCOMPARE(loadEntries(), entries.mid(0, 31));
    }
};

QTEST_GUILESS_MAIN(tst_ModeFile)
#include "tst_ModeFile.moc"
