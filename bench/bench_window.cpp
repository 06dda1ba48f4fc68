// Start-up against the toolkit's floor: the time from exec to the first image
// sent to the X server, for the countdown and for the configuration window,
// each against a bare QWidget of the same size (bare_window) in interleaved
// rounds under one private Xvfb; then the countdown's peak resident set.
// Prints figures only.
//
//   bench_window [Velkora executable] [rounds, at least 15]
//
// The first image is noted by first_image.so (LD_PRELOAD) in the child, on
// the clock the parent read just before posix_spawn. The countdown is also
// held against the bare window showing its two text lines: the floor of any
// window with text, which has to read the fonts first; the configuration
// window against the same kinds of controls made by plain Qt. Last come the
// instructions until the first image, which load on the machine does not
// move (callgrind, where valgrind is installed).

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

// The child writes its first image's time to this descriptor.
constexpr int ImageFd = 9;
constexpr int ShowTimeoutMs = 20000;

qint64 monotonicNs()
{
    timespec now {};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}

struct Child {
    pid_t pid = -1;
    int readFd = -1; // the read end of the child's image pipe, or of Xvfb's -displayfd
};

// Starts argv with the environment extended by extra; the write end of a new
// pipe becomes the child's descriptor childFd.
Child spawn(const QStringList &argv, const std::vector<std::string> &extra, int childFd)
{
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return {};
    std::vector<std::string> args;
    for (const QString &arg : argv)
        args.push_back(QFile::encodeName(arg).toStdString());
    std::vector<char *> argp;
    for (std::string &arg : args)
        argp.push_back(arg.data());
    argp.push_back(nullptr);
    std::vector<std::string> env(extra);
    for (char **e = environ; *e; ++e)
        env.emplace_back(*e);
    std::vector<char *> envp;
    for (std::string &e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], childFd);
    // Figures only: what the children say is not part of them.
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    Child child;
    if (::posix_spawn(&child.pid, argp[0], &actions, nullptr, argp.data(), envp.data()) != 0)
        child.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    child.readFd = pipeFds[0];
    return child;
}

// One line from fd within timeoutMs; empty on timeout or end.
QByteArray readLine(int fd, int timeoutMs)
{
    QByteArray line;
    const qint64 deadline = monotonicNs() + qint64(timeoutMs) * 1000000;
    char c = 0;
    while (!line.endsWith('\n')) {
        pollfd p {fd, POLLIN, 0};
        const int left = int((deadline - monotonicNs()) / 1000000);
        if (left <= 0 || ::poll(&p, 1, left) <= 0 || ::read(fd, &c, 1) != 1)
            return {};
        line += c;
    }
    return line.trimmed();
}

// Ends the child (SIGTERM, SIGKILL after 2 s); its peak resident set in KiB.
long end(Child &child)
{
    ::close(child.readFd);
    if (child.pid <= 0)
        return 0;
    ::kill(child.pid, SIGTERM);
    rusage usage {};
    int status = 0;
    for (int i = 0; i < 200; ++i) {
        if (::wait4(child.pid, &status, WNOHANG, &usage) == child.pid)
            return usage.ru_maxrss;
        QThread::msleep(10);
    }
    ::kill(child.pid, SIGKILL);
    ::wait4(child.pid, &status, 0, &usage);
    return usage.ru_maxrss;
}

struct Shown {
    double ms = 0; // exec to the first image
    double cpuMs = 0; // CPU time used by then
    QByteArray size; // of that image, "width height"
    long peakKiB = 0;
};

// Runs argv until its first image (and lingerMs more), then ends it.
std::optional<Shown> run(const QStringList &argv, const QString &preload, int lingerMs = 0)
{
    const std::vector<std::string> extra {
        "LD_PRELOAD=" + QFile::encodeName(preload).toStdString(),
        "FIRST_IMAGE_FD=" + std::to_string(ImageFd),
    };
    const qint64 before = monotonicNs();
    Child child = spawn(argv, extra, ImageFd);
    const QList<QByteArray> fields = readLine(child.readFd, ShowTimeoutMs).split(' ');
    if (lingerMs > 0)
        QThread::msleep(static_cast<unsigned long>(lingerMs));
    const long peak = end(child);
    if (fields.size() != 4)
        return std::nullopt;
    return Shown {double(fields[0].toLongLong() - before) / 1e6, fields[3].toDouble() / 1e3,
                  fields[1] + ' ' + fields[2], peak};
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n == 0 ? 0 : (n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2);
}

struct Tools {
    QString bare;
    QString preload;
    QString scratch;
};

// The bare window of the given size ("width height"); extra arguments add to it.
QStringList bareOfSize(const Tools &tools, const QByteArray &size, const QStringList &extra = {})
{
    const QList<QByteArray> wh = size.split(' ');
    return QStringList {tools.bare, QString::fromLatin1(wh.value(0)),
                        QString::fromLatin1(wh.value(1))}
    + extra;
}

struct Reference {
    const char *name;
    QStringList argv;
    std::vector<double> ms = {}, cpuMs = {}, ratios = {}, cpuRatios = {};
};

void printRounds(const char *what, const QByteArray &size, const std::vector<Shown> &ours,
                 const std::vector<Reference> &references)
{
    std::vector<double> ms, cpuMs;
    for (const Shown &shown : ours) {
        ms.push_back(shown.ms);
        cpuMs.push_back(shown.cpuMs);
    }
    std::printf("%s, %s pixels, %zu rounds: exec to the first image (CPU time until then)\n", what,
                QByteArray(size).replace(' ', 'x').constData(), ours.size());
    std::printf("  %-37s %7.1f ms (%5.1f ms)\n", "Velkora", median(ms), median(cpuMs));
    for (const Reference &r : references)
        std::printf("  %-37s %7.1f ms (%5.1f ms)  ratio %.3f (%.3f), median of ratios %.3f "
                    "(%.3f)\n",
                    r.name, median(r.ms), median(r.cpuMs), median(ms) / median(r.ms),
                    median(cpuMs) / median(r.cpuMs), median(r.ratios), median(r.cpuRatios));
}

// The program against each reference in rounds, the order turned each time;
// a first round warms the caches.
void compare(const char *what, const QStringList &program, std::vector<Reference> references,
             const Tools &tools, int rounds)
{
    std::vector<const QStringList *> order {&program};
    for (const Reference &r : references)
        order.push_back(&r.argv);
    std::vector<Shown> ours;
    for (int round = -1; round < rounds; ++round) {
        std::vector<std::optional<Shown>> shown(order.size());
        for (std::size_t k = 0; k < order.size(); ++k) {
            const std::size_t which = (k + std::size_t(round + 1)) % order.size();
            shown[which] = run(*order[which], tools.preload);
        }
        if (round < 0 || !std::all_of(shown.begin(), shown.end(), [](const auto &s) { return s; }))
            continue;
        ours.push_back(*shown[0]);
        for (std::size_t k = 0; k < references.size(); ++k) {
            Reference &r = references[k];
            r.ms.push_back(shown[k + 1]->ms);
            r.cpuMs.push_back(shown[k + 1]->cpuMs);
            r.ratios.push_back(shown[0]->ms / shown[k + 1]->ms);
            r.cpuRatios.push_back(shown[0]->cpuMs / shown[k + 1]->cpuMs);
        }
    }
    printRounds(what, ours.empty() ? QByteArray() : ours.front().size, ours, references);
}

// The size of the program's first image ("width height"), empty when none came.
QByteArray imageSize(const QStringList &program, const Tools &tools, const char *what)
{
    const std::optional<Shown> shown = run(program, tools.preload);
    if (!shown)
        std::printf("%s: no image within %d ms\n", what, ShowTimeoutMs);
    return shown ? shown->size : QByteArray();
}

void peakRss(const QStringList &program, const Tools &tools, int runs)
{
    std::vector<double> ours, floor;
    for (int i = 0; i < runs; ++i) {
        // Two ticks of the countdown: whatever its first seconds allocate.
        const std::optional<Shown> shown = run(program, tools.preload, 2200);
        if (!shown)
            continue;
        ours.push_back(double(shown->peakKiB) / 1024);
        if (const std::optional<Shown> b = run(bareOfSize(tools, shown->size), tools.preload, 2200))
            floor.push_back(double(b->peakKiB) / 1024);
    }
    std::printf("countdown, peak resident set after two ticks, median of %zu runs:\n"
                "  %-37s %7.1f MiB\n  %-37s %7.1f MiB\n",
                ours.size(), "Velkora", median(ours), "bare QWidget", median(floor));
}

// Instructions until the first image, counted by callgrind: a figure that
// load on the machine does not move. 0 when valgrind is missing.
double instructions(const QStringList &argv, const Tools &tools)
{
    const QString valgrind = QStandardPaths::findExecutable(QStringLiteral("valgrind"));
    if (valgrind.isEmpty())
        return 0;
    const QString out = tools.scratch + QStringLiteral("/callgrind.out");
    QFile::remove(out);
    const std::vector<std::string> extra {
        "LD_PRELOAD=" + QFile::encodeName(tools.preload).toStdString(),
        "FIRST_IMAGE_FD=" + std::to_string(ImageFd), "FIRST_IMAGE_EXIT=1"};
    Child child = spawn(QStringList {valgrind, QStringLiteral("--tool=callgrind"),
                                     QStringLiteral("--callgrind-out-file=") + out}
                            + argv,
                        extra, ImageFd);
    const bool shown = !readLine(child.readFd, 120000).isEmpty();
    int status = 0;
    ::close(child.readFd);
    ::waitpid(child.pid, &status, 0);
    QFile file(out);
    if (!shown || !file.open(QIODevice::ReadOnly))
        return 0;
    for (QByteArray line = file.readLine(); !line.isEmpty(); line = file.readLine()) {
        if (line.startsWith("summary:") || line.startsWith("totals:"))
            return line.split(' ').value(1).trimmed().toDouble();
    }
    return 0;
}

void printInstructions(const char *what, const QStringList &program, const QStringList &bare,
                       const Tools &tools)
{
    const double ours = instructions(program, tools), floor = instructions(bare, tools);
    if (ours > 0 && floor > 0)
        std::printf("  %-22s Velkora %6.1f M, bare QWidget %6.1f M: ratio %.3f\n", what, ours / 1e6,
                    floor / 1e6, ours / floor);
}

// A private Xvfb; its display name, or empty. Ended by the caller.
QString startX(Child &server)
{
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty())
        return {};
    server = spawn({xvfb, QStringLiteral("-displayfd"), QString::number(ImageFd),
                    QStringLiteral("-noreset"), QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                    QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("1280x1024x24")},
                   {}, ImageFd);
    const QByteArray number = readLine(server.readFd, 10000);
    return number.isEmpty() ? QString() : QLatin1Char(':') + QString::fromLatin1(number);
}

// The program beside a list of one entry due in 60 s, so the countdown
// starts nothing while it is measured; a runtime folder and home of its own.
bool prepare(const QDir &scratch, const QString &exe, const QString &display)
{
    const QString app = scratch.filePath(QStringLiteral("app"));
    if (!QDir().mkpath(app) || !QFile::copy(exe, app + QStringLiteral("/Velkora"))
        || ::mkdir(QFile::encodeName(scratch.filePath(QStringLiteral("run"))).constData(), 0700)
            != 0)
        return false;
    QFile ini(app + QStringLiteral("/Velkora.ini"));
    if (!ini.open(QIODevice::WriteOnly)
        || ini.write("[0]\nDATEI=/bin/true\nNAME=Bench\nZEIT=60\n") <= 0)
        return false;
    qputenv("DISPLAY", display.toLatin1());
    qputenv("QT_QPA_PLATFORM", "xcb");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(scratch.filePath(QStringLiteral("run"))));
    qputenv("HOME", QFile::encodeName(scratch.filePath(QStringLiteral("home"))));
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/dev/null");
    for (const char *name : {"QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS", "QT_LOGGING_RULES"})
        qunsetenv(name);
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QDir here(QCoreApplication::applicationDirPath());
    const QStringList args = QCoreApplication::arguments();
    const QString exe = args.size() > 1 ? args[1] : here.filePath(QStringLiteral("../Velkora"));
    const int rounds = std::max(15, args.size() > 2 ? args[2].toInt() : 21);
    Tools tools {here.filePath(QStringLiteral("bare_window")),
                 here.filePath(QStringLiteral("first_image.so")), QString()};
    for (const QString &needed : {exe, tools.bare, tools.preload}) {
        if (!QFile::exists(needed)) {
            std::printf("%s not found: build it first\n", qPrintable(needed));
            return 0;
        }
    }
    Child server;
    const QString display = startX(server);
    if (display.isEmpty()) {
        std::printf("no Xvfb: nothing measured\n");
        end(server);
        return 0;
    }
    QTemporaryDir scratch;
    if (!scratch.isValid() || !prepare(QDir(scratch.path()), exe, display)) {
        std::printf("cannot prepare %s\n", qPrintable(scratch.path()));
        end(server);
        return 1;
    }
    const QString velkora = scratch.filePath(QStringLiteral("app/Velkora"));
    tools.scratch = scratch.path();
    const QStringList countdown {velkora}, config {velkora, QStringLiteral("/config")};
    const QByteArray countdownSize = imageSize(countdown, tools, "countdown");
    const QByteArray configSize = imageSize(config, tools, "configuration window");
    if (countdownSize.isEmpty() || configSize.isEmpty()) {
        end(server);
        return 1;
    }
    compare("countdown", countdown,
            {{.name = "bare QWidget", .argv = bareOfSize(tools, countdownSize)},
             {.name = "bare QWidget with the two text lines",
              .argv = bareOfSize(tools, countdownSize, {QStringLiteral("--text")})}},
            tools, rounds);
    compare("configuration window", config,
            {{.name = "bare QWidget", .argv = bareOfSize(tools, configSize)},
             {.name = "bare QWidget with such controls",
              .argv = bareOfSize(tools, configSize, {QStringLiteral("--controls")})}},
            tools, rounds);
    peakRss(countdown, tools, 5);
    std::printf("instructions until the first image (callgrind):\n");
    printInstructions("countdown", countdown, bareOfSize(tools, countdownSize), tools);
    printInstructions("configuration window", config, bareOfSize(tools, configSize), tools);
    end(server);
    return 0;
}
