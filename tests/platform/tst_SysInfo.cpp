#include "SysInfo.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>

using velkora::StartResult;

class tst_SysInfo : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void startsFirstInstalledTool_data();
    void startsFirstInstalledTool();

private:
    QTemporaryDir m_dir;
    QByteArray m_savedPath;
    int m_rowCount = 0;
};

void tst_SysInfo::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_savedPath = qgetenv("PATH");
}

void tst_SysInfo::cleanupTestCase()
{
    qputenv("PATH", m_savedPath);
}

void tst_SysInfo::startsFirstInstalledTool_data()
{
    // Fake tools by their index in the candidate list; started: the index
    // expected to run, -1 for none.
    QTest::addColumn<QList<int>>("executable");
    QTest::addColumn<QList<int>>("notExecutable");
    QTest::addColumn<int>("started");

    const int last = int(velkora::sysInfoCandidates().size()) - 1;
    QTest::newRow("first candidate") << QList<int> {0} << QList<int> {} << 0;
    QTest::newRow("only the last candidate") << QList<int> {last} << QList<int> {} << last;
    QTest::newRow("several installed, first wins") << QList<int> {last, 1} << QList<int> {} << 1;
    QTest::newRow("not executable is passed over") << QList<int> {2} << QList<int> {0} << 2;
    QTest::newRow("none installed") << QList<int> {} << QList<int> {} << -1;
}

void tst_SysInfo::startsFirstInstalledTool()
{
    QFETCH(QList<int>, executable);
    QFETCH(QList<int>, notExecutable);
    QFETCH(int, started);

    const QStringList candidates = velkora::sysInfoCandidates();
    QVERIFY(!candidates.isEmpty());
    const QString bin = m_dir.filePath(QStringLiteral("bin%1").arg(++m_rowCount));
    const QString marker = m_dir.filePath(QStringLiteral("marker%1").arg(m_rowCount));
    QVERIFY(QDir().mkpath(bin));
    const auto install = [&](int index, QFile::Permissions permissions) {
        // A candidate may carry arguments; its program is the first word.
        QFile tool(bin + u'/' + candidates.at(index).section(u' ', 0, 0));
        QVERIFY(tool.open(QIODevice::WriteOnly));
        tool.write("#!/bin/sh\necho \"${0##*/} $*\" > \"$SYSINFO_MARKER\"\n");
        tool.close();
        QVERIFY(tool.setPermissions(QFile::ReadOwner | QFile::WriteOwner | permissions));
    };
    for (int index : executable)
        install(index, QFile::ExeOwner);
    for (int index : notExecutable)
        install(index, {});
    qputenv("PATH", QFile::encodeName(bin));
    qputenv("SYSINFO_MARKER", QFile::encodeName(marker));

    const StartResult result = velkora::startSysInfo();
    if (started < 0) {
        QCOMPARE(result.errorNumber, ENOENT);
        QVERIFY(!result.description.isEmpty());
        return;
    }
    QVERIFY2(result.ok(), qPrintable(result.description));
    const auto markerText = [&marker] {
        QFile file(marker);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed()
                                              : QString();
    };
    QTRY_COMPARE(markerText(), candidates.at(started));
}

QTEST_GUILESS_MAIN(tst_SysInfo)
#include "tst_SysInfo.moc"
