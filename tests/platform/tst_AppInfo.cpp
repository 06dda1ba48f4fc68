#include "platform/AppInfo.h"
#include "platform/NativePath.h"

#include <QTemporaryDir>
#include <QTest>

#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

class tst_AppInfo : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void folderAndName_data()
    {
        QTest::addColumn<QByteArray>("folder"); // as the system names it
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("viaLink"); // started through a link in another folder
        QTest::addColumn<QString>("baseName");
        for (const char *f : {"Velkora", "Tool.exe", "TOOL.EXE", "tool.sh", "Mein Start"})
            QTest::newRow(f) << QByteArray("lib") << QByteArray(f) << false
                             << QString(f).remove(".exe", Qt::CaseInsensitive);
        // An installed program is started through a link; its file lies beside the real one.
        QTest::newRow("link leads to the real folder")
            << QByteArray("lib") << QByteArray("Velkora") << true << QString("Velkora");
        QTest::newRow("folder name that is not UTF-8")
            << QByteArray("app-\xFF") << QByteArray("Velkora") << true << QString("Velkora");
    }
    void folderAndName()
    {
        QFETCH(QByteArray, folder);
        QFETCH(QByteArray, file);
        QFETCH(bool, viaLink);
        QTemporaryDir dir;
        char resolved[PATH_MAX];
        QVERIFY(::realpath(QFile::encodeName(dir.path()), resolved));
        const QByteArray lib = resolved + ('/' + folder), exe = lib + '/' + file,
                         link = resolved + QByteArray("/velkora");
        QVERIFY(::mkdir(lib, 0700) == 0 && ::close(::creat(exe, 0700)) == 0);
        QVERIFY(!viaLink || ::symlink(exe, link) == 0);
        const auto info
            = velkora::applicationInfoFor(velkora::pathFromNative(viaLink ? link : exe));
        QTEST(info.baseName, "baseName");
        QCOMPARE(velkora::pathToNative(info.folder), lib);
        QVERIFY(::unlink(exe) == 0 && ::rmdir(lib) == 0); // a name Qt cannot remove
    }
    void runningExecutable() { QCOMPARE(velkora::applicationInfo().baseName, "tst_AppInfo"); }
};

QTEST_APPLESS_MAIN(tst_AppInfo)
#include "tst_AppInfo.moc"
