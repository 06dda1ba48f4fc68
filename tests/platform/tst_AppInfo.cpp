#include "platform/AppInfo.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

class tst_AppInfo : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void folderAndName_data()
    {
        QTest::addColumn<QString>("file"); // created in lib/
        QTest::addColumn<QString>("called"); // how it is started: lib/... or a link in bin/
        QTest::addColumn<QString>("baseName");
        for (const char *f : {"Velkora", "Tool.exe", "TOOL.EXE", "tool.sh", "Mein Start"})
            QTest::newRow(f) << f << QString("lib/") + f
                             << QString(f).remove(QRegularExpression(
                                    "\\.exe$", QRegularExpression::CaseInsensitiveOption));
        // An installed program is started through a link; its file lies beside the real one.
        QTest::newRow("link leads to the real folder") << "Velkora"
                                                       << "bin/velkora"
                                                       << "Velkora";
    }
    void folderAndName()
    {
        QFETCH(QString, file);
        QFETCH(QString, called);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath("lib") && QDir(dir.path()).mkpath("bin"));
        QVERIFY(QFile(dir.filePath("lib/" + file)).open(QIODevice::WriteOnly));
        QFile::link(dir.filePath("lib/" + file), dir.filePath("bin/velkora"));
        const velkora::AppInfo info = velkora::applicationInfoFor(dir.filePath(called));
        QTEST(info.baseName, "baseName");
        QCOMPARE(info.folder, QDir(dir.filePath("lib")).canonicalPath());
    }
    void runningExecutable()
    {
        const velkora::AppInfo info = velkora::applicationInfo();
        QCOMPARE(info.baseName, "tst_AppInfo");
        QCOMPARE(QString("%1.%2.%3").arg(info.major).arg(info.minor).arg(info.revision), "1.1.0");
    }
};

QTEST_APPLESS_MAIN(tst_AppInfo)
#include "tst_AppInfo.moc"
