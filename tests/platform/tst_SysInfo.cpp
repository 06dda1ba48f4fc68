#include "platform/SysInfo.h"

#include <QtTest>

#include <cerrno>

class tst_SysInfo : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // argv_probe stands for an installed tool: PATH holds its folder alone. The start's log line
    // names the candidate started.
    void startsFirstInstalledTool()
    {
        qputenv("PATH", QFile::encodeName(QFileInfo(ARGV_PROBE).path()));
        velkora::ProcessStarter starter;
        QTest::ignoreMessage(QtInfoMsg, QRegularExpression("^started \"argv_probe --overview\""));
        QCOMPARE(
            velkora::startSysInfo(starter, {"no-such-tool", "argv_probe --overview", "argv_probe"})
                .errorNumber,
            0);
        const auto none = velkora::startSysInfo(starter, {"no-such-tool", "other-tool"});
        QCOMPARE(QString::number(none.errorNumber) + ':' + none.description,
                 "2:Datei nicht gefunden");
    }
};

QTEST_GUILESS_MAIN(tst_SysInfo)
#include "tst_SysInfo.moc"
