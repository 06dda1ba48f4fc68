#include "platform/SysInfo.h"

#include <QtTest>

#include <cerrno>

// argv_probe stands for an installed tool: PATH holds its folder alone.
class tst_SysInfo : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void startsFirstInstalledTool_data()
    {
        QTest::addColumn<QStringList>("candidates");
        QTest::addColumn<QString>("started"); // the candidate started, or empty: none installed
        QTest::newRow("the first installed one, with its arguments")
            << QStringList {"no-such-tool", "argv_probe --overview", "argv_probe"}
            << QString("argv_probe --overview");
        QTest::newRow("none installed") << QStringList {"no-such-tool", "other-tool"} << QString();
    }
    void startsFirstInstalledTool()
    {
        QFETCH(QStringList, candidates);
        QFETCH(QString, started);
        qputenv("PATH", QFile::encodeName(QFileInfo(ARGV_PROBE).path()));
        if (!started.isEmpty()) // the start's log line names the command
            QTest::ignoreMessage(QtInfoMsg,
                                 QRegularExpression("^started \"" + started + "\" as process"));
        velkora::ProcessStarter starter;
        QCOMPARE(velkora::startSysInfo(starter, candidates).errorNumber,
                 started.isEmpty() ? ENOENT : 0);
    }
};

QTEST_GUILESS_MAIN(tst_SysInfo)
#include "tst_SysInfo.moc"
