#include "platform/ProcessStart.h"

#include <QtTest>

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <sys/wait.h>

using namespace velkora;

// argv_probe's report after its start time: own session, no blocked or ignored signal, no fd > 2.
const QByteArray CleanStart = "own_session 1\nsignals\nfds\nargv ";

class tst_ProcessStart : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

    QString expand(QString text) const
    {
        text.replace("%TOOL%", "%DIR%/a probe tool").replace("%PROBE%", ARGV_PROBE);
        return text.replace("%DIR%", m_dir.path());
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(QFile::copy(ARGV_PROBE, expand("%TOOL%")));
        qputenv("PATH", QFile::encodeName(QFileInfo(ARGV_PROBE).path()));
        qputenv("ARGV_PROBE_OUT", QFile::encodeName(m_dir.filePath("out")));
        const auto put = [this](const QString &name, const QString &text) {
            QFile file(m_dir.filePath(name));
            return file.open(QFile::WriteOnly) && file.write(expand(text).toUtf8()) > 0;
        };
        const QString entry = "[Desktop Entry]\nType=Application\nName=P\nExec=";
        QVERIFY(put("plain", "x") && put("bad.desktop", "x") && put("gone.desktop", entry + "/x"));
        QVERIFY(put("app.desktop", entry + "\"%TOOL%\" a \"b c\""));
        // A descriptor without close-on-exec and an ignored signal must not reach the child.
        QVERIFY(::open("/dev/null", O_RDONLY) > 2 && ::signal(SIGPIPE, SIG_IGN) != SIG_ERR);
    }

    // expected: the argv ('|'-separated) when it starts, else a word of the German description.
    void start_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("errorNumber");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *name, const char *cmd, int error, const char *expected) {
            QTest::newRow(name) << QString(cmd) << error << QString(expected);
        };
        row("path with blanks, unquoted", "%TOOL% --x y", 0, "%TOOL%|--x|y");
        row("quotes, empty arguments, backslashes, no expansion",
            R"("%TOOL%" 'a b' "c 'd'" e"f g"h "" '' a\ b c\\d "e\"f" $HOME * a;b)", 0,
            R"(%TOOL%|a b|c 'd'|ef gh|||a b|c\d|e"f|$HOME|*|a;b)");
        row("found in PATH", "argv_probe x", 0, "%PROBE%|x");
        row("desktop file", "%DIR%/app.desktop", 0, "%TOOL%|a|b c");
        row("missing in PATH", "no-such-program", ENOENT, "nicht gefunden");
        row("folder", "%DIR%", EISDIR, "Ordner");
        row("not executable", "%DIR%/plain a", EACCES, "verweigert");
        row("text of blanks", "  \t ", EINVAL, "Ungültig");
        row("unbalanced quote", "%PROBE% 'a", EINVAL, "Ungültig");
        row("broken desktop file", "%DIR%/bad.desktop", ENOEXEC, "ausführbar");
        row("desktop file of a missing program", "%DIR%/gone.desktop", ENOENT, "nicht gefunden");
    }
    void start()
    {
        QFETCH(QString, command);
        QFETCH(int, errorNumber);
        QFETCH(QString, expected);
        const auto report = [this] { // the last report (it appears whole) after its start time
            QFile file(m_dir.filePath("out"));
            return file.open(QFile::ReadOnly) && !file.readLine().isEmpty() ? file.readAll() : "";
        };
        const StartResult result = startProgram(expand(command), WindowStyle::MinimizedFocus);
        QCOMPARE(result.errorNumber, errorNumber);
        QCOMPARE(result.pid > 0, errorNumber == 0);
        if (errorNumber != 0)
            QVERIFY2(result.description.contains(expected), qPrintable(result.description));
        else
            QTRY_COMPARE(report(), CleanStart + expand(expected + '|').toUtf8().replace('|', '\0'));
    }

    void manyStartsLeaveNoZombie()
    {
        // Every fifth start goes through the desktop file, whose helper child GLib must reap.
        const QString probe = expand("%PROBE%"), desktop = expand("%DIR%/app.desktop");
        for (int i = 0; i < 50; ++i)
            QVERIFY(startProgram(i % 5 ? probe : desktop, WindowStyle::Normal).ok());
        siginfo_t info = {};
        QTRY_VERIFY(::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) != 0 && errno == ECHILD);
    }
};

QTEST_GUILESS_MAIN(tst_ProcessStart)
#include "tst_ProcessStart.moc"
