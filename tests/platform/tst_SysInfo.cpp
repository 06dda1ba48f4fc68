#include "platform/SysInfo.h"

#include <QtTest>

#include <cerrno>

// Candidates a, "b --overview" and c: fake tools alone in PATH, a never executable; one run leaves
// <name>.ran.
class tst_SysInfo : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void startsFirstInstalledTool_data()
    {
        QTest::addColumn<QStringList>("installed");
        QTest::addColumn<QString>("ran");
        QTest::newRow("the first executable one wins")
            << QStringList {"b", "c"} << QString("b.ran");
        QTest::newRow("only the last") << QStringList {"c"} << QString("c.ran");
        QTest::newRow("none executable") << QStringList {} << QString();
    }
    void startsFirstInstalledTool()
    {
        QFETCH(QStringList, installed);
        QFETCH(QString, ran);
        QTemporaryDir bin;
        for (const QString &name : installed + QStringList {"a"}) {
            QFile tool(bin.filePath(name));
            QVERIFY(tool.open(QIODevice::WriteOnly) && tool.write("#!/bin/sh\n: >\"$0.ran\"\n") > 0
                    && (name == "a" || tool.setPermissions(QFile::ReadOwner | QFile::ExeOwner)));
        }
        qputenv("PATH", QFile::encodeName(bin.path()));
        velkora::ProcessStarter starter;
        const auto result = velkora::startSysInfo(starter, {"a", "b --overview", "c"});
        QCOMPARE(result.errorNumber, installed.isEmpty() ? ENOENT : 0);
        QCOMPARE(result.description.contains("nicht gefunden"), installed.isEmpty());
        QTRY_COMPARE(QDir(bin.path()).entryList({"*.ran"}).join(' '), ran);
    }
};

QTEST_GUILESS_MAIN(tst_SysInfo)
#include "tst_SysInfo.moc"
