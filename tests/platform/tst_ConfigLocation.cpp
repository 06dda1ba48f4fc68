#include "platform/core/NativePath.h"
#include "platform/session/AppInfo.h"
#include "platform/session/ConfigLocation.h"
#include "tests/support/Rows.h"

#include <QtTest>

#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using velkora::test::row;
class tst_ConfigLocation : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Started through a link in another folder, as an installed program is, from a folder whose
    // name is not UTF-8: the folder (byte for byte) and the name are the real file's.
    void folderAndName_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("baseName");
        QTest::newRow(".exe dropped, in any case") << QByteArray("Tool.EXE") << "Tool";
        QTest::newRow("other suffixes kept") << QByteArray("tool.sh") << "tool.sh";
    }
    void folderAndName()
    {
        QFETCH(QByteArray, file);
        QTemporaryDir dir;
        char resolved[PATH_MAX];
        QVERIFY(::realpath(QFile::encodeName(dir.path()), resolved));
        const QByteArray lib = resolved + QByteArray("/app-\xFF"), exe = lib + '/' + file,
                         link = resolved + QByteArray("/velkora");
        QVERIFY(::mkdir(lib, 0700) == 0 && ::close(::creat(exe, 0700)) == 0
                && ::symlink(exe, link) == 0);
        const auto info = velkora::applicationInfoFor(velkora::pathFromNative(link));
        QTEST(info.baseName, "baseName");
        QCOMPARE(velkora::pathToNative(info.folder), lib);
        QVERIFY(::unlink(exe) == 0 && ::rmdir(lib) == 0); // a name Qt cannot remove
    }

    // Scratch folders get the mode and are judged as nobody (root writes anywhere).
    void listFile_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("iniThere");
        QTest::addColumn<QString>("listFolder");
        row("a writable folder keeps the list", "rw", 0777, false, "rw");
        row("a read-only folder with a Velkora.ini keeps it", "ini", 0555, true, "ini");
        row("a read-only folder without one does not", "ro", 0555, false, "xdg/velkora");
        row("/usr never keeps it, even for root", "/usr/bin", 0, false, "xdg/velkora");
        row("/usr/local is the administrator's", "/usr/local/bin", 0, false, "/usr/local/bin");
    }
    void listFile()
    {
        QFETCH(QString, folder);
        QFETCH(int, mode);
        QFETCH(QString, listFolder);
        if (!mode && ::geteuid() != 0)
            QSKIP("only root may write to the system folders");
        QTemporaryDir root;
        const QDir dir(root.path()); // takes absolute paths as they are
        QVERIFY(::chmod(QFile::encodeName(root.path()).constData(), 0755) == 0);
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath("xdg")));
        const QByteArray scratch = QFile::encodeName(dir.filePath(folder));
        QFETCH(bool, iniThere);
        QVERIFY(!mode || QDir().mkpath(dir.filePath(folder)));
        QVERIFY(!iniThere
                || QFile(dir.filePath(folder + "/Velkora.ini")).open(QIODevice::WriteOnly));
        QVERIFY(!mode || ::chmod(scratch, mode_t(mode)) == 0);
        const bool nobody = mode && ::geteuid() == 0 && ::seteuid(65534) == 0;
        const QString file = velkora::configFilePath(dir.filePath(folder), "Velkora");
        QVERIFY((!nobody || ::seteuid(0) == 0) && (!mode || ::chmod(scratch, 0755) == 0));
        QCOMPARE(file, dir.filePath(listFolder) + "/Velkora.ini");
    }
};

QTEST_APPLESS_MAIN(tst_ConfigLocation)
#include "tst_ConfigLocation.moc"
