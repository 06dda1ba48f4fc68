#include "ProcessStart.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using velkora::errorDescription;
using velkora::startProgram;
using velkora::StartResult;
using velkora::WindowStyle;

namespace {

struct ProbeReport {
    bool ownSession = false;
    QString blocked;
    QString ignored;
    QString fds;
    QStringList argv;
};

ProbeReport readProbeReport(const QString &path)
{
    ProbeReport report;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return report;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray &line : lines) {
        const qsizetype blank = line.indexOf(' ');
        const QByteArray key = blank < 0 ? line : line.left(blank);
        const QString value = blank < 0 ? QString() : QString::fromUtf8(line.mid(blank + 1));
        if (key == "own_session")
            report.ownSession = value == u'1';
        else if (key == "blocked")
            report.blocked = value;
        else if (key == "ignored")
            report.ignored = value;
        else if (key == "fds")
            report.fds = value;
        else if (key == "arg")
            report.argv.append(QString::fromUtf8(QByteArray::fromHex(line.mid(blank + 1))));
    }
    return report;
}

bool processGone(qint64 pid)
{
    // A zombie still answers kill(); only a reaped child is gone.
    return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

// GLib starts a desktop file's program through an intermediate child that it
// reaps itself, so the program is not ours to reap.
bool isOurChild(qint64 pid)
{
    siginfo_t info = {};
    return ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0;
}

void writeFile(const QString &path, const QByteArray &content, QFile::Permissions permissions)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    file.write(content);
    file.close();
    QVERIFY(file.setPermissions(permissions));
}

} // namespace

class tst_ProcessStart : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void startsWithArguments_data();
    void startsWithArguments();
    void reportsFailure_data();
    void reportsFailure();
    void manyStartsLeaveNoZombieAndNoDescriptor();
    void reapsWhenNoPidfdCanBeOpened();

private:
    QString expand(QString text) const;
    QString nextOutputFile();

    QTemporaryDir m_dir;
    QString m_savedCwd;
    QByteArray m_savedPath;
    int m_devNull = -1;
    int m_pipe[2] = {-1, -1};
    sigset_t m_savedMask;
    struct sigaction m_savedPipeAction;
    int m_outputCount = 0;
};

void tst_ProcessStart::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QString dir = m_dir.path();
    const auto exec = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    const auto noExec = QFile::ReadOwner | QFile::WriteOwner;

    QVERIFY(QDir(dir).mkpath(QStringLiteral("my tools")));
    QVERIFY(QDir(dir).mkpath(QStringLiteral("bin")));
    QVERIFY(QFile::copy(QStringLiteral(ARGV_PROBE), dir + QStringLiteral("/my tools/probe tool")));
    QVERIFY(QFile::copy(QStringLiteral(ARGV_PROBE), dir + QStringLiteral("/bin/probe-in-path")));
    QVERIFY(QFile::copy(QStringLiteral(ARGV_PROBE), dir + QStringLiteral("/plain.bin")));
    QVERIFY(QFile(dir + QStringLiteral("/plain.bin")).setPermissions(noExec));
    writeFile(dir + QStringLiteral("/badinterp"), "#!/no/such/interpreter\n", exec);
    writeFile(dir + QStringLiteral("/wrapper.sh"),
              "#!/bin/sh\nexec '" ARGV_PROBE "' from-script \"$@\"\n", exec);
    writeFile(dir + QStringLiteral("/app.desktop"),
              "[Desktop Entry]\nType=Application\nName=Probe\nExec=\"" + dir.toUtf8()
                  + "/my tools/probe tool\" a \"b c\"\n",
              noExec);
    writeFile(dir + QStringLiteral("/broken.desktop"), "this is no desktop entry\n", noExec);
    writeFile(dir + QStringLiteral("/missing.desktop"),
              "[Desktop Entry]\nType=Application\nName=Gone\nExec=/no/such/program\n", noExec);

    m_savedCwd = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir));
    m_savedPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(dir + QStringLiteral("/bin")));

    // Descriptors without close-on-exec and a blocked and an ignored signal, as
    // a real program may have: none of them may reach a started program.
    m_devNull = ::open("/dev/null", O_RDONLY);
    QVERIFY(m_devNull > 2);
    QCOMPARE(::pipe(m_pipe), 0);
    sigset_t usr1;
    sigemptyset(&usr1);
    sigaddset(&usr1, SIGUSR1);
    QCOMPARE(::sigprocmask(SIG_BLOCK, &usr1, &m_savedMask), 0);
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    QCOMPARE(::sigaction(SIGPIPE, &ignore, &m_savedPipeAction), 0);
}

void tst_ProcessStart::cleanupTestCase()
{
    ::sigaction(SIGPIPE, &m_savedPipeAction, nullptr);
    ::sigprocmask(SIG_SETMASK, &m_savedMask, nullptr);
    ::close(m_devNull);
    ::close(m_pipe[0]);
    ::close(m_pipe[1]);
    qputenv("PATH", m_savedPath);
    QDir::setCurrent(m_savedCwd);
}

QString tst_ProcessStart::expand(QString text) const
{
    return text.replace(QStringLiteral("%PROBE%"), QStringLiteral(ARGV_PROBE))
        .replace(QStringLiteral("%DIR%"), m_dir.path());
}

QString tst_ProcessStart::nextOutputFile()
{
    const QString path = m_dir.filePath(QStringLiteral("out-%1").arg(++m_outputCount));
    qputenv("ARGV_PROBE_OUT", QFile::encodeName(path));
    return path;
}

void tst_ProcessStart::startsWithArguments_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("argv");

    const QString tool = QStringLiteral("%DIR%/my tools/probe tool");
    QTest::newRow("whole path with blanks, unquoted") << tool << QStringList {tool};
    QTest::newRow("path with blanks and arguments, unquoted")
        << tool + QStringLiteral(" --x y")
        << QStringList {tool, QStringLiteral("--x"), QStringLiteral("y")};
    QTest::newRow("double-quoted program")
        << QStringLiteral("\"%1\" a").arg(tool) << QStringList {tool, QStringLiteral("a")};
    QTest::newRow("single-quoted program")
        << QStringLiteral("'%1' \"b c\"").arg(tool) << QStringList {tool, QStringLiteral("b c")};
    QTest::newRow("both kinds of quotes")
        << QStringLiteral("%PROBE% 'a b' \"c 'd'\" e\"f g\"h")
        << QStringList {QStringLiteral("%PROBE%"), QStringLiteral("a b"), QStringLiteral("c 'd'"),
                        QStringLiteral("ef gh")};
    QTest::newRow("backslashes") << QStringLiteral("%PROBE% a\\ b c\\\\d \"e\\\"f\"")
                                 << QStringList {QStringLiteral("%PROBE%"), QStringLiteral("a b"),
                                                 QStringLiteral("c\\d"), QStringLiteral("e\"f")};
    QTest::newRow("empty arguments kept")
        << QStringLiteral("%PROBE% \"\" '' x")
        << QStringList {QStringLiteral("%PROBE%"), QString(), QString(), QStringLiteral("x")};
    QTest::newRow("nothing expanded")
        << QStringLiteral("%PROBE% $HOME * ~ a;b |c >d")
        << QStringList {QStringLiteral("%PROBE%"), QStringLiteral("$HOME"), QStringLiteral("*"),
                        QStringLiteral("~"),       QStringLiteral("a;b"),   QStringLiteral("|c"),
                        QStringLiteral(">d")};
    QTest::newRow("trailing blank")
        << QStringLiteral("%PROBE% ") << QStringList {QStringLiteral("%PROBE%")};
    QTest::newRow("found in PATH")
        << QStringLiteral("probe-in-path x")
        << QStringList {QStringLiteral("%DIR%/bin/probe-in-path"), QStringLiteral("x")};
    QTest::newRow("relative path")
        << QStringLiteral("my tools/probe tool q") << QStringList {tool, QStringLiteral("q")};
    QTest::newRow("script") << QStringLiteral("%DIR%/wrapper.sh z")
                            << QStringList {QStringLiteral("%PROBE%"),
                                            QStringLiteral("from-script"), QStringLiteral("z")};
    QTest::newRow("desktop file") << QStringLiteral("%DIR%/app.desktop")
                                  << QStringList {tool, QStringLiteral("a"), QStringLiteral("b c")};
}

void tst_ProcessStart::startsWithArguments()
{
    QFETCH(QString, command);
    QFETCH(QStringList, argv);
    for (QString &arg : argv)
        arg = expand(arg);

    const QString output = nextOutputFile();
    const StartResult result = startProgram(expand(command), WindowStyle::MinimizedFocus);
    QVERIFY2(result.ok(), qPrintable(result.description));
    QVERIFY(result.pid > 0);
    QTRY_VERIFY(QFile::exists(output));

    const ProbeReport report = readProbeReport(output);
    QCOMPARE(report.argv, argv);
    QVERIFY(report.ownSession);
    QCOMPARE(report.fds, QString());
    QCOMPARE(report.blocked, QString());
    QCOMPARE(report.ignored, QString());
    if (command.endsWith(QLatin1String(".desktop")))
        QVERIFY(!isOurChild(result.pid));
}

void tst_ProcessStart::reportsFailure_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("errorNumber");

    QTest::newRow("missing file") << QStringLiteral("%DIR%/nothing here") << ENOENT;
    QTest::newRow("missing in PATH") << QStringLiteral("no-such-program --x") << ENOENT;
    QTest::newRow("folder") << QStringLiteral("%DIR%/my tools") << EISDIR;
    QTest::newRow("not executable") << QStringLiteral("%DIR%/plain.bin") << EACCES;
    QTest::newRow("not executable, with arguments")
        << QStringLiteral("%DIR%/plain.bin a") << EACCES;
    QTest::newRow("bad interpreter") << QStringLiteral("%DIR%/badinterp") << ENOEXEC;
    QTest::newRow("empty text") << QString() << EINVAL;
    QTest::newRow("text of blanks") << QStringLiteral("  \t ") << EINVAL;
    QTest::newRow("unbalanced quote") << QStringLiteral("\"%PROBE% a") << EINVAL;
    QTest::newRow("unbalanced quote in arguments") << QStringLiteral("%PROBE% 'a") << EINVAL;
    QTest::newRow("broken desktop file") << QStringLiteral("%DIR%/broken.desktop") << ENOEXEC;
    QTest::newRow("desktop file of a missing program")
        << QStringLiteral("%DIR%/missing.desktop") << ENOENT;
}

void tst_ProcessStart::reportsFailure()
{
    QFETCH(QString, command);
    QFETCH(int, errorNumber);

    const StartResult result = startProgram(expand(command), WindowStyle::MinimizedFocus);
    QCOMPARE(result.errorNumber, errorNumber);
    QCOMPARE(result.description, errorDescription(errorNumber));
    QVERIFY(!result.description.isEmpty());
    QCOMPARE(result.pid, 0);
}

void tst_ProcessStart::manyStartsLeaveNoZombieAndNoDescriptor()
{
    QList<qint64> pids;
    QStringList outputs;
    for (int i = 0; i < 50; ++i) {
        outputs.append(nextOutputFile());
        const StartResult result
            = startProgram(QStringLiteral(ARGV_PROBE " %1").arg(i), WindowStyle::Normal);
        QVERIFY2(result.ok(), qPrintable(result.description));
        pids.append(result.pid);
    }
    QTRY_VERIFY(std::all_of(pids.cbegin(), pids.cend(), processGone));
    for (int i = 0; i < outputs.size(); ++i) {
        const ProbeReport report = readProbeReport(outputs.at(i));
        QCOMPARE(report.argv.value(1), QString::number(i));
        QCOMPARE(report.fds, QString());
    }
}

void tst_ProcessStart::reapsWhenNoPidfdCanBeOpened()
{
    // With the descriptor limit at the lowest free descriptor no pidfd can be
    // opened; the started program itself gets 0-2 only and has room enough.
    const int lowestFree = ::fcntl(m_devNull, F_DUPFD, 0);
    QVERIFY(lowestFree > 4);
    ::close(lowestFree);
    struct rlimit saved;
    QCOMPARE(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    struct rlimit tight = saved;
    tight.rlim_cur = static_cast<rlim_t>(lowestFree);

    const QString output = nextOutputFile();
    QCOMPARE(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    const StartResult result
        = startProgram(QStringLiteral(ARGV_PROBE " fallback"), WindowStyle::Normal);
    ::setrlimit(RLIMIT_NOFILE, &saved);

    QVERIFY2(result.ok(), qPrintable(result.description));
    QTRY_VERIFY(QFile::exists(output));
    QCOMPARE(readProbeReport(output).argv.value(1), QStringLiteral("fallback"));
    QTRY_VERIFY(processGone(result.pid));
}

QTEST_GUILESS_MAIN(tst_ProcessStart)
#include "tst_ProcessStart.moc"
