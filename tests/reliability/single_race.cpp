// The single-copy guard under races, kills and another user, with real
// processes (the single_probe program).
//
//   rel_single race <rounds> [copies]  copies released at one moment, per round
//   rel_single killed <times>          the first copy SIGKILLed, a new one started
//   rel_single otheruser               another user attacks our copy (root only)
// (rounds and times: also $RELIABILITY_ROUNDS.) The intrude-* modes are what
// the other user runs.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int Skip = 77;
const QString Key = QStringLiteral("velkora-rel");
const QString Title = QStringLiteral("Velkora Ä");
const QString Probe = QStringLiteral(SINGLE_PROBE);
QStringList g_problems;

void problem(const QString &what)
{
    g_problems << what;
    std::printf("FAIL %s\n", qPrintable(what));
    std::fflush(stdout);
}

QString privateDir(const QString &parent)
{
    QByteArray templ = QFile::encodeName(parent + QStringLiteral("/velkora-single-XXXXXX"));
    if (!::mkdtemp(templ.data()))
        return {};
    ::chmod(templ.constData(), 0700);
    return QFile::decodeName(templ);
}

QStringList logged(const QString &log)
{
    QFile f(log);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList lines;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (!line.isEmpty())
            lines << QString::fromUtf8(QByteArray::fromPercentEncoding(line));
    return lines;
}

QString fileText(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).trimmed() : QString();
}

void sleepMs(int ms)
{
    const timespec t{ms / 1000, long(ms % 1000) * 1'000'000};
    ::nanosleep(&t, nullptr);
}

int race(int rounds, int copies)
{
    const QString dir = privateDir(QDir::tempPath());
    QTemporaryDir scratch;
    if (dir.isEmpty() || !scratch.isValid())
        return 2;
    const QByteArray probe = QFile::encodeName(Probe);
    int goodRounds = 0, asked = 0, delivered = 0, answered = 0;
    qint64 slowestSecondMs = 0;
    for (int round = 0; round < rounds; ++round) {
        const QString log = scratch.filePath(QStringLiteral("log-%1").arg(round));
        std::vector<pid_t> pids;
        std::vector<QByteArray> outputs;
        int gate[2];
        if (::pipe(gate) != 0)
            return 2;
        const QByteArray args[] = {QFile::encodeName(dir), Key.toUtf8(), Title.toUtf8(),
                                   QFile::encodeName(log), "600000"};
        for (int c = 0; c < copies; ++c) {
            outputs.push_back(QFile::encodeName(scratch.filePath(QStringLiteral("out-%1-%2").arg(round).arg(c))));
            const pid_t pid = ::fork();
            if (pid == 0) {
                // Everyone waits at the gate until the driver closes it.
                ::close(gate[1]);
                char b;
                while (::read(gate[0], &b, 1) < 0 && errno == EINTR) { }
                const int fd = ::open(outputs.back().constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
                ::dup2(fd, 1);
                ::execl(probe.constData(), probe.constData(), args[0].constData(), args[1].constData(),
                        args[2].constData(), args[3].constData(), args[4].constData(),
                        static_cast<char *>(nullptr));
                ::_exit(127);
            }
            pids.push_back(pid);
        }
        ::close(gate[0]);
        sleepMs(50);
        ::close(gate[1]);

        // All but one end by themselves.
        std::vector<pid_t> running = pids;
        QElapsedTimer clock;
        clock.start();
        while (running.size() > 1 && clock.elapsed() < 60000) {
            int status = 0;
            const pid_t done = ::waitpid(-1, &status, WNOHANG);
            if (done > 0)
                running.erase(std::remove(running.begin(), running.end(), done), running.end());
            else
                sleepMs(5);
        }
        sleepMs(20);
        int firsts = 0, seconds = 0;
        for (const QByteArray &out : outputs) {
            const QString text = fileText(QFile::decodeName(out));
            if (text.startsWith(QLatin1String("first ")))
                ++firsts;
            else if (text.startsWith(QLatin1String("second ")))
                ++seconds;
            if (text.startsWith(QLatin1String("second ok")))
                ++answered;
            if (text.startsWith(QLatin1String("second ")))
                slowestSecondMs = std::max(slowestSecondMs, text.section(QLatin1Char(' '), 2, 2).toLongLong());
        }
        const QStringList titles = logged(log);
        asked += copies - 1;
        delivered += int(std::count(titles.cbegin(), titles.cend(), Title));
        const bool good = firsts == 1 && seconds == copies - 1 && running.size() == 1
            && titles.size() == copies - 1 && titles.count(Title) == copies - 1;
        goodRounds += good ? 1 : 0;
        if (!good)
            problem(QStringLiteral("round %1: %2 first, %3 second, %4 still running, %5 of %6 requests logged")
                        .arg(round)
                        .arg(firsts)
                        .arg(seconds)
                        .arg(running.size())
                        .arg(titles.size())
                        .arg(copies - 1));
        // The first copy is killed: every other round the next one meets its
        // stale lock and socket, the others start clean.
        for (pid_t pid : running) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        if (round % 2 == 1) {
            QFile::remove(dir + QLatin1Char('/') + Key + QStringLiteral(".lock"));
            QFile::remove(dir + QLatin1Char('/') + Key + QStringLiteral(".socket"));
        }
    }
    QDir(dir).removeRecursively();
    std::printf("RESULT single_race: rounds=%d copies=%d rounds-with-exactly-one-first=%d/%d "
                "activations-logged-by-first=%d/%d answered=%d/%d slowest-second=%lld ms "
                "(odd rounds start after a killed first copy)\n",
                rounds, copies, goodRounds, rounds, delivered, asked, answered, asked,
                qlonglong(slowestSecondMs));
    return g_problems.isEmpty() ? 0 : 1;
}

struct Copy {
    std::unique_ptr<QProcess> process = std::make_unique<QProcess>();
    QString line;
};

Copy startCopy(const QString &dir, const QString &log, int waitMs = 20000,
               const QStringList &wrapper = {}, const QString &lifetime = QStringLiteral("600000"))
{
    Copy c;
    const QStringList args = {dir, Key, Title, log, lifetime};
    if (wrapper.isEmpty())
        c.process->start(Probe, args);
    else
        c.process->start(wrapper.first(), wrapper.mid(1) + QStringList{Probe} + args);
    if (c.process->waitForReadyRead(waitMs))
        c.line = QString::fromUtf8(c.process->readLine()).trimmed();
    return c;
}

void stop(Copy &c, int signal = SIGKILL)
{
    if (c.process->state() != QProcess::NotRunning)
        ::kill(pid_t(c.process->processId()), signal);
    c.process->waitForFinished(10000);
}

int killed(int times)
{
    const QString dir = privateDir(QDir::tempPath());
    QTemporaryDir scratch;
    if (dir.isEmpty() || !scratch.isValid())
        return 2;
    const QString log = scratch.filePath(QStringLiteral("log"));
    Copy first = startCopy(dir, log);
    if (!first.line.startsWith(QLatin1String("first "))) {
        problem(QStringLiteral("the very first copy did not become first: ") + first.line);
        return 1;
    }
    int becameFirst = 0, withinSecond = 0, reached = 0;
    qint64 slowest = 0;
    for (int n = 0; n < times; ++n) {
        stop(first);
        QElapsedTimer clock;
        clock.start();
        Copy next = startCopy(dir, log);
        const qint64 ms = clock.elapsed();
        if (next.line.startsWith(QLatin1String("first "))) {
            ++becameFirst;
            withinSecond += ms < 1000 ? 1 : 0;
            slowest = std::max(slowest, ms);
        } else {
            problem(QStringLiteral("start %1 after the kill: \"%2\"").arg(n).arg(next.line));
        }
        // The new first copy answers.
        const qsizetype before = logged(log).size();
        Copy asker = startCopy(dir, log);
        asker.process->waitForFinished(10000);
        if (asker.line.startsWith(QLatin1String("second ok")) && logged(log).size() == before + 1)
            ++reached;
        else
            problem(QStringLiteral("start %1: a later copy got \"%2\"").arg(n).arg(asker.line));
        first = std::move(next);
    }
    stop(first);
    QDir(dir).removeRecursively();
    std::printf("RESULT single_killed: times=%d next-start-became-first=%d/%d within-1s=%d/%d "
                "slowest=%lld ms later-copy-reached-it=%d/%d\n",
                times, becameFirst, times, withinSecond, times, qlonglong(slowest), reached, times);
    return g_problems.isEmpty() ? 0 : 1;
}

// ---- what the other user runs ----

int intrudeConnect(const QByteArray &socketPath)
{
    const int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::strncpy(a.sun_path, socketPath.constData(), sizeof a.sun_path - 1);
    if (::connect(s, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) {
        std::printf("refused %s\n", std::strerror(errno));
        return 0;
    }
    const char request[] = "activate intruder\n";
    (void)!::send(s, request, sizeof request - 1, MSG_NOSIGNAL);
    timeval limit{3, 0};
    ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    char answer[16] = {};
    const ssize_t n = ::read(s, answer, sizeof answer - 1);
    std::printf("connected answer=%s\n", n > 0 ? QByteArray(answer, int(n)).toPercentEncoding().constData() : "none");
    return 0;
}

int intrudeCreate(const QByteArray &dir)
{
    const QByteArray lock = dir + '/' + Key.toUtf8() + ".lock";
    const QByteArray sock = dir + '/' + Key.toUtf8() + ".socket";
    const int fd = ::open(lock.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::printf("lock %s\n", fd >= 0 ? "written" : std::strerror(errno));
    std::printf("unlink-socket %s\n", ::unlink(sock.constData()) == 0 ? "removed" : std::strerror(errno));
    const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    const QByteArray other = dir + "/squat.socket";
    std::strncpy(a.sun_path, other.constData(), sizeof a.sun_path - 1);
    std::printf("bind %s\n", ::bind(s, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 ? "bound" : std::strerror(errno));
    return 0;
}

// Takes our name in a folder left open by mistake: a lock naming a live
// process (this one) and a socket that answers every request.
int intrudeSquat(const QByteArray &dir)
{
    const QByteArray lock = dir + '/' + Key.toUtf8() + ".lock";
    const QByteArray sock = dir + '/' + Key.toUtf8() + ".socket";
    ::unlink(lock.constData());
    ::unlink(sock.constData());
    QFile f(QFile::decodeName(lock));
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    if (!f.open(QIODevice::WriteOnly)
        || f.write(QByteArray::number(::getpid()) + "\nsingle_probe\n" + host + "\n") <= 0)
        return 1;
    f.close();
    const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::strncpy(a.sun_path, sock.constData(), sizeof a.sun_path - 1);
    ::umask(0);
    if (::bind(s, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 || ::listen(s, 8) != 0)
        return 1;
    std::printf("squatting\n");
    std::fflush(stdout);
    for (;;) {
        const int c = ::accept(s, nullptr, nullptr);
        if (c < 0)
            continue;
        char buf[256];
        (void)!::read(c, buf, sizeof buf);
        (void)!::write(c, "ok\n", 3);
        std::printf("answered\n");
        std::fflush(stdout);
        ::close(c);
    }
}

QString runAs(const QStringList &wrapper, const QStringList &args)
{
    QProcess p;
    p.start(wrapper.first(), wrapper.mid(1) + args);
    p.waitForFinished(20000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

int otherUser()
{
    if (::geteuid() != 0) {
        std::printf("SKIP single_other_user: needs root to act as another user\n");
        return Skip;
    }
    if (!::getpwnam("velkora-other"))
        QProcess::execute(QStringLiteral("useradd"), {QStringLiteral("-r"), QStringLiteral("-M"),
                                                     QStringLiteral("-s"), QStringLiteral("/usr/sbin/nologin"),
                                                     QStringLiteral("velkora-other")});
    const passwd *pw = ::getpwnam("velkora-other");
    if (!pw) {
        std::printf("SKIP single_other_user: cannot create the user velkora-other\n");
        return Skip;
    }
    const QStringList as = {QStringLiteral("setpriv"), QStringLiteral("--reuid=%1").arg(pw->pw_uid),
                            QStringLiteral("--regid=%1").arg(pw->pw_gid), QStringLiteral("--clear-groups"),
                            QStringLiteral("--")};
    qputenv("HOME", "/");
    const QString self = QCoreApplication::applicationFilePath();
    const QString dir = privateDir(QDir::tempPath());
    QTemporaryDir scratch;
    ::chmod(QFile::encodeName(scratch.path()).constData(), 0777);
    const QString log = scratch.filePath(QStringLiteral("log"));
    const QString socket = dir + QLatin1Char('/') + Key + QStringLiteral(".socket");
    Copy first = startCopy(dir, log);
    if (!first.line.startsWith(QLatin1String("first "))) {
        problem(QStringLiteral("our first copy: ") + first.line);
        return 1;
    }
    const auto ourCopyFine = [&](const char *after) {
        const qsizetype before = logged(log).size();
        Copy asker = startCopy(dir, log);
        asker.process->waitForFinished(10000);
        const bool fine = first.process->state() == QProcess::Running
            && asker.line.startsWith(QLatin1String("second ok")) && logged(log).size() == before + 1
            && !logged(log).contains(QStringLiteral("intruder"));
        if (!fine)
            problem(QStringLiteral("after %1: our copy %2, later copy \"%3\", log %4")
                        .arg(QLatin1String(after),
                             first.process->state() == QProcess::Running ? QStringLiteral("runs") : QStringLiteral("ended"),
                             asker.line, logged(log).join(QLatin1Char(','))));
        return fine;
    };

    // 1. Our folder as it is (0700): nothing of it can be reached.
    const QString c1 = runAs(as, {self, QStringLiteral("intrude-connect"), socket});
    const QString c2 = runAs(as, {self, QStringLiteral("intrude-create"), dir});
    const QString c3 = runAs(as, {QStringLiteral("env"), QStringLiteral("XDG_RUNTIME_DIR=") + dir, Probe, dir, Key,
                                  QStringLiteral("fremd"), scratch.filePath(QStringLiteral("otherlog")), QStringLiteral("100")});
    const bool case1 = c1.startsWith(QLatin1String("refused")) && !c2.contains(QLatin1String("written"))
        && !c2.contains(QLatin1String("removed")) && !c2.contains(QLatin1String("bound"))
        && !c3.startsWith(QLatin1String("second"));
    if (!case1)
        problem(QStringLiteral("private folder: connect \"%1\", create \"%2\", probe \"%3\"").arg(c1, c2, c3));
    const bool fine1 = ourCopyFine("attempts on the private folder");

    // 2. The folder and socket opened up by mistake: the connection is made,
    //    but our copy must drop a peer of another user unanswered.
    ::chmod(QFile::encodeName(dir).constData(), 0711);
    ::chmod(QFile::encodeName(socket).constData(), 0777);
    const QString c4 = runAs(as, {self, QStringLiteral("intrude-connect"), socket});
    ::chmod(QFile::encodeName(dir).constData(), 0700);
    const bool case2 = c4.startsWith(QLatin1String("connected answer=none"));
    if (!case2)
        problem(QStringLiteral("open socket: \"%1\"").arg(c4));
    const bool fine2 = ourCopyFine("a connection from another user");

    // 3. A folder anyone may write: the other user squats our name with a
    //    live lock and an answering socket. Our next copy must not believe it.
    stop(first);
    ::chmod(QFile::encodeName(dir).constData(), 0777);
    QProcess squatter;
    squatter.start(as.first(), as.mid(1) + QStringList{self, QStringLiteral("intrude-squat"), dir});
    const bool squatting = squatter.waitForReadyRead(10000)
        && squatter.readLine().trimmed() == QByteArrayLiteral("squatting");
    Copy ours = startCopy(dir, log, 20000, {}, QStringLiteral("300"));
    ours.process->waitForFinished(10000);
    const bool answeredBySquatter = squatter.waitForReadyRead(300);
    ::kill(pid_t(squatter.processId()), SIGKILL);
    squatter.waitForFinished(5000);
    const bool case3 = squatting && ours.line.startsWith(QLatin1String("first")) && !answeredBySquatter;
    if (!case3)
        problem(QStringLiteral("squatted name: squatter ready %1, our copy \"%2\", squatter asked %3")
                    .arg(squatting)
                    .arg(ours.line)
                    .arg(answeredBySquatter));
    QDir(dir).removeRecursively();
    std::printf("RESULT single_other_user: private folder unreachable=%s (connect: %s), "
                "open socket dropped unanswered=%s, squatted name ignored=%s, our copy unharmed=%s\n",
                case1 ? "yes" : "NO", qPrintable(c1), case2 ? "yes" : "NO", case3 ? "yes" : "NO",
                fine1 && fine2 ? "yes" : "NO");
    return g_problems.isEmpty() ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString mode = args.value(1);
    const auto count = [&args](int fallback) {
        return qEnvironmentVariableIsSet("RELIABILITY_ROUNDS") ? qEnvironmentVariableIntValue("RELIABILITY_ROUNDS")
                                                               : args.value(2, QString::number(fallback)).toInt();
    };
    if (mode == QLatin1String("race"))
        return race(count(20), args.value(3, QStringLiteral("20")).toInt());
    if (mode == QLatin1String("killed"))
        return killed(qEnvironmentVariableIsSet("RELIABILITY_FULL") ? 100 : args.value(2, QStringLiteral("30")).toInt());
    if (mode == QLatin1String("otheruser"))
        return otherUser();
    if (mode == QLatin1String("intrude-connect"))
        return intrudeConnect(QFile::encodeName(args.value(2)));
    if (mode == QLatin1String("intrude-create"))
        return intrudeCreate(QFile::encodeName(args.value(2)));
    if (mode == QLatin1String("intrude-squat"))
        return intrudeSquat(QFile::encodeName(args.value(2)));
    std::fprintf(stderr, "usage: rel_single race <rounds> [copies] | killed <times> | otheruser\n");
    return 2;
}
