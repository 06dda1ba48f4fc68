#include "platform/SysInfo.h"

#include <QtTest>

#include <cerrno>

class tst_SysInfo : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Fake tools alone in PATH leave <name>.ran when they run; a lacks the execute bit.
    void startsFirstInstalledTool()
    {
        QTemporaryDir bin;
        for (const QString name : {"a", "b", "c"}) {
            QFile tool(bin.filePath(name));
            QVERIFY(tool.open(QIODevice::WriteOnly) && tool.write("#!/bin/sh\n: >$0.ran\n") > 0);
            QVERIFY(name == "a" || tool.setPermissions(QFile::ReadOwner | QFile::ExeOwner));
        }
        qputenv("PATH", QFile::encodeName(bin.path()));
        QVERIFY(velkora::startSysInfo({"a", "b --overview", "c"}).ok());
        QTRY_COMPARE(QDir(bin.path()).entryList({"*.ran"}), QStringList {"b.ran"});
        QCOMPARE(velkora::startSysInfo({"a", "d"}).errorNumber, ENOENT);
    }
};

QTEST_GUILESS_MAIN(tst_SysInfo)
#include "tst_SysInfo.moc"
