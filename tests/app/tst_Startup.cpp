#include "app/Startup.h"
#include "config/ModGlobal.h"
#include "config/ModeFile.h"
#include "config/ProgramTable.h"
#include "tests/support/FakeRuntime.h"
#include "ui/config/frmConfig.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using Startup::Mode;
using velkora::test::FakeRuntime;

class tst_Startup : public QObject {
    Q_OBJECT
    static void row(const char *name, const auto &...v) { (QTest::newRow(name) << ... << v); }

private Q_SLOTS:
    void modeOf_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<Mode>("mode");
        for (const char *config : {"/c", "/C", "/config", "/Config", "/cfg", "/c irgendwas"})
            row(config, QString(config), Mode::Configuration);
        for (const char *usage : {"/?", "/?x"})
            row(usage, QString(usage), Mode::Usage);
        for (const char *automatic : {"", "/x", "/", "-c", "c", "config", "-?", " /c", "/ c"})
            row(automatic[0] ? automatic : "empty", QString(automatic), Mode::Automatic);
    }
    void modeOf()
    {
        QFETCH(QString, arguments);
        QTEST(Startup::modeOf(arguments), "mode");
    }

    void formLoad_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<bool>("previous");
        QTest::addColumn<bool>("readsFile");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QString>("caption"); // set in configuration mode only
        QTest::addColumn<int>("ends");
        QTest::addColumn<int>("starts");
        const QString usage = "Zum Konfigurieren starten Sie das Programm mit /config\r\nz.B. : "
                              "Velkora.exe /config";
        // A second copy ends before it reads anything, whatever the mode.
        row("second copy", QString("/config"), true, false, QStringList(), QString(), 1, 0);
        row("usage reads, then tells", QString("/?"), false, true, QStringList {usage}, QString(),
            1, 0);
        row("configuration", QString("/Config"), false, true, QStringList(), QString("Tool"), 0, 0);
        row("automatic runs the table", QString(), false, true, QStringList(), QString(), 1, 1);
    }
    void formLoad();
};

void tst_Startup::formLoad()
{
    QFETCH(QString, arguments);
    QFETCH(bool, previous);
    QFETCH(bool, readsFile);
    QFETCH(QString, caption);

    velkora::resetProgramTable();
    ModGlobal::IniFilePath.clear();
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

    const std::unique_ptr<frmConfig> window = Startup::run(runtime);

    QCOMPARE(ModGlobal::IniFilePath, readsFile ? dir.filePath("Tool.ini") : QString());
    QCOMPARE(velkora::EntryCount, readsFile ? 2 : 0);
    QCOMPARE(runtime.activations, previous ? QStringList {"Velkora"} : QStringList());
    QCOMPARE(runtime.title, previous ? QString() : QString("Velkora"));
    QTEST(runtime.messages, "messages");
    QTEST(runtime.ends, "ends");
    QTEST(int(runtime.starts.size()), "starts");
    QCOMPARE(bool(window), !caption.isEmpty()); // only configuration mode builds it
    if (window) {
        QCOMPARE(window->windowTitle(), caption);
        QCOMPARE(window->listEntries(),
                 QList<ModeFile::ListEntry>({{"/bin/true", "Wahr", "0"}, {"/bin/false", {}, {}}}));
    }
}

QTEST_MAIN(tst_Startup)
#include "tst_Startup.moc"
