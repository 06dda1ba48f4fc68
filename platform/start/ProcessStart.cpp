#include "platform/start/ProcessStart.h"

#include "platform/core/ErrnoText.h"
#include "platform/core/Log.h"
#include "platform/core/NativePath.h"
#include "platform/core/SessionBusCheck.h"
#include "platform/start/AutostartEntry.h"
#include "platform/start/SessionBus.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QSocketNotifier>
#include <QSysInfo>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <optional>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace velkora {

namespace {

// How long a D-Bus activatable entry waits for the bus daemon to say whether
// anyone answers for its name before it starts through Exec instead: the
// daemon answers both questions itself, at once, when it is alive.
constexpr int ActivationWaitMs = 30;
// What the end of the program grants scope requests still under way.
constexpr int FinishWaitMs = 500;

// Reaps the children started from one thread without ever blocking it: a
// pidfd becomes readable when its process ends. Where pidfds cannot be had
// (old kernel, descriptor limit reached) the children are polled instead.
class ChildReaper : public QObject {
public:
    // One per thread, living as long as the application (or the thread).
    static ChildReaper *forCurrentThread()
    {
        thread_local QPointer<ChildReaper> reaper;
        if (reaper.isNull()) {
            reaper = new ChildReaper;
            QThread *thread = QThread::currentThread();
            QCoreApplication *app = QCoreApplication::instance();
            if (app && app->thread() == thread)
                reaper->setParent(app);
            else
                connect(thread, &QThread::finished, reaper.data(), &QObject::deleteLater);
        }
        return reaper.data();
    }

    ~ChildReaper() override
    {
        for (QSocketNotifier *notifier : std::as_const(m_pidfds)) {
            const int pidfd = notifier->socket();
            delete notifier;
            ::close(pidfd);
        }
    }

    void watch(pid_t pid)
    {
        // Without an event loop nothing would ever deliver a notification, so
        // each new start at least collects the children that ended meanwhile.
        pollChildren();

        const bool hasEventLoop = thread()->eventDispatcher() != nullptr;
        if (hasEventLoop) {
            // glibc 2.36 declares pidfd_open without C linkage for C++, hence the raw call.
            const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
            if (pidfd >= 0) {
                auto *notifier = new QSocketNotifier(pidfd, QSocketNotifier::Read, this);
                connect(notifier, &QSocketNotifier::activated, this, [this, pid] { reapOne(pid); });
                m_pidfds.insert(pid, notifier);
                return;
            }
        }
        m_polled.append(pid);
        if (hasEventLoop && !m_pollTimer.isActive())
            m_pollTimer.start();
    }

private:
    ChildReaper()
    {
        m_pollTimer.setInterval(250);
        connect(&m_pollTimer, &QTimer::timeout, this, &ChildReaper::pollChildren);
    }

    static bool collected(pid_t pid)
    {
        const pid_t r = ::waitpid(pid, nullptr, WNOHANG);
        return r == pid || (r < 0 && errno == ECHILD);
    }

    void reapOne(pid_t pid)
    {
        if (!collected(pid))
            return;
        QSocketNotifier *notifier = m_pidfds.take(pid);
        if (!notifier)
            return;
        notifier->setEnabled(false);
        ::close(notifier->socket());
        notifier->deleteLater();
    }

    void pollChildren()
    {
        m_polled.removeIf(collected);
        if (m_polled.isEmpty())
            m_pollTimer.stop();
    }

    QHash<pid_t, QSocketNotifier *> m_pidfds;
    QList<pid_t> m_polled;
    QTimer m_pollTimer;
};

ResolvedCommand unresolved(int errorNumber, EntryProblem problem = EntryProblem::None)
{
    ResolvedCommand command;
    command.errorNumber = errorNumber;
    command.problem = problem;
    return command;
}

ResolvedCommand program(QStringList argv)
{
    ResolvedCommand command;
    command.argv = std::move(argv);
    return command;
}

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

// Empty when our current folder is gone (deleted, or unreachable).
QString currentFolder()
{
    char *folder = ::getcwd(nullptr, 0);
    const QString result = folder ? pathFromNative(folder) : QString();
    std::free(folder);
    return result;
}

QString absolutePath(const QString &path)
{
    if (path.startsWith(u'/'))
        return path;
    const QString folder = currentFolder();
    return folder.isEmpty() || folder == QLatin1String("/") ? u'/' + path : folder + u'/' + path;
}

bool isExecutableFile(const QString &path)
{
    const QByteArray name = pathToNative(path);
    struct stat st;
    return ::stat(name.constData(), &st) == 0 && S_ISREG(st.st_mode)
        && ::faccessat(AT_FDCWD, name.constData(), X_OK, AT_EACCESS) == 0;
}

// The directories of the current PATH, in order; an empty entry is the
// current folder, as the shells have it.
QStringList searchPath()
{
    QString path;
    if (qEnvironmentVariableIsSet("PATH")) {
        path = qEnvironmentVariable("PATH");
    } else {
        char buffer[256];
        const size_t n = ::confstr(_CS_PATH, buffer, sizeof buffer);
        path = (n > 0 && n <= sizeof buffer) ? QString::fromLocal8Bit(buffer)
                                             : QStringLiteral("/bin:/usr/bin");
    }
    QStringList dirs = path.split(u':');
    for (QString &dir : dirs) {
        if (dir.isEmpty())
            dir = QStringLiteral(".");
    }
    return dirs;
}

ResolvedCommand resolveProgramWord(QStringList words)
{
    const QString first = words.value(0);
    if (first.isEmpty())
        return unresolved(ENOENT);
    if (!first.contains(u'/')) {
        const QString found = findProgram(first);
        if (found.isEmpty())
            return unresolved(ENOENT);
        words[0] = found;
        return program(words);
    }
    // Whether it may be run is left to the exec itself, which knows best.
    const QString path = absolutePath(first);
    struct stat st;
    if (::stat(pathToNative(path).constData(), &st) != 0)
        return unresolved(errno);
    if (S_ISDIR(st.st_mode))
        return unresolved(EISDIR);
    words[0] = path;
    return program(words);
}

// Debian's alternative first, then the usual terminals, each with the option
// that makes it run the rest of the line as a command.
QStringList terminalPrefix()
{
    static const std::pair<const char *, const char *> terminals[] = {
        {"x-terminal-emulator", "-e"}, {"gnome-terminal", "--"}, {"konsole", "-e"},
        {"xfce4-terminal", "-x"},      {"alacritty", "-e"},      {"xterm", "-e"},
    };
    for (const auto &[name, option] : terminals) {
        if (const QString found = findProgram(QLatin1String(name)); !found.isEmpty())
            return {found, QLatin1String(option)};
    }
    return {};
}

bool isBusName(const QString &id)
{
    const QStringList parts = id.split(u'.');
    if (parts.size() < 2 || id.size() > 255)
        return false;
    return std::all_of(parts.begin(), parts.end(), [](const QString &part) {
        return !part.isEmpty() && !part.front().isDigit()
            && std::all_of(part.begin(), part.end(), [](QChar c) {
                   return c.isDigit() || c == u'_' || c == u'-'
                       || (c.toLower() >= u'a' && c.toLower() <= u'z');
               });
    });
}

ResolvedCommand resolveDesktopEntry(const QString &path, const QString &id, bool evenHidden = false)
{
    const DesktopEntry entry = readDesktopEntry(path, evenHidden);
    if (entry.errorNumber != 0)
        return unresolved(entry.errorNumber, entry.problem);
    if (!entry.tryExec.isEmpty() && findProgram(entry.tryExec).isEmpty())
        return unresolved(ENOENT, EntryProblem::TryExecMissing);
    const QString folder
        = entry.workingFolder.isEmpty() ? QString() : absolutePath(entry.workingFolder);
    if (!folder.isEmpty() && !QFileInfo(folder).isDir())
        return unresolved(ENOENT, EntryProblem::NoWorkingFolder);
    ResolvedCommand command = resolveProgramWord(entry.exec);
    if (command.errorNumber != 0)
        return unresolved(command.errorNumber,
                          command.errorNumber == ENOENT ? EntryProblem::ExecMissing
                                                        : EntryProblem::None);
    if (entry.terminal) {
        const QStringList terminal = terminalPrefix();
        if (terminal.isEmpty())
            return unresolved(ENOENT, EntryProblem::NoTerminal);
        command.argv = terminal + command.argv;
    }
    command.name = id;
    command.workingFolder = folder;
    if (entry.dbusActivatable && isBusName(id))
        command.busName = id;
    return command;
}

// A desktop id, with or without its suffix, as gtk-launch takes it; nullopt
// when the text names none and may still be a command.
std::optional<ResolvedCommand> resolveDesktopId(const QString &commandText)
{
    const QLatin1String suffix(".desktop");
    const bool withSuffix = commandText.endsWith(suffix);
    const QString id = withSuffix ? commandText.chopped(suffix.size()) : commandText;
    // An entry that Velkora took over from the session is Velkora's to start,
    // its Hidden=true notwithstanding; one the session still starts comes
    // after the applications, so that it can be tried before then.
    const AutostartEntry autostart = findAutostartEntry(id);
    if (autostart.taken)
        return resolveDesktopEntry(autostart.file, id, true);
    if (const QString file = findDesktopFile(id + suffix); !file.isEmpty())
        return resolveDesktopEntry(file, id);
    if (autostart.sessionStarts())
        return resolveDesktopEntry(autostart.file, id);
    if (withSuffix)
        return unresolved(ENOENT, EntryProblem::UnknownId);
    return std::nullopt;
}

// Step 1 and 2 for a text with a "/": an existing file, a program or a
// desktop entry; nullopt when the text names no file.
std::optional<ResolvedCommand> resolveFile(const QString &commandText)
{
    const QLatin1String suffix(".desktop");
    const QString path = absolutePath(commandText);
    struct stat st;
    if (::stat(pathToNative(path).constData(), &st) != 0)
        return std::nullopt;
    if (S_ISDIR(st.st_mode))
        return unresolved(EISDIR);
    // Desktop files are often marked executable; they still are no programs.
    if (S_ISREG(st.st_mode) && path.endsWith(suffix))
        return resolveDesktopFile(path);
    if (S_ISREG(st.st_mode))
        return program({path});
    return std::nullopt;
}

// Step 4: the longest part up to a blank that is a program, and the rest its
// arguments; nullopt when no part is one.
std::optional<ResolvedCommand> resolveLeadingProgram(const QString &commandText)
{
    for (qsizetype i = commandText.size() - 1; i > 0; --i) {
        if (!isBlank(commandText.at(i)))
            continue;
        const QString found = findProgram(commandText.left(i));
        if (found.isEmpty())
            continue;
        QStringList words;
        if (!splitWords(commandText.mid(i + 1), &words))
            return unresolved(EINVAL);
        words.prepend(found);
        return program(words);
    }
    return std::nullopt;
}

// The whole text as a file, a program in PATH or a desktop id; nullopt when
// it is none of them.
std::optional<ResolvedCommand> resolveWhole(const QString &commandText)
{
    if (commandText.contains(u'/'))
        return resolveFile(commandText);
    if (const QString found = findProgram(commandText); !found.isEmpty())
        return program({found});
    if (std::none_of(commandText.begin(), commandText.end(), isBlank))
        return resolveDesktopId(commandText);
    return std::nullopt;
}

ResolvedCommand resolveText(const QString &commandText)
{
    if (commandText.trimmed().isEmpty())
        return unresolved(EINVAL);
    if (std::optional<ResolvedCommand> whole = resolveWhole(commandText))
        return *whole;
    const bool quoted = commandText.startsWith(u'"') || commandText.startsWith(u'\'');
    if (std::optional<ResolvedCommand> leading
        = quoted ? std::nullopt : resolveLeadingProgram(commandText))
        return *leading;
    QStringList words;
    if (!splitWords(commandText, &words))
        return unresolved(EINVAL);
    return resolveProgramWord(words);
}

// Ours, without the activation token and startup id we were given: they
// belong to our own window, and a program that used them would take focus
// in our name. Where we left a silent session bus, the program gets the
// session's bus address as we were given it: it may well answer later.
std::vector<char *> childEnvironment(QByteArray &startupEntry)
{
    const bool busLeft = sessionBusLeft();
    std::vector<char *> env;
    for (char **entry = environ; *entry; ++entry) {
        if (qstrncmp(*entry, "XDG_ACTIVATION_TOKEN=", 21) != 0
            && qstrncmp(*entry, "DESKTOP_STARTUP_ID=", 19) != 0
            && !(busLeft && qstrncmp(*entry, "DBUS_SESSION_BUS_ADDRESS=", 25) == 0))
            env.push_back(*entry);
    }
    if (const char *busEntry = givenSessionBusEntry())
        env.push_back(const_cast<char *>(busEntry));
    if (!startupEntry.isEmpty())
        env.push_back(startupEntry.data());
    env.push_back(nullptr);
    return env;
}

int spawn(const QStringList &argv, const QString &workingFolder, const QByteArray &startupId,
          pid_t *pid)
{
    std::vector<QByteArray> encoded;
    for (const QString &arg : argv)
        encoded.push_back(pathToNative(arg));
    std::vector<char *> args;
    for (QByteArray &arg : encoded)
        args.push_back(arg.data());
    args.push_back(nullptr);
    QByteArray startupEntry
        = startupId.isEmpty() ? QByteArray() : "DESKTOP_STARTUP_ID=" + startupId;
    const std::vector<char *> env = childEnvironment(startupEntry);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    QByteArray folder = pathToNative(workingFolder);
    if (folder.isEmpty() && currentFolder().isEmpty())
        folder = "/";
    if (!folder.isEmpty())
        posix_spawn_file_actions_addchdir_np(&actions, folder.constData());

    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none;
    sigemptyset(&none);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setflags(&attr,
                             POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    int rc = ::posix_spawn(pid, args[0], &actions, &attr, args.data(), env.data());
    // A file the kernel cannot run is a script without "#!": run it with
    // /bin/sh, as execvp and every shell do.
    if (rc == ENOEXEC && isExecutableFile(argv.constFirst())) {
        char shell[] = "/bin/sh";
        args.insert(args.begin(), shell);
        rc = ::posix_spawn(pid, shell, &actions, &attr, args.data(), env.data());
    }
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);

    // The file is there, so what is missing is its interpreter or loader.
    struct stat st;
    if (rc == ENOENT && ::stat(encoded.front().constData(), &st) == 0)
        rc = ENOEXEC;
    return rc;
}

StartResult startFailure(const QString &commandText, const char *what, int errorNumber,
                         EntryProblem problem = EntryProblem::None)
{
    const QString description = errorDescription(errorNumber, problem);
    qCWarning(lcStart, "cannot start \"%s\": %s failed, errno %d (%s): %s",
              qUtf8Printable(commandText), what, errorNumber,
              qUtf8Printable(qt_error_string(errorNumber)), qUtf8Printable(description));
    return {errorNumber, description, 0};
}

} // namespace

QString findProgram(const QString &name)
{
    if (name.isEmpty())
        return {};
    if (name.contains(u'/')) {
        const QString path = absolutePath(name);
        return isExecutableFile(path) ? path : QString();
    }
    const QStringList dirs = searchPath();
    for (const QString &dir : dirs) {
        const QString candidate = absolutePath(dir) + u'/' + name;
        if (isExecutableFile(candidate))
            return candidate;
    }
    return {};
}

ResolvedCommand resolveDesktopFile(const QString &path, bool evenHidden)
{
    return resolveDesktopEntry(path, QFileInfo(path).completeBaseName(), evenHidden);
}

ResolvedCommand resolveCommand(const QString &commandText)
{
    ResolvedCommand command = resolveText(commandText);
    if (command.name.isEmpty() && !command.argv.isEmpty())
        command.name = QFileInfo(command.argv.constFirst()).fileName();
    return command;
}

ProcessStarter::ProcessStarter(QObject *parent)
    : QObject(parent)
    , m_bus(std::make_unique<SessionBus>())
{ }

ProcessStarter::~ProcessStarter()
{
    finish();
}

void ProcessStarter::setUserTimeSource(std::function<quint64()> lastUserTime)
{
    m_lastUserTime = std::move(lastUserTime);
}

void ProcessStarter::finish()
{
    // No timer runs from here on: what still waits for the bus starts now.
    for (const std::function<void(bool)> &start : std::exchange(m_undecided, {}))
        start(false);
    m_bus->drain(FinishWaitMs);
}

StartResult ProcessStarter::start(const QString &commandText, WindowStyle style)
{
    // Accepted but not passed on: X11 and Wayland have no general request that
    // makes another program open minimized.
    Q_UNUSED(style);

    const ResolvedCommand command = resolveCommand(commandText);
    if (command.errorNumber != 0)
        return startFailure(commandText,
                            command.problem == EntryProblem::None ? "resolving the command"
                                                                  : "reading the desktop entry",
                            command.errorNumber, command.problem);
    if (command.busName.isEmpty())
        return launch(commandText, command);

    // Over the bus only when the daemon soon says that someone answers for
    // the name; otherwise, and when it stays silent, through Exec. Never both.
    const quint64 id = ++m_starts;
    const auto decide = [this, id](bool activate) {
        if (const std::function<void(bool)> start = m_undecided.take(id))
            start(activate);
    };
    if (!m_bus->askNameAvailable(command.busName, decide))
        return launch(commandText, command);
    const QString startupId = QString::fromUtf8(nextStartupId(command.name));
    m_undecided.insert(id, [this, commandText, command, startupId](bool activate) {
        if (!activate) {
            // The caller was told of the start already; a failure is on record.
            static_cast<void>(launch(commandText, command));
            return;
        }
        m_bus->activate(command.busName, startupId);
        qCInfo(lcStart, "started \"%s\" by D-Bus activation of %s", qUtf8Printable(commandText),
               qUtf8Printable(command.busName));
    });
    QTimer::singleShot(ActivationWaitMs, Qt::PreciseTimer, this, [decide] { decide(false); });
    return {};
}

StartResult ProcessStarter::launch(const QString &commandText, const ResolvedCommand &command)
{
    pid_t pid = 0;
    const int error = spawn(command.argv, command.workingFolder, nextStartupId(command.name), &pid);
    if (error != 0)
        return startFailure(commandText, "posix_spawn", error);
    ChildReaper::forCurrentThread()->watch(pid);
    qCInfo(lcStart, "started \"%s\" as process %d", qUtf8Printable(commandText), int(pid));
    m_bus->startScope(command.name, pid, commandText + QStringLiteral(", started by Velkora"));
    return {0, {}, pid};
}

QByteArray ProcessStarter::nextStartupId(const QString &name)
{
    if (!m_lastUserTime)
        return {};
    QByteArray program = name.toUtf8();
    for (char &c : program) {
        if (!QChar::isLetterOrNumber(uchar(c)) || uchar(c) > 127)
            c = c == '.' || c == '-' ? c : '_';
    }
    QByteArray id = "velkora-" + QByteArray::number(::getpid()) + '-'
        + QSysInfo::machineHostName().toUtf8() + '-' + program + '-'
        + QByteArray::number(++m_starts);
    if (const quint64 time = m_lastUserTime(); time != 0)
        id += "_TIME" + QByteArray::number(time);
    return id;
}

void ensureStandardDescriptors()
{
    // Each open() takes the lowest free number: the one just found closed.
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            const int opened = ::open("/dev/null", O_RDWR);
            if (opened > 2)
                ::close(opened);
        }
    }
}

QString errorDescription(int errorNumber, EntryProblem problem)
{
    switch (problem) {
    case EntryProblem::None:
        break;
    case EntryProblem::UnknownId:
        return QStringLiteral("Keine Anwendung mit dieser Desktop-ID gefunden");
    case EntryProblem::NotAnEntry:
        return QStringLiteral("Keine gültige Desktop-Datei (Abschnitt [Desktop Entry] fehlt "
                              "oder ist fehlerhaft)");
    case EntryProblem::NoExec:
        return QStringLiteral("Desktop-Datei ohne Befehl (Exec fehlt oder ist leer)");
    case EntryProblem::BadExec:
        return QStringLiteral("Befehl der Desktop-Datei ist ungültig (Exec)");
    case EntryProblem::Link:
        return QStringLiteral("Desktop-Datei ist eine Verknüpfung (Type=Link), kein Programm");
    case EntryProblem::NotApplication:
        return QStringLiteral("Desktop-Datei beschreibt kein Programm (Type ist nicht "
                              "Application)");
    case EntryProblem::Hidden:
        return QStringLiteral("Desktop-Datei ist ausgeblendet (Hidden=true)");
    case EntryProblem::TryExecMissing:
        return QStringLiteral("Programm der Desktop-Datei ist nicht installiert (TryExec)");
    case EntryProblem::ExecMissing:
        return QStringLiteral("Programm der Desktop-Datei nicht gefunden (Exec)");
    case EntryProblem::NoTerminal:
        return QStringLiteral("Kein Terminalprogramm gefunden (Terminal=true)");
    case EntryProblem::NoWorkingFolder:
        return QStringLiteral("Arbeitsordner der Desktop-Datei nicht gefunden (Path)");
    case EntryProblem::TooLarge:
        return QStringLiteral("Desktop-Datei ist zu groß (mehr als 1 MiB)");
    }
    // Where a start needs other words than a file does.
    switch (errorNumber) {
    case EISDIR:
        return QStringLiteral("Ist ein Ordner, kein Programm");
    case ENOEXEC:
        return QStringLiteral("Kein ausführbares Programm oder Interpreter fehlt");
    case EINVAL:
        return QStringLiteral("Ungültiger Befehl oder ungültiges Argument");
    case ETXTBSY:
        return QStringLiteral("Programmdatei wird gerade geschrieben");
    case EAGAIN:
        return QStringLiteral("Zu viele Prozesse");
    default:
        return errnoDescription(errorNumber);
    }
}

} // namespace velkora
