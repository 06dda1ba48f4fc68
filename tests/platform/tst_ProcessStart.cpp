#include "ProcessStart.h"

#include <QtTest>

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <sys/wait.h>

using namespace velkora;

namespace {

// argv_probe's report: own session, no blocked or ignored signal, no descriptor above 2.
const QByteArray CleanStart = "\nown_session 1\nsignals\nfds\nargv ";

QByteArray probeReport(const QString &path)
{
    QFile file(path);
    const QByteArray report = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    return report.mid(report.indexOf("\nown_session"));
}

} // namespace

class tst_ProcessStart : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    int m_outputs = 0;

    QString expand(QString text) const
    {
        return text.replace(QStringLiteral("%TOOL%"), QStringLiteral("%DIR%/my tools/probe tool"))
            .replace(QStringLiteral("%PROBE%"), QStringLiteral(ARGV_PROBE))
            .replace(QStringLiteral("%DIR%"), m_dir.path());
    }
    QString nextOutput()
    {
        const QString path = m_dir.filePath(QStringLiteral("out-%1").arg(++m_outputs));
        qputenv("ARGV_PROBE_OUT", QFile::encodeName(path));
        return path;
    }
    void write(const char *name, const QString &content)
    {
        QFile file(m_dir.filePath(QLatin1String(name)));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(expand(content).toUtf8()) > 0);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("my tools")));
        QVERIFY(QFile::copy(QStringLiteral(ARGV_PROBE), expand(QStringLiteral("%TOOL%"))));
        qputenv("PATH", QFile::encodeName(QFileInfo(QStringLiteral(ARGV_PROBE)).path()));
        write("plain.bin", QStringLiteral("not executable"));
        const QString entry = QStringLiteral("[Desktop Entry]\nType=Application\nName=P\nExec=");
        write("app.desktop", entry + QStringLiteral("\"%TOOL%\" a \"b c\"\n"));
        write("missing.desktop", entry + QStringLiteral("/no/such/program\n"));
        write("broken.desktop", QStringLiteral("no desktop entry\n"));
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
            QTest::newRow(name) << QString::fromUtf8(cmd) << error << QString::fromUtf8(expected);
        };
        row("path with blanks, unquoted", "%TOOL% --x y", 0, "%TOOL%|--x|y");
        row("quotes, empty arguments", R"("%TOOL%" 'a b' "c 'd'" e"f g"h "" '')", 0,
            "%TOOL%|a b|c 'd'|ef gh||");
        row("backslashes, no expansion", R"(%PROBE% a\ b c\\d "e\"f" $HOME * a;b)", 0,
            R"(%PROBE%|a b|c\d|e"f|$HOME|*|a;b)");
        row("found in PATH", "argv_probe x", 0, "%PROBE%|x");
        row("desktop file", "%DIR%/app.desktop", 0, "%TOOL%|a|b c");
        row("missing in PATH", "no-such-program", ENOENT, "nicht gefunden");
        row("folder", "%DIR%/my tools", EISDIR, "Ordner");
        row("not executable", "%DIR%/plain.bin a", EACCES, "verweigert");
        row("text of blanks", "  \t ", EINVAL, "Ungültig");
        row("unbalanced quote", "%PROBE% 'a", EINVAL, "Ungültig");
        row("broken desktop file", "%DIR%/broken.desktop", ENOEXEC, "ausführbar");
        row("desktop file of a missing program", "%DIR%/missing.desktop", ENOENT, "nicht gefunden");
    }
    void start()
    {
        QFETCH(QString, command);
        QFETCH(int, errorNumber);
        QFETCH(QString, expected);
        const QString output = nextOutput();
        const StartResult result = startProgram(expand(command), WindowStyle::MinimizedFocus);
        QCOMPARE(result.errorNumber, errorNumber);
        QCOMPARE(result.pid > 0, errorNumber == 0);
        if (errorNumber != 0)
            QVERIFY2(result.description.contains(expected), qPrintable(result.description));
        else
            QTRY_COMPARE(probeReport(output),
                         CleanStart + expand(expected + u'|').toUtf8().replace('|', '\0'));
    }

    void manyStartsLeaveNoZombie()
    {
        // Every fifth start goes through the desktop file, whose helper child GLib must reap.
        QStringList outputs;
        for (int i = 0; i < 50; ++i) {
            outputs << nextOutput();
            const QString command = expand(QLatin1String(i % 5 ? "%PROBE%" : "%DIR%/app.desktop"));
            QVERIFY(startProgram(command, WindowStyle::Normal).ok());
        }
        // No child of ours left, running or zombie.
        siginfo_t info = {};
        QTRY_VERIFY(::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) != 0 && errno == ECHILD);
        for (const QString &output : std::as_const(outputs))
            QTRY_VERIFY(probeReport(output).startsWith(CleanStart));
    }
};

QTEST_GUILESS_MAIN(tst_ProcessStart)
#include "tst_ProcessStart.moc"
