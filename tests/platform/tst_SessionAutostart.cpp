#include "AutostartWorld.h"
#include "tests/support/Rows.h"

#include "platform/session/AppInfo.h"
#include "platform/session/SessionAutostart.h"
#include "platform/start/ProcessStart.h"

#include <sys/stat.h>

using namespace velkora;
using velkora::test::row;

// The same session for every case (tests/data/autostart): a user entry with keys, comments,
// translations and an action, a linked one, one without Exec, one hidden over the system's, one
// through env, Velkora's own; system entries, one only for KDE, one D-Bus activated; an
// application of a system entry's name.
class tst_SessionAutostart : public QObject {
    Q_OBJECT
    std::unique_ptr<AutostartWorld> m_world;

private Q_SLOTS:
    void initTestCase() { qputenv("LANGUAGE", "de"); }
    void init()
    {
        m_world = std::make_unique<AutostartWorld>();
        const QString sample = qEnvironmentVariable("VELKORA_TEST_DATA") + "/autostart/.";
        QCOMPARE(QProcess::execute("cp", {"-a", sample, m_world->dir.path()}), 0);
        m_world->put("home/autostart/" + appId() + ".desktop",
                     "[Desktop Entry]\nType=Application\nName=Velkora\nExec=velkora\n");
    }

    void listed_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("name"); // empty: not listed
        QTest::addColumn<int>("seconds");
        QTest::addColumn<bool>("system");
        row("a user entry, its name translated, its delay", "tool", "Werkzeug", 5, false);
        row("a system entry, its delay beyond 60", "sys", "System", 10, true);
        row("D-Bus activated, without Exec", "dbus", "Bus", 10, true);
        row("no Exec", "noexec", "", 0, false);
        row("hidden by the user over a system entry", "masked", "", 0, false);
        row("only for another desktop", "kde", "", 0, false);
        row("Velkora's own", appId(), "", 0, false);
    }
    void listed()
    {
        QFETCH(QString, id);
        SessionEntry found;
        for (const SessionEntry &entry : SessionAutostart::loginEntries(m_world->exe))
            found = entry.desktopId == id ? entry : found;
        QTEST(found.name, "name");
        if (!found.name.isEmpty()) {
            QTEST(found.seconds, "seconds");
            QTEST(found.system, "system");
        }
    }

    // What Velkora's list starts by "<id>.desktop" before and after the takeover; whether the
    // list still holds it when entries are given back.
    void takeOverAndGiveBack_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<bool>("listed");
        const QStringList tool {"probe", "--minimized"}, linked {"other", "--background"};
        row("a user entry with keys, comments and translations", "tool", tool, tool, false);
        row("a system entry: until taken, an application of its name comes first", "sys",
            QStringList {"other", "--from-menu"}, QStringList {"probe", "--background"}, false);
        row("a symbolic link", "linked", linked, linked, false);
        row("kept while the list holds it", "tool", tool, tool, true);
    }
    void takeOverAndGiveBack()
    {
        QFETCH(QString, id);
        QFETCH(bool, listed);
        AutostartWorld &world = *m_world;
        const QString command = id + ".desktop",
                      user = world.dir.filePath("home/autostart/" + command);
        const auto starts = [&] {
            return resolveCommand(command).argv.replaceInStrings(world.dir.filePath("bin/"), "");
        };
        const QMap<QString, QByteArray> files = world.snapshot();
        const QMap<QString, QStringList> runs = world.sessionRuns();
        QMap<QString, QStringList> without = runs;
        QCOMPARE(without.removeIf([&](auto unit) { return unit.key().endsWith('/' + command); }),
                 1);
        QTEST(starts(), "before");

        QString error;
        QVERIFY2(SessionAutostart::takeOver({id}, &error), qPrintable(error));
        QCOMPARE(world.sessionRuns(), without);
        QTEST(starts(), "after");
        QCOMPARE(world.readers(user), "valid, hidden True, taken true");

        const QStringList list = listed ? QStringList {"probe", command} : QStringList {"probe"};
        QVERIFY2(SessionAutostart::giveBack(list, &error), qPrintable(error));
        QCOMPARE(world.sessionRuns(), listed ? without : runs);
        if (!listed) // the same bytes, links and files as before, others untouched
            QCOMPARE(world.snapshot(), files);
    }

    void unwritableFolder()
    {
        AutostartWorld &world = *m_world;
        const QByteArray folder = QFile::encodeName(world.dir.filePath("home/autostart"));
        QVERIFY(::chmod(folder + "/tool.desktop", 0666) == 0 && ::chmod(folder, 0555) == 0);
        const QMap<QString, QByteArray> files = world.snapshot();
        // Root writes anywhere: it takes over as nobody.
        const bool root = ::geteuid() == 0;
        QVERIFY(!root || ::seteuid(65534) == 0);
        // The window's question beforehand gets the same answer as the takeover itself.
        QString asked, error;
        for (int times = 0; times < 2; ++times)
            QTest::ignoreMessage(QtWarningMsg,
                                 QRegularExpression("^cannot change .*\"" + folder + '"'));
        const bool could = SessionAutostart::takeOver({"tool", "sys"}, &asked, true);
        const bool taken = SessionAutostart::takeOver({"tool", "sys"}, &error);
        QVERIFY(!root || ::seteuid(0) == 0);
        QVERIFY(::chmod(folder, 0755) == 0 && !taken && !could && asked == error);
        QVERIFY2(error.endsWith(QFile::decodeName(folder)), qPrintable(error));
        QCOMPARE(world.snapshot(), files);
    }

    void alsoStarted_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("id"); // of the session's entry that starts it too
        row("the program of two entries, other arguments", "probe --else", "sys");
        row("an entry's own desktop id", "linked.desktop", "linked");
        row("through a launcher, the same arguments", "env probe --x", "viaenv");
        row("through a launcher, other arguments", "env probe --y", "");
        row("an entry the session does not start", "masked.desktop", "");
        row("a program no entry starts", "/bin/true", "");
    }
    void alsoStarted()
    {
        QFETCH(QString, command);
        QTEST(SessionAutostart::alsoStartedBySession({command}).value(0), "id");
    }
};

QTEST_GUILESS_MAIN(tst_SessionAutostart)
#include "tst_SessionAutostart.moc"
