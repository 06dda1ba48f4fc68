#include "platform/start/ProcessStart.h"
#include "platform/start/SysInfo.h"

#include <QtTest>

#include <cerrno>
#include <csignal>

#include <fcntl.h>

using namespace velkora;

// argv_probe's report after its start and startup id: own session, no blocked or ignored signal,
// descriptors 0-2 only, no activation token of ours; then its folder and its arguments.
const QByteArray CleanStart = "own_session 1\nsignals\nfds 0 1 2\ntoken \ncwd ";

// tests/data/desktop holds the entries and scripts started here, on a private session bus where
// systemd_standin.py answers for systemd and records every call. The current folder is deleted,
// and the user's last input was at X time 42.
class tst_ProcessStart : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QProcess m_bus, m_standin;
    ProcessStarter m_starter;
    QByteArrayList m_startupIds;

    QString expand(QString text) const
    {
        text.replace("%TOOL%", m_dir.filePath("a probe tool")).replace("%DATA%", DESKTOP_DATA);
        return text.replace("%PROBE%", ARGV_PROBE).replace("%REL%", QString(ARGV_PROBE).mid(1));
    }
    QByteArray read(const QString &path) const
    {
        QFile file(m_dir.filePath(path));
        return file.open(QFile::ReadOnly) ? file.readAll() : QByteArray();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(QFile::copy(ARGV_PROBE, expand("%TOOL%")));
        m_bus.start("dbus-daemon",
                    {"--nofork", "--print-address", "--address=unix:dir=" + m_dir.path(),
                     "--config-file=" + expand("%DATA%/bus.conf")});
        QVERIFY2(m_bus.waitForReadyRead(10000), "dbus-daemon did not start");
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_bus.readLine().trimmed());
        m_standin.start("/usr/bin/python3", {STANDIN, m_dir.filePath("bus.log")});
        QVERIFY2(m_standin.waitForReadyRead(10000), "the systemd stand-in did not start");

        qputenv("PATH", QFile::encodeName(QFileInfo(ARGV_PROBE).path()));
        qputenv("ARGV_PROBE_OUT", QFile::encodeName(m_dir.filePath("out")));
        qputenv("XDG_DATA_HOME", QFile::encodeName(expand("%DATA%/home")));
        qputenv("XDG_DATA_DIRS", QFile::encodeName(expand("%DATA%/none:%DATA%/share")));
        qputenv("XDG_ACTIVATION_TOKEN", "ours");
        qputenv("DESKTOP_STARTUP_ID", "ours");
        m_starter.setUserTimeSource([] { return 42; });
        const QString gone = m_dir.filePath("gone");
        QVERIFY(QDir().mkdir(gone) && QDir::setCurrent(gone) && QDir().rmdir(gone));
        // A descriptor without close-on-exec and an ignored signal must not reach the child.
        QVERIFY(::open("/dev/null", O_RDONLY) > 2 && ::signal(SIGPIPE, SIG_IGN) != SIG_ERR);
    }
    void cleanupTestCase()
    {
        m_standin.terminate(), m_bus.terminate();
        QVERIFY(m_standin.waitForFinished() && m_bus.waitForFinished());
    }
    void init() { QFile::remove(m_dir.filePath("out")); }

    void start_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("argv"); // as the child got it; none: activated over the bus
        QTest::addColumn<QString>("cwd");
        const auto row = [](const char *name, const char *command, const QStringList &argv,
                            const char *cwd = "/") {
            QTest::newRow(name) << QString(command) << argv << QString(cwd);
        };
        row("path with blanks, unquoted", "%TOOL% --x y", {"%TOOL%", "--x", "y"});
        row("quotes, empty arguments, backslashes, no expansion",
            R"("%TOOL%" 'a b' "c 'd'" e"f g"h "" '' a\ b c\\d $HOME * a;b)",
            {"%TOOL%", "a b", "c 'd'", "ef gh", "", "", "a b", "c\\d", "$HOME", "*", "a;b"});
        row("relative path, no current folder: from /", "%REL% x", {"%PROBE%", "x"});
        row("script without #!: through /bin/sh", "%DATA%/no-shebang a", {"argv_probe", "sh", "a"});
        row("desktop id", "org.example.Tool.desktop", {"%PROBE%", "a", "b c"});
        row("id without suffix, '-' a subfolder", "vendor-org.example.Sub", {"%PROBE%", "sub"});
        row("field codes: no files; name, icon, the file, %", "%DATA%/codes.desktop",
            {"%PROBE%", "--name=P", "--icon", "ico", "%DATA%/codes.desktop", "100%"});
        row("working folder", "%DATA%/folder.desktop", {"%PROBE%", "a", "b c"}, "/usr");
        row("activatable, name owned: activated, not run", "org.example.Owned", {});
        row("activatable, nobody answers: Exec runs", "org.example.Missing",
            {"%PROBE%", "fallback"});
    }
    void start()
    {
        QFETCH(QString, command);
        QFETCH(QStringList, argv);
        QFETCH(QString, cwd);
        const QString quoted = QRegularExpression::escape('"' + expand(command) + '"');
        QTest::ignoreMessage(QtInfoMsg,
                             QRegularExpression("^started " + quoted
                                                + (argv.isEmpty() ? " by D-Bus" : " as process")));
        QCOMPARE(m_starter.start(expand(command), WindowStyle::MinimizedFocus).errorNumber, 0);
        if (argv.isEmpty()) { // went over the bus, and nothing is started beside it
            QTRY_VERIFY(
                read("bus.log").contains("activate /org/example/Owned desktop-startup-id\n"));
            QTest::qWait(200);
            QVERIFY(!QFile::exists(m_dir.filePath("out")));
            return;
        }
        QTRY_VERIFY(QFile::exists(m_dir.filePath("out")));
        const QByteArray out = read("out");
        QCOMPARE(out.mid(out.indexOf(CleanStart)),
                 CleanStart + expand(cwd + "\nargv " + argv.join(QChar(0)) + QChar(0)).toUtf8());
        // A fresh startup id with the time of the user's last input; a scope of its own, named
        // after the program and the process.
        const QByteArrayList head = out.split('\n');
        const QByteArray id = head[1].mid(8), pid = head[0].split(' ').value(2);
        QVERIFY2(id.endsWith("_TIME42") && !m_startupIds.contains(id), id);
        m_startupIds.append(id);
        const QRegularExpression scope("^app-velkora-[^ ]+-" + pid + "\\.scope PIDs=" + pid
                                           + " Slice=app\\.slice$",
                                       QRegularExpression::MultilineOption);
        QTRY_COMPARE(QString(read("bus.log")).count(scope), 1);
    }

    void failure_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("errorNumber");
        QTest::addColumn<QString>("description"); // a part of it that names the cause
        const auto row = [](const char *name, const char *command, int error, const char *text) {
            QTest::newRow(name) << QString(command) << error << QString(text);
        };
        row("missing in PATH", "no-such-program", ENOENT, "Datei nicht gefunden");
        row("folder", "%DATA%", EISDIR, "Ordner");
        row("not executable", "%DATA%/plain a", EACCES, "verweigert");
        row("unbalanced quote", "%PROBE% 'a", EINVAL, "Ungültig");
        row("no [Desktop Entry] group", "%DATA%/bad.desktop", ENOEXEC, "[Desktop Entry] fehlt");
        row("no Exec", "%DATA%/noexec.desktop", ENOEXEC, "Exec fehlt");
        row("link entry", "%DATA%/link.desktop", ENOEXEC, "Verknüpfung (Type=Link)");
        row("TryExec not installed", "%DATA%/tryexec.desktop", ENOENT, "(TryExec)");
        row("Exec program missing", "%DATA%/gone.desktop", ENOENT, "nicht gefunden (Exec)");
        row("terminal entry, no terminal", "%DATA%/terminal.desktop", ENOENT, "Terminalprogramm");
        row("unknown desktop id", "org.example.None.desktop", ENOENT, "Desktop-ID");
        row("hidden in the first data folder", "org.example.Hidden", ENOENT, "ausgeblendet");
    }
    void failure()
    {
        QFETCH(QString, command);
        QFETCH(int, errorNumber);
        QFETCH(QString, description);
        const QString quoted = QRegularExpression::escape('"' + expand(command) + '"');
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("^cannot start " + quoted + ": .* errno "
                                                + QString::number(errorNumber) + ' '));
        const StartResult result = m_starter.start(expand(command), WindowStyle::Normal);
        QCOMPARE(result.errorNumber, errorNumber);
        QVERIFY2(result.description.contains(description), qPrintable(result.description));
    }

    // A bus with a service file for systemd that cannot start it: the first scope request learns
    // so, with one line on record, and no later start asks again.
    void scopesStopWhenSystemdCannotStart()
    {
        qputenv("VELKORA_SPAWN_LOG", QFile::encodeName(m_dir.filePath("spawned")));
        QProcess bus;
        bus.start("/usr/bin/dbus-daemon",
                  {"--nofork", "--print-address", "--address=unix:dir=" + m_dir.path(),
                   "--config-file=" + expand("%DATA%/spawn.conf")});
        QVERIFY2(bus.waitForReadyRead(10000), "dbus-daemon did not start");
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus.readLine().trimmed());
        static QAtomicInt lines = 0;
        static const QtMessageHandler next = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext &context, const QString &message) {
                lines += message.startsWith("the systemd user manager cannot be started");
                next(type, context, message);
            });
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("^the systemd user manager cannot be started \\("
                                                "org\\.freedesktop\\.DBus\\.Error\\.Spawn\\."));
        ProcessStarter starter;
        for (int start = 0; start < 3; ++start) {
            QTest::ignoreMessage(QtInfoMsg, QRegularExpression("^started "));
            QVERIFY(starter.start(ARGV_PROBE, WindowStyle::Normal).ok());
            QTRY_COMPARE(lines.loadRelaxed(), 1);
        }
        starter.finish(); // what was still asked gets its answer
        QCOMPARE(QFile(m_dir.filePath("spawned")).size(), 1); // one line per try
        qInstallMessageHandler(next);
        bus.terminate();
        QVERIFY(bus.waitForFinished());
    }

    // argv_probe stands for an installed system information tool.
    void sysInfo()
    {
        QTest::ignoreMessage(QtInfoMsg, QRegularExpression("^started \"argv_probe --overview\""));
        QVERIFY(
            startSysInfo(m_starter, {"no-such-tool", "argv_probe --overview", "argv_probe"}).ok());
        QCOMPARE(startSysInfo(m_starter, {"no-such-tool", "other-tool"}).errorNumber, ENOENT);
        QTRY_VERIFY(QFile::exists(m_dir.filePath("out"))); // before the scratch folder goes
    }
};

QTEST_GUILESS_MAIN(tst_ProcessStart)
#include "tst_ProcessStart.moc"
