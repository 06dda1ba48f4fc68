#include "platform/SysInfo.h"

#include <QtTest>

#include <cerrno>

// Candidates a, "b --overview" and c: fake tools alone in PATH; one run leaves <name>.ran.
class tst_SysInfo : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void startsFirstInstalledTool_data()
    {
        QTest::addColumn<QString>("tools"); // upper case: executable
        QTest::addColumn<QString>("ran");
        QTest::newRow("first executable wins") << QStringLiteral("aBC") << QStringLiteral("b.ran");
        QTest::newRow("only the last") << QStringLiteral("C") << QStringLiteral("c.ran");
        QTest::newRow("none executable") << QStringLiteral("a") << QString();
    }
    void startsFirstInstalledTool()
    {
        QFETCH(QString, tools);
        QFETCH(QString, ran);
        QTemporaryDir bin;
        for (const QChar c : tools) {
            QFile tool(bin.filePath(c.toLower()));
            QVERIFY(tool.open(QIODevice::WriteOnly)
                    && tool.write("#!/bin/sh\n: >\"$0.ran\"\n") > 0);
            QVERIFY(c.isLower() || tool.setPermissions(QFile::ReadOwner | QFile::ExeOwner));
        }
        qputenv("PATH", QFile::encodeName(bin.path()));
        const auto result = velkora::startSysInfo(QStringLiteral("a|b --overview|c").split(u'|'));
        QCOMPARE(result.errorNumber, ran.isEmpty() ? ENOENT : 0);
        QCOMPARE(result.description.contains(QLatin1String("nicht gefunden")), ran.isEmpty());
        QTRY_COMPARE(QDir(bin.path()).entryList({QStringLiteral("*.ran")}).join(u' '), ran);
    }
};

QTEST_GUILESS_MAIN(tst_SysInfo)
#include "tst_SysInfo.moc"
