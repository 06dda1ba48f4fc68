#include "AutostartWorld.h"
#include "tests/support/Rows.h"

#include "platform/session/AppInfo.h"
#include "platform/session/LoginStart.h"

using namespace velkora;
using namespace velkora::LoginStart;

const QString Ours = appId() + ".desktop";
const QByteArray Countdown = "[Desktop Entry]\nType=Application\nName=Velkora\nExec=velkora\n";
// GNOME Tweaks' copy of the menu entry, under Velkora's file name.
const QByteArray MenuCopy = R"([Desktop Entry]
Type=Application
Name=Velkora
Comment=Programme nach der Anmeldung nacheinander starten – Einstellungen
Comment[en]=Start programs one after another after login – settings
Exec=velkora /config
TryExec=velkora
Keywords=Autostart;Anmeldung;
)";
const QByteArray Repaired = QByteArray(MenuCopy)
                                .replace("Exec=velkora /config", "Exec=%EXE%")
                                .replace("TryExec=velkora", "TryExec=%EXE%");
struct Switch {
    QByteArray user {}; // Velkora's entry in the user's folder; empty: none
    QByteArray system {}; // and in the system's
    bool linked = false; // the user's entry is a link to elsewhere/<the same name>
    bool before = false; // what the switch shows
    bool on = false; // switched to
    QString failure {}; // a part of the reason; empty: it works
    QByteArray after {}; // the user's entry afterwards, %EXE% the executable; empty: none
};
Q_DECLARE_METATYPE(Switch)

class tst_LoginStart : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The menu item and `make install-autostart` write the same bytes, or both refuse; and the
    // entry read back runs the executable it was written for.
    void bothWritersAgree_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<bool>("nameable");
        QTest::newRow("blanks and umlauts") << "/home/anna/Meine Programme/Würfel" << true;
        QTest::newRow("escapes and placeholders") << R"(/opt/"q" `x` $HOME \ & ;/@EXEC@)" << true;
        QTest::newRow("a percent sign") << "/opt/50%/Velkora" << false;
        QTest::newRow("a line break") << "/opt/a\nb/Velkora" << false;
    }
    void bothWritersAgree()
    {
        QFETCH(QString, program);
        QFETCH(bool, nameable);
        AutostartWorld world;
        program.prepend(world.dir.path());
        QVERIFY(QDir().mkpath(QFileInfo(program).path()) && QFile::copy("/bin/true", program));
        QCOMPARE(setEnabled(true, program, nullptr) && isEnabled(program), nameable);
        QFile ours(entryPath()), theirs(world.dir.filePath("theirs.desktop"));
        const QStringList script {WRITE_ENTRY, AUTOSTART_TEMPLATE, program, theirs.fileName()};
        QCOMPARE(QProcess::execute("bash", script) == 0, nameable);
        QCOMPARE(ours.exists(), theirs.exists());
        if (ours.open(QIODevice::ReadOnly) && theirs.open(QIODevice::ReadOnly))
            QCOMPARE(ours.readAll(), theirs.readAll());
        QVERIFY(setEnabled(false, program, nullptr) && !ours.exists());
    }

    void switchLoginStart_data()
    {
        QTest::addColumn<Switch>("row");
        const velkora::test::RowsOf<Switch> row;
        row("Tweaks' copy of the menu entry is repaired in place",
            {.user = MenuCopy, .on = true, .after = Repaired});
        row("a system copy of the menu entry gets a repaired user copy",
            {.system = MenuCopy, .on = true, .after = Repaired});
        row("a system entry is switched off by a hidden user copy",
            {.system = Countdown, .before = true, .after = Countdown + "Hidden=true\n"});
        row("the user's entry alone is deleted", {.user = Countdown, .before = true});
        row("a link is written through",
            {.user = Countdown + "X-GNOME-Autostart-enabled=false\n",
             .linked = true,
             .on = true,
             .after = Countdown});
        row("another desktop only: switching on says so",
            {.user = Countdown + "OnlyShowIn=KDE;\n",
             .on = true,
             .failure = "OnlyShowIn",
             .after = Countdown + "OnlyShowIn=KDE;\n"});
    }
    void switchLoginStart()
    {
        QFETCH(Switch, row);
        AutostartWorld world;
        const QString user = world.dir.filePath("home/autostart/" + Ours);
        if (!row.system.isEmpty())
            world.put("sys/autostart/" + Ours, row.system);
        if (row.linked)
            QFile::link("../../elsewhere/" + Ours, user);
        if (!row.user.isEmpty())
            world.put((row.linked ? "elsewhere/" : "home/autostart/") + Ours, row.user);
        QCOMPARE(isEnabled(world.exe), row.before);

        QString reason;
        QCOMPARE(setEnabled(row.on, world.exe, &reason), row.failure.isEmpty());
        QVERIFY2(reason.contains(row.failure), qPrintable(reason));
        QCOMPARE(world.read("home/autostart/" + Ours),
                 QByteArray(row.after).replace("%EXE%", world.exe.toUtf8()));
        QCOMPARE(world.read("sys/autostart/" + Ours), row.system);
        QCOMPARE(QFileInfo(user).isSymLink(), row.linked);
        // The session's own readers agree: it runs the countdown, and nothing else of Velkora,
        // exactly when the switch shows it on.
        const bool on = isEnabled(world.exe);
        QCOMPARE(on, row.on && row.failure.isEmpty());
        QList<QStringList> velkora;
        for (const QStringList &argv : world.sessionRuns())
            if (QFileInfo(argv.value(0)).canonicalFilePath() == world.exe)
                velkora.append(argv.mid(1));
        QCOMPARE(velkora, on ? QList<QStringList> {{}} : QList<QStringList> {});
        if (!row.after.isEmpty())
            QCOMPARE(world.readers(user),
                     QString("valid, hidden %1, taken None").arg(row.on ? "False" : "True"));
    }

    void countdownArguments_data()
    {
        QTest::addColumn<QByteArray>("arguments");
        QTest::addColumn<bool>("countdown");
        QTest::newRow("none") << QByteArray() << true;
        QTest::newRow("a field code, which expands to nothing") << QByteArray("%U") << true;
        QTest::newRow("any other text") << QByteArray("--minimized /config") << true;
        QTest::newRow("/C in capitals, and more") << QByteArray("/Cfg x") << false;
        QTest::newRow("the usage note") << QByteArray("/?") << false;
        QTest::newRow("the version") << QByteArray("--version") << false;
    }
    void countdownArguments()
    {
        QFETCH(QByteArray, arguments);
        AutostartWorld world;
        world.put("home/autostart/" + Ours,
                  QByteArray(Countdown).replace("Exec=velkora", "Exec=velkora " + arguments));
        QTEST(isEnabled(world.exe), "countdown");
    }
};

QTEST_GUILESS_MAIN(tst_LoginStart)
#include "tst_LoginStart.moc"
