#include "FakeRuntime.h"
#include "ModGlobal.h"
#include "ModeFile.h"
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
    void init();
    void modeOf_data();
    void modeOf();
    void secondCopyEndsBeforeReading();
    void usageModeReadsFileThenShowsMessage();
    void configurationModeShowsEntries();
    void automaticModeRunsTheRunnerThenEnds();

private:
    void writeIni(const QByteArray &content);

    QTemporaryDir m_dir;
    FakeRuntime m_runtime;
};

void tst_Startup::init()
{
    QVERIFY(m_dir.isValid());
    velkora::resetProgramTable();
    ModGlobal::resetGlobals();
    m_runtime = FakeRuntime();
    m_runtime.info.folder = m_dir.path();
    m_runtime.info.baseName = QStringLiteral("Tool");
    QFile::remove(m_dir.filePath(QStringLiteral("Tool.ini")));
}

void tst_Startup::writeIni(const QByteArray &content)
{
    QFile f(m_dir.filePath(QStringLiteral("Tool.ini")));
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content);
}

void tst_Startup::modeOf_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<Mode>("mode");

    for (const char *config : {"/c", "/C", "/config", "/Config", "/cfg", "/c irgendwas"})
        QTest::newRow(config) << QString::fromLatin1(config) << Mode::Configuration;
    for (const char *usage : {"/?", "/?x"})
        QTest::newRow(usage) << QString::fromLatin1(usage) << Mode::Usage;
    for (const char *automatic : {"", "/x", "/", "-c", "c", "config", "-?", " /c", "/ c"})
        QTest::newRow(automatic[0] ? automatic : "empty")
            << QString::fromLatin1(automatic) << Mode::Automatic;
}

void tst_Startup::modeOf()
{
    QFETCH(QString, arguments);
    QFETCH(Mode, mode);
    QCOMPARE(Startup::modeOf(arguments), mode);
}

void tst_Startup::secondCopyEndsBeforeReading()
{
    writeIni("[0]\nDATEI=/bin/true\n");
    m_runtime.previous = true;
    m_runtime.arguments = QStringLiteral("/config");
    frmConfig window(m_runtime);

    Startup::Form_Load(window, m_runtime);

    QCOMPARE(m_runtime.ends, 1);
    QCOMPARE(m_runtime.activations, QStringList{QStringLiteral("Velkora")});
    QCOMPARE(m_runtime.title, QString());
    QCOMPARE(ModGlobal::IniFilePath, QString());
    QCOMPARE(velkora::EntryCount, 0);
    QVERIFY(m_runtime.messages.isEmpty());
    QVERIFY(!window.isVisible());
}

void tst_Startup::usageModeReadsFileThenShowsMessage()
{
    writeIni("[0]\nDATEI=/bin/true\n");
    m_runtime.arguments = QStringLiteral("/?");
    frmConfig window(m_runtime);

    Startup::Form_Load(window, m_runtime);

    QCOMPARE(ModGlobal::IniFilePath, m_dir.filePath(QStringLiteral("Tool.ini")));
    QCOMPARE(velkora::EntryCount, 1);
    QCOMPARE(m_runtime.messages,
             QStringList{QStringLiteral("Zum Konfigurieren starten Sie das Programm mit /config\r\n"
                                        "z.B. : Velkora.exe /config")});
    QCOMPARE(m_runtime.ends, 1);
    QVERIFY(m_runtime.starts.isEmpty());
}

void tst_Startup::configurationModeShowsEntries()
{
    writeIni("[0]\nDATEI=/bin/true\nName=Wahr\nZEIT=4\n[2]\nDATEI=/bin/false\n");
    m_runtime.arguments = QStringLiteral("/Config");
    frmConfig window(m_runtime);

    Startup::Form_Load(window, m_runtime);

    QCOMPARE(m_runtime.ends, 0);
    QCOMPARE(window.windowTitle(), QStringLiteral("Tool"));
    QCOMPARE(window.listLines(),
             QStringList({QStringLiteral("/bin/true|Wahr|4"), QStringLiteral("/bin/false||")}));
    QVERIFY(m_runtime.starts.isEmpty());
}

void tst_Startup::automaticModeRunsTheRunnerThenEnds()
{
    // An empty table: the runner opens, closes on its first tick, and the
    // start-up then ends the program. The guard only keeps a broken runner
    // from hanging the test run.
    QTimer guard;
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, this, [] {
        if (QWidget *modal = QApplication::activeModalWidget())
            modal->close();
    });
    guard.start(10000);
    frmConfig window(m_runtime);

    Startup::Form_Load(window, m_runtime);

    QVERIFY(guard.isActive());
    QCOMPARE(m_runtime.ends, 1);
    QVERIFY(m_runtime.starts.isEmpty());
    QVERIFY(m_runtime.messages.isEmpty());
}

QTEST_MAIN(tst_Startup)
#include "tst_Startup.moc"
