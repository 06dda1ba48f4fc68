#include "FakeRuntime.h"
#include "ModGlobal.h"
#include "ProgramTable.h"
#include "Startup.h"
#include "frmConfig.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using Startup::Mode;
using velkora::test::FakeRuntime;

class tst_Startup : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void modeOf_data();
    void modeOf();
    void formLoad_data();
    void formLoad();
};

void tst_Startup::modeOf_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<Mode>("mode");

    for (const char *config : {"/c", "/C", "/config", "/Config", "/cfg", "/c irgendwas"})
        QTest::newRow(config) << QString(config) << Mode::Configuration;
    for (const char *usage : {"/?", "/?x"})
        QTest::newRow(usage) << QString(usage) << Mode::Usage;
    for (const char *automatic : {"", "/x", "/", "-c", "c", "config", "-?", " /c", "/ c"})
        QTest::newRow(automatic[0] ? automatic : "empty") << QString(automatic) << Mode::Automatic;
}

void tst_Startup::modeOf()
{
    QFETCH(QString, arguments);
    QFETCH(Mode, mode);
    QCOMPARE(Startup::modeOf(arguments), mode);
}

void tst_Startup::formLoad_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<bool>("previous");
    QTest::addColumn<bool>("readsFile");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("caption"); // set in configuration mode only
    QTest::addColumn<int>("ends");
    QTest::addColumn<int>("starts");

    const QString usage = "Zum Konfigurieren starten Sie das Programm mit /config\r\nz.B. : Velkora.exe /config";
    // A second copy ends before it reads anything, whatever the mode.
    QTest::newRow("second copy") << "/config" << true << false << QStringList() << "" << 1 << 0;
    QTest::newRow("usage reads, then tells") << "/?" << false << true << QStringList{usage} << "" << 1 << 0;
    QTest::newRow("configuration") << "/Config" << false << true << QStringList() << "Tool" << 0 << 0;
    QTest::newRow("automatic runs the table") << "" << false << true << QStringList() << "" << 1 << 1;
}

void tst_Startup::formLoad()
{
    QFETCH(QString, arguments);
    QFETCH(bool, previous);
    QFETCH(bool, readsFile);
    QFETCH(QStringList, messages);
    QFETCH(QString, caption);
    QFETCH(int, ends);
    QFETCH(int, starts);

    velkora::resetProgramTable();
    ModGlobal::resetGlobals();
    QTemporaryDir dir;
    FakeRuntime runtime;
    runtime.info.folder = dir.path();
    runtime.info.baseName = "Tool";
    runtime.arguments = arguments;
    runtime.previous = previous;
    QFile ini(dir.filePath("Tool.ini"));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[0]\nDATEI=/bin/true\nName=Wahr\nZEIT=0\n[2]\nDATEI=/bin/false\n");
    ini.close();
    // Only keeps a broken runner from hanging the test run.
    QTimer guard;
    connect(&guard, &QTimer::timeout, this, [] {
        if (QWidget *modal = QApplication::activeModalWidget())
            modal->close();
    });
    guard.start(10000);
    frmConfig window(runtime);

    Startup::Form_Load(window, runtime);

    QCOMPARE(ModGlobal::IniFilePath, readsFile ? dir.filePath("Tool.ini") : QString());
    QCOMPARE(velkora::EntryCount, readsFile ? 2 : 0);
    QCOMPARE(runtime.activations, previous ? QStringList{"Velkora"} : QStringList());
    QCOMPARE(runtime.title, previous ? QString() : QString("Velkora"));
    QCOMPARE(runtime.messages, messages);
    QCOMPARE(runtime.ends, ends);
    QCOMPARE(runtime.starts.size(), starts);
    if (!caption.isEmpty()) {
        QCOMPARE(window.windowTitle(), caption);
        QCOMPARE(window.listLines(), QStringList({"/bin/true|Wahr|0", "/bin/false||"}));
    }
}

QTEST_MAIN(tst_Startup)
#include "tst_Startup.moc"
