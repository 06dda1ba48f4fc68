#include "app/DesktopRuntime.h"
#include "app/DestroyedWindowFilter.h"
#include "app/Startup.h"
#include "tests/support/FakeRuntime.h"
#include "tests/support/Rows.h"
#include "ui/config/frmConfig.h"

#include <QtTest>
#include <QtWidgets>

#include <xcb/xcb.h>

using Startup::Mode;
using velkora::test::row;
enum class Earlier { None, Answers, Silent }; // a copy that runs already
enum class Destroyed { TheWindow, ItsTooltip, AnotherProgramsWindow };

class tst_Startup : public QObject {
    Q_OBJECT
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

    // Only as the first argument, and only these spellings: "/c --help" is the configuration.
    void terminalAnswer_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("firstLine"); // empty: no answer, the program starts
        const QByteArray help = "Aufruf: Velkora [/config | /? | -h | --help | --version]";
        row("--help", QStringList {"--help"}, help);
        row("-h", QStringList {"-h", "/config"}, help);
        row("--version", QStringList {"--version"}, QByteArray("Velkora 1.1.0"));
        row("after another argument", QStringList {"/c", "--help"}, QByteArray());
        row("a longer word", QStringList {"--helpme"}, QByteArray());
    }
    void terminalAnswer()
    {
        QFETCH(QStringList, arguments);
        const QByteArray answer
            = Startup::terminalAnswer(QStringList {"/usr/bin/Velkora"} + arguments);
        QTEST(answer.left(answer.indexOf('\n')), "firstLine");
    }

    void formLoad_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<Earlier>("earlier");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QList<int>>("ends"); // exit statuses; none: the program runs on
        QTest::addColumn<int>("starts");
        const QStringList none;
        row("second copy", QString("/config"), Earlier::Answers, none, QList {0}, 0);
        row("second copy, the first does not answer", QString("/config"), Earlier::Silent,
            QStringList {Startup::notAnsweringText("Velkora")}, QList {1}, 0);
        row("usage reads, then tells", QString("/?"), Earlier::None,
            QStringList {Startup::usageText()}, QList {0}, 0);
        row("configuration", QString("/Config"), Earlier::None, none, QList<int>(), 0);
        row("automatic runs the table", QString(), Earlier::None, none, QList {0}, 1);
    }
    void formLoad()
    {
        QFETCH(QString, arguments);
        QFETCH(Earlier, earlier);
        QTemporaryDir dir;
        QFile ini(dir.filePath("Tool.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly)
                && ini.write("[0]\nDATEI=/bin/true\n[2]\nDATEI=/bin/false\n") && ini.flush());
        velkora::test::FakeRuntime runtime;
        runtime.info = {dir.path(), "Tool", 1, 1, 0};
        runtime.arguments = arguments;
        runtime.previous = earlier != Earlier::None;
        runtime.firstCopyAnswers = earlier == Earlier::Answers;

        if (earlier == Earlier::Silent) // and on standard error
            QTest::ignoreMessage(QtWarningMsg, "Velkora runs already but does not answer");
        const std::unique_ptr<frmConfig> window = Startup::run(runtime);

        QCOMPARE(runtime.activations, int(runtime.previous));
        // A report that the first copy does not answer is titled with the executable's name.
        QCOMPARE(runtime.title, QStringList({"Velkora", "", "Tool"})[int(earlier)]);
        QTEST(runtime.messages, "messages");
        QTEST(runtime.endStatuses, "ends");
        QTEST(int(runtime.starts.size()), "starts");
        // Only configuration mode builds its window, captioned with the executable's name, filled.
        const bool runsOn = runtime.endStatuses.isEmpty();
        QCOMPARE(window ? window->windowTitle() : QString(), runsOn ? "Tool" : "");
        QCOMPARE(window ? window->listEntries().size() : 0, runsOn ? 2 : 0);
    }

    // The usage message as the user sees it: titled, no icon, only OK, two lines.
    void usageMessageBox()
    {
        velkora::DesktopRuntime runtime({}, {});
        QTimer::singleShot(0, this, [] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QVERIFY(box && box->close()); // returns once this ends; the box lives until then
            QCOMPARE(box->windowTitle(), "Velkora");
            QCOMPARE(box->text(),
                     "Zum Konfigurieren starten Sie das Programm mit /config\n"
                     "z.B. : Velkora.exe /config");
            QCOMPARE(box->icon(), QMessageBox::NoIcon);
            QCOMPARE(box->standardButtons(), QMessageBox::Ok);
        });
        runtime.messageBox(Startup::usageText());
    }

    // Qt replaces a tooltip's native window at every show, and the X server reports that.
    void closes_data()
    {
        QTest::addColumn<Destroyed>("destroyed");
        QTest::addColumn<bool>("closes"); // the window; otherwise it and its tooltip stay
        QTest::newRow("the window") << Destroyed::TheWindow << true;
        QTest::newRow("its tooltip") << Destroyed::ItsTooltip << false;
        QTest::newRow("another program's") << Destroyed::AnotherProgramsWindow << false;
    }
    void closes()
    {
        QFETCH(Destroyed, destroyed);
        QLineEdit window;
        window.show();
        window.activateWindow(); // Qt shows tooltips only in the active window
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QToolTip::showText(window.mapToGlobal(QPoint(2, 2)), "2 - 60 Sekunden", &window);
        QWidget *tooltip = nullptr;
        for (QWidget *w : QApplication::topLevelWidgets())
            tooltip = w->objectName() == "qtooltip_label" ? w : tooltip;
        QVERIFY(tooltip && tooltip->isVisible());

        xcb_destroy_notify_event_t event {};
        event.response_type = XCB_DESTROY_NOTIFY;
        event.window = QList<xcb_window_t> {xcb_window_t(window.windowHandle()->winId()),
                                            xcb_window_t(tooltip->windowHandle()->winId()),
                                            0x7fffff}[int(destroyed)];
        velkora::DestroyedWindowFilter filter;
        QVERIFY(!filter.nativeEventFilter("xcb_generic_event_t", &event, nullptr));
        QCoreApplication::processEvents();
        QTEST(window.isHidden(), "closes");
        QVERIFY(window.isHidden() || tooltip->isVisible());
    }
};

QTEST_MAIN(tst_Startup)
#include "tst_Startup.moc"
