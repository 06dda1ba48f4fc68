#include "platform/ProcessStart.h"

#include <QtTest>

#include <cerrno>
#include <csignal>

#include <fcntl.h>

using namespace velkora;

// argv_probe's report after its start and startup id: own session, no blocked or ignored signal,
// descriptors 0-2 only, no activation token of ours; then its folder and its arguments.
const QByteArray CleanStart = "own_session 1\nsignals\nfds 0 1 2\ntoken \ncwd ";

// tests/data/desktop, copied to a scratch folder, holds the entries and scripts started here, on
// a private session bus where systemd_standin.py answers for systemd and records every call. The
// current folder is deleted, and the user's last input was at X time 42.
class tst_ProcessStart : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QProcess m_bus, m_standin;
    ProcessStarter m_starter;
    QByteArrayList m_startupIds;

    QString expand(QString text) const
    {
        text.replace("%TOOL%", "%DIR%/a probe tool");
        text.replace("%PROBE%", ARGV_PROBE).replace("%REL%", QString(ARGV_PROBE).mid(1));
        return text.replace("%DIR%", m_dir.path());
    }
    QByteArray read(const QString &path) const
    {
        QFile file(m_dir.filePath(path));
        return file.open(QFile::ReadOnly) ? file.readAll() : QByteArray();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QDirIterator data(DESKTOP_DATA, QDir::Files, QDirIterator::Subdirectories);
        while (data.hasNext()) {
            QFile from(data.next()), to(m_dir.path() + data.filePath().mid(strlen(DESKTOP_DATA)));
            QVERIFY(QDir().mkpath(QFileInfo(to).path()) && from.open(QFile::ReadOnly)
                    && to.open(QFile::WriteOnly) && to.write(expand(from.readAll()).toUtf8()) > 0
                    && to.setPermissions(from.permissions()));
        }
        QVERIFY(QFile::copy(ARGV_PROBE, expand("%TOOL%")));
        m_bus.start("dbus-daemon",
                    {"--nofork", "--print-address", "--config-file=" + expand("%DIR%/bus.conf")});
        QVERIFY2(m_bus.waitForReadyRead(10000), "dbus-daemon did not start");
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_bus.readLine().trimmed());
        m_standin.start("/usr/bin/python3", {STANDIN, m_dir.filePath("bus.log")});
        QVERIFY2(m_standin.waitForReadyRead(10000), "the systemd stand-in did not start");

        qputenv("PATH", QFile::encodeName(QFileInfo(ARGV_PROBE).path()));
        qputenv("ARGV_PROBE_OUT", QFile::encodeName(expand("%DIR%/out")));
        qputenv("XDG_DATA_HOME", QFile::encodeName(expand("%DIR%/home")));
        qputenv("XDG_DATA_DIRS", QFile::encodeName(expand("%DIR%/none:%DIR%/share")));
        qputenv("XDG_ACTIVATION_TOKEN", "ours");
        qputenv("DESKTOP_STARTUP_ID", "ours");
        m_starter.setUserTimeSource([] { return 42; });
        QVERIFY(QDir().mkdir(expand("%DIR%/gone")) && QDir::setCurrent(expand("%DIR%/gone"))
                && QDir().rmdir(expand("%DIR%/gone")));
        // A descriptor without close-on-exec and an ignored signal must not reach the child.
        QVERIFY(::open("/dev/null", O_RDONLY) > 2 && ::signal(SIGPIPE, SIG_IGN) != SIG_ERR);
    }
    void cleanupTestCase()
    {
        m_standin.terminate(), m_bus.terminate();
        QVERIFY(m_standin.waitForFinished() && m_bus.waitForFinished());
    }

    void start_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("errorNumber");
        QTest::addColumn<QString>("expected"); // argv ('|'-separated), or a part of the error text
        QTest::addColumn<QString>("bus"); // the name in the scope's, or the object activated
        QTest::addColumn<QString>("cwd");
        const auto row = [](const char *name, const char *cmd, int error, const char *expected,
                            const char *bus = "", const char *cwd = "/") {
            QTest::newRow(name) << QString(cmd) << error << QString(expected) << QString(bus)
                                << QString(cwd);
        };
        const char *tool = "a\\x20probe\\x20tool";
        row("path with blanks, unquoted", "%TOOL% --x y", 0, "%TOOL%|--x|y", tool);
        row("quotes, empty arguments, backslashes, no expansion",
            R"("%TOOL%" 'a b' "c 'd'" e"f g"h "" '' a\ b c\\d "e\"f" $HOME * a;b)", 0,
            R"(%TOOL%|a b|c 'd'|ef gh|||a b|c\d|e"f|$HOME|*|a;b)", tool);
        row("relative path, no current folder: from /", "%REL% x", 0, "%PROBE%|x", "argv_probe");
        row("script without #!: through /bin/sh", "%DIR%/no-shebang a", 0, "%PROBE%|sh|a",
            "no\\x2dshebang");
        row("desktop id", "org.example.Tool.desktop", 0, "%TOOL%|a|b c", "org.example.Tool");
        row("id without suffix, '-' a subfolder", "vendor-org.example.Sub", 0, "%PROBE%|sub",
            "vendor\\x2dorg.example.Sub");
        row("field codes: no files; name, icon, the file, %", "%DIR%/codes.desktop", 0,
            "%TOOL%|--name=P|--icon|ico|%DIR%/codes.desktop|100%", "codes");
        row("working folder", "%DIR%/folder.desktop", 0, "%TOOL%|a|b c", "folder", "%DIR%/home");
        row("activatable, name owned: activated, not run", "org.example.Owned", 0, "",
            "/org/example/Owned");
        row("activatable, nobody answers: Exec runs", "org.example.Missing", 0, "%PROBE%|fallback",
            "org.example.Missing");
        row("missing in PATH", "no-such-program", ENOENT, "2:Datei nicht gefunden");
        row("folder", "%DIR%", EISDIR, "Ordner");
        row("not executable", "%DIR%/plain a", EACCES, "verweigert");
        row("unbalanced quote", "%PROBE% 'a", EINVAL, "Ungültig");
        row("no [Desktop Entry] group", "%DIR%/bad.desktop", ENOEXEC, "[Desktop Entry] fehlt");
        row("no Exec", "%DIR%/noexec.desktop", ENOEXEC, "Exec fehlt");
        row("link entry", "%DIR%/link.desktop", ENOEXEC, "Verknüpfung (Type=Link)");
        row("TryExec not installed", "%DIR%/tryexec.desktop", ENOENT, "(TryExec)");
        row("Exec program missing", "%DIR%/gone.desktop", ENOENT, "nicht gefunden (Exec)");
        row("terminal entry, no terminal", "%DIR%/terminal.desktop", ENOENT, "Terminalprogramm");
        row("unknown desktop id", "org.example.None.desktop", ENOENT, "Desktop-ID");
        row("hidden in the first data folder", "org.example.Hidden", ENOENT, "ausgeblendet");
    }
    void start()
    {
        QFETCH(QString, command);
        QFETCH(int, errorNumber);
        QFETCH(QString, expected);
        QFETCH(QString, bus);
        QFETCH(QString, cwd);
        QFile::remove(m_dir.filePath("out"));
        const QString quoted = QRegularExpression::escape('"' + expand(command) + '"');
        const QString logged = errorNumber ? "^cannot start " + quoted + ": .* errno "
                + QString::number(errorNumber) + " \\(.*\\): "
                                           : "^started " + quoted + " (as process|by D-Bus)";
        QTest::ignoreMessage(errorNumber ? QtWarningMsg : QtInfoMsg, QRegularExpression(logged));
        const StartResult result = m_starter.start(expand(command), WindowStyle::MinimizedFocus);
        QCOMPARE(result.errorNumber, errorNumber);
        if (errorNumber != 0) {
            const QString shown = QString::number(errorNumber) + ':' + result.description;
            QVERIFY2(shown.contains(expected), qPrintable(shown));
        } else if (expected.isEmpty()) { // went over the bus, and nothing is started beside it
            QTRY_VERIFY(
                read("bus.log").contains("activate " + bus.toUtf8() + " desktop-startup-id\n"));
            QTest::qWait(200);
            QVERIFY(!QFile::exists(m_dir.filePath("out")));
        } else {
            QTRY_VERIFY(QFile::exists(m_dir.filePath("out")));
            const QByteArrayList report = read("out").split('\n');
            const QByteArray pid = report[0].split(' ').value(2), id = report[1].mid(8);
            QCOMPARE(read("out").mid(report[0].size() + report[1].size() + 2),
                     CleanStart
                         + expand(cwd + "\nargv " + expected + '|').toUtf8().replace('|', '\0'));
            QVERIFY2(id.startsWith("velkora-" + QByteArray::number(::getpid()) + '-')
                         && id.endsWith("_TIME42") && !m_startupIds.contains(id),
                     id);
            m_startupIds.append(id);
            QTRY_VERIFY2(read("bus.log").contains(
                             "app-velkora-" + bus.toUtf8() + '-' + pid + ".scope fail PIDs=" + pid
                             + " Slice=app.slice CollectMode=inactive-or-failed\n"),
                         read("bus.log"));
            QCOMPARE(read("bus.log").count("PIDs=" + pid + ' '), 1);
        }
    }
};

QTEST_GUILESS_MAIN(tst_ProcessStart)
#include "tst_ProcessStart.moc"
