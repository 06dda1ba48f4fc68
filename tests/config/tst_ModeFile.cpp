#include "config/ModeFile.h"
#include "config/ProgramTable.h"
#include "platform/core/NativePath.h"
#include "tests/support/Rows.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using Entries = QList<ModeFile::ListEntry>;

class tst_ModeFile : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_path;

    // The INI layer reads and writes a file's bytes as they are, whatever the bytes of its path.
    static QByteArray bytesOf(const QString &path)
    {
        velkora::IniDocument file;
        return velkora::readIniFile(path, file).ok() ? file.toBytes() : "";
    }
    static QByteArray sample(const char *name)
    {
        return bytesOf(qEnvironmentVariable("VELKORA_TEST_DATA") + '/' + name);
    }
    bool writeFile(const QByteArray &bytes, int mode = 0644) const
    {
        const QString &path = m_path;
        return velkora::writeIniFile(path, velkora::IniDocument::fromBytes(bytes)).ok()
            && ::chmod(velkora::pathToNative(path), mode_t(mode)) == 0;
    }
    Entries loadEntries() const
    {
        return ModeFile::listEntries(ModeFile::LoadProgramTable(m_path));
    }

private Q_SLOTS:
    void init()
    {
        m_path = m_dir.filePath("Velkora.ini");
        QFile::remove(m_path);
    }

    // Hand-written files through load, "/config", "Exit" without edits and the next load, in a
    // folder whose name is not UTF-8.
    void roundTrip_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<Entries>("entries");
        // Once cut at the pipe and spilled into Name and ZEIT.
        QTest::newRow("command with a pipe")
            << QByteArray("[0]\nDATEI=sh -c 'ls | wc -l'\nName=Zählen\nZEIT=5\n")
            << Entries {{"sh -c 'ls | wc -l'", "Zählen", "5"}};
        // Once read back as /opt/My App/tool" "x y.
        QTest::newRow("quoted program with a quoted argument")
            << QByteArray("[0]\nDATEI=\"/opt/My App/tool\" \"x y\"\n")
            << Entries {{"\"/opt/My App/tool\" \"x y\"", {}, {}}};
        QTest::newRow("quoted path, | in a name, name key in capitals")
            << QByteArray("[0]\r\nDATEI=\"/opt/My App/tool\"\r\nNAME=Tool|Beta\r\nZEIT= 15 \r\n")
            << Entries {{"/opt/My App/tool", "Tool|Beta", "15"}};
        QTest::newRow("umlauts beside a Windows-1252 byte")
            << sample("utf8_beside_cp1252.ini") << Entries {{"/opt/Grüße", "Büro €", "10"}};
        QTest::newRow("UTF-8 byte-order mark")
            << sample("utf8_bom.ini") << Entries {{"/opt/grüße/start", "Grüße", "12"}};
        QTest::newRow("UTF-16BE") << sample("utf16be.ini") << Entries {{"/opt/Käfer", "𝄞", "3"}};
        QTest::newRow("cut at 254 characters but never in a pair, and at a NUL; a tab kept")
            << sample("cut_at_254.ini") << Entries {{QString(253, u'a'), "'x \t", "2"}};
        QTest::newRow("entries in sections 1, 4 and 6, bad seconds unset")
            << sample("sections_1_4_6.ini")
            << Entries {{"C:\\A.EXE", {}, {}}, {"/b", "B", "-3"}, {"/e", {}, {}}};
        QTest::newRow("an empty path does not count, section 31 is not read")
            << sample("section_31.ini") << Entries {{"/last", {}, {}}};
        QTest::newRow("only AKTIV=0 switches off; conditions and their wait kept as written")
            << QByteArray(
                   "[0]\nDATEI=/a\nAKTIV= 0\nWARTEN_AUF= netzwerk,Bluetooth\nWARTEN_MAX=500\n"
                   "[1]\nDATEI=/b\nAKTIV=nein\nWARTEN_MAX=x\n")
            << Entries {{"/a", {}, {}, false, "netzwerk,Bluetooth", "500"}, {"/b", {}, {}, true}};
    }
    void roundTrip()
    {
        QFETCH(QByteArray, content);
        QFETCH(Entries, entries);
        const QByteArray dir = QFile::encodeName(m_dir.path()) + "/Gr\xC3\xBC\xC3\x9F-\xFF";
        QVERIFY(::mkdir(dir, 0700) == 0 || errno == EEXIST); // a failed row leaves it
        m_path = velkora::pathFromNative(dir + "/Velkora.ini");
        QVERIFY(writeFile(content));
        QCOMPARE(loadEntries(), entries);
        QVERIFY(ModeFile::SaveProgramTable(m_path, entries).ok());
        QCOMPARE(loadEntries(), entries);
        QVERIFY(::unlink(dir + "/Velkora.ini") == 0 && ::rmdir(dir) == 0); // names Qt cannot remove
    }

    void save_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<Entries>("entries");
        QTest::addColumn<QByteArray>("after");
        Entries many;
        for (int i = 0; i < 33; ++i)
            many.append({QString("/p/%1").arg(i), QString("P%1").arg(i), QString::number(2 + i)});
        QTest::newRow("empty list, no file")
            << QByteArray() << Entries() << sample("saved_empty.ini");
        // An entry of the file without a name or seconds has empty fields; those after it count.
        QTest::newRow("two lines over five entries, an empty field, another section kept")
            << sample("five_entries.ini")
            << Entries {{"/usr/bin/mail", {}, "10"}, {"/usr/bin/backup", "Backup", "30"}}
            << sample("saved_two.ini");
        QTest::newRow("33 lines") << QByteArray() << many << sample("saved_33.ini");
        // A switch or a condition moves with its entry and is gone where the entry that had it
        // was, in a section past the list too.
        QTest::newRow("keys move with their entry")
            << QByteArray("[0]\nDATEI=/a\nAKTIV=0\nWARTEN_AUF=Netzwerk\n[1]\nDATEI=/b\n[2]\n"
                          "DATEI=/c\nWARTEN_MAX=60\n")
            << Entries {{"/b", "B", "5"}, {"/a", "A", "5", false, "Netzwerk", "45"}}
            << sample("saved_keys_moved.ini");
        QTest::newRow("quotes and blanks at the ends quoted")
            << QByteArray() << Entries {{"\"/q u/x\"", " Zitat 'a'\t", "2"}}
            << sample("saved_quotes.ini");
    }
    void save()
    {
        QFETCH(QByteArray, before);
        QFETCH(Entries, entries);
        QVERIFY(before.isNull() || writeFile(before));
        QVERIFY(ModeFile::SaveProgramTable(m_path, entries).ok());
        QTEST(bytesOf(m_path), "after");
        QCOMPARE(loadEntries(), entries.mid(0, 31));
    }

    // What cannot be read or replaced stays as it is, with one line on standard error and a
    // message that names the file and says why in German.
    void refused_data()
    {
        QTest::addColumn<bool>("folderInItsPlace"); // else a file of mode 0444 holds "[0] /a"
        QTest::addColumn<Entries>("entries");
        QTest::addColumn<QString>("logged"); // after the file's name
        QTest::addColumn<QString>("why");
        velkora::test::row("a folder in the file's place", true, Entries {{"/a", "A", "5"}},
                           QString("open: errno 21 "), QString("Ist ein Ordner."));
        velkora::test::row("a file without write permission", false, Entries {{"/b", "B", "5"}},
                           QString("access: errno 13 "), QString("Zugriff verweigert."));
        velkora::test::row("an entry with a control character", false,
                           Entries {{"/a", "A", "5"}, {"/b", "B\x1b[1mC", "5"}},
                           QString("entry 2 holds a control character"),
                           QString("Eintrag 2 enthält ein Steuerzeichen (etwa einen Zeilenumbruch) "
                                   "oder ein Zeichen, das die Datei nicht aufnehmen kann."));
    }
    void refused()
    {
        QFETCH(bool, folderInItsPlace);
        QFETCH(Entries, entries);
        QFETCH(QString, logged);
        QFETCH(QString, why);
        QVERIFY(folderInItsPlace ? QDir().mkdir(m_path) : writeFile("[0]\nDATEI=/a\n", 0444));
        if (folderInItsPlace) {
            QTest::ignoreMessage(QtWarningMsg,
                                 QRegularExpression("^cannot read the list from "
                                                    "\".*\": open: errno 21 "));
            QCOMPARE(loadEntries(), Entries());
        }
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("^cannot save the list to \".*\": " + logged));
        QCOMPARE(
            ModeFile::saveFailureMessage(m_path, ModeFile::SaveProgramTable(m_path, entries)),
            QString("Die Liste konnte nicht gespeichert werden.\n\n%1\n\n%2").arg(m_path, why));
        if (folderInItsPlace)
            QVERIFY(QDir().rmdir(m_path));
        else
            QCOMPARE(bytesOf(m_path), "[0]\nDATEI=/a\n");
    }
};

QTEST_GUILESS_MAIN(tst_ModeFile)
#include "tst_ModeFile.moc"
