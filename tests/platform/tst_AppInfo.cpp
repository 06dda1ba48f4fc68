#include "platform/core/NativePath.h"
#include "platform/session/AppInfo.h"

#include <QtTest>

#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

class tst_AppInfo : public QObject {
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
};

QTEST_APPLESS_MAIN(tst_AppInfo)
#include "tst_AppInfo.moc"
