#include "AppInfo.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class tst_AppInfo : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void names_data();
    void names();
    void linkLeadsToTheRealFolder();
    void runningExecutable();
};

void tst_AppInfo::names_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("baseName");

    for (const auto &[file, base] : {std::pair{"Velkora", "Velkora"}, {"Tool.exe", "Tool"},
                                     {"TOOL.EXE", "TOOL"}, {"tool.sh", "tool.sh"}, {"Mein Start", "Mein Start"}})
        QTest::newRow(file) << QString(file) << QString(base);
}

void tst_AppInfo::names()
{
    QFETCH(QString, file);
    QFETCH(QString, baseName);

    QTemporaryDir dir;
    QVERIFY(QFile(dir.filePath(file)).open(QIODevice::WriteOnly));
    const velkora::AppInfo info = velkora::applicationInfoFor(dir.filePath(file));
    QCOMPARE(info.baseName, baseName);
    QCOMPARE(info.folder, QDir(dir.path()).canonicalPath());
}

void tst_AppInfo::linkLeadsToTheRealFolder()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("lib/velkora")));
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("bin")));
    const QString real = dir.filePath(QStringLiteral("lib/velkora/Velkora"));
    QVERIFY(QFile(real).open(QIODevice::WriteOnly));
    QVERIFY(QFile::link(real, dir.filePath(QStringLiteral("bin/velkora"))));

    const velkora::AppInfo info = velkora::applicationInfoFor(dir.filePath(QStringLiteral("bin/velkora")));
    QCOMPARE(info.folder, QFileInfo(real).canonicalPath());
    QCOMPARE(info.baseName, QStringLiteral("Velkora"));
}

void tst_AppInfo::runningExecutable()
{
    const velkora::AppInfo info = velkora::applicationInfo();
    QCOMPARE(info.baseName, QStringLiteral("tst_AppInfo"));
    QCOMPARE(QString::number(info.major) + QLatin1Char('.') + QString::number(info.minor)
                 + QLatin1Char('.') + QString::number(info.revision),
             QStringLiteral("1.1.0"));
}

QTEST_APPLESS_MAIN(tst_AppInfo)
#include "tst_AppInfo.moc"
