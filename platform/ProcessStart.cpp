#include "platform/ProcessStart.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <gio/gdesktopappinfo.h>

#include <cerrno>
#include <csignal>
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

// Reaps the children started from one thread without ever blocking it: a
// pidfd becomes readable when its process ends. Where pidfds cannot be had
// (old kernel, descriptor limit reached) the children are polled instead.
class ChildReaper : public QObject {
public:
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

StartResult failure(int errorNumber)
{
    return {errorNumber, errorDescription(errorNumber), 0};
}

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

QString absolutePath(const QString &path)
{
    return path.startsWith(u'/') ? path : QDir::currentPath() + u'/' + path;
}

bool isExecutableFile(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
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

// An executable regular file named by `name`: a path when it holds a "/",
// otherwise a command looked up in PATH. Empty when there is none.
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

// Shell quoting without any expansion. Returns false on unbalanced quotes;
// a text of blanks gives no words.
bool splitWords(const QString &text, QStringList *words)
{
    words->clear();
    int argc = 0;
    gchar **argv = nullptr;
    GError *error = nullptr;
    if (!g_shell_parse_argv(text.toUtf8().constData(), &argc, &argv, &error)) {
        const bool onlyBlanks = g_error_matches(error, G_SHELL_ERROR, G_SHELL_ERROR_EMPTY_STRING);
        g_error_free(error);
        return onlyBlanks;
    }
    for (int i = 0; i < argc; ++i)
        words->append(QString::fromUtf8(argv[i]));
    g_strfreev(argv);
    return true;
}

// GIO refuses a desktop file without telling why. The likeliest reason, a
// program that is no longer installed, deserves its own error.
int desktopFileError(const QString &path)
{
    int errorNumber = ENOEXEC;
    GKeyFile *keyFile = g_key_file_new();
    if (g_key_file_load_from_file(keyFile, QFile::encodeName(path).constData(), G_KEY_FILE_NONE,
                                  nullptr)) {
        for (const char *key : {G_KEY_FILE_DESKTOP_KEY_TRY_EXEC, G_KEY_FILE_DESKTOP_KEY_EXEC}) {
            gchar *value = g_key_file_get_string(keyFile, G_KEY_FILE_DESKTOP_GROUP, key, nullptr);
            QStringList words;
            if (value && splitWords(QString::fromUtf8(value), &words) && !words.isEmpty()
                && findProgram(words.constFirst()).isEmpty())
                errorNumber = ENOENT;
            g_free(value);
        }
    }
    g_key_file_free(keyFile);
    return errorNumber;
}

// 0 when GIO accepts the desktop file, else the errno to report.
int checkDesktopFile(const QString &path)
{
    GDesktopAppInfo *info
        = g_desktop_app_info_new_from_filename(QFile::encodeName(path).constData());
    if (!info)
        return desktopFileError(path);
    g_object_unref(info);
    return 0;
}

ResolvedCommand resolveProgramWord(QStringList words)
{
    const QString first = words.value(0);
    if (first.isEmpty())
        return {ENOENT, {}, {}};
    if (!first.contains(u'/')) {
        const QString found = findProgram(first);
        if (found.isEmpty())
            return {ENOENT, {}, {}};
        words[0] = found;
        return {0, {}, words};
    }
    // Whether it may be run is left to the exec itself, which knows best.
    const QString path = absolutePath(first);
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {errno, {}, {}};
    if (S_ISDIR(st.st_mode))
        return {EISDIR, {}, {}};
    words[0] = path;
    return {0, {}, words};
}

int errnoFromSpawnError(const GError *error)
{
    if (!error || error->domain != G_SPAWN_ERROR)
        return ENOEXEC;
    switch (error->code) {
    case G_SPAWN_ERROR_FORK:
        return EAGAIN;
    case G_SPAWN_ERROR_READ:
        return EIO;
    case G_SPAWN_ERROR_CHDIR:
        return ENOENT;
    case G_SPAWN_ERROR_ACCES:
        return EACCES;
    case G_SPAWN_ERROR_PERM:
        return EPERM;
    case G_SPAWN_ERROR_TOO_BIG:
        return E2BIG;
    case G_SPAWN_ERROR_NAMETOOLONG:
        return ENAMETOOLONG;
    case G_SPAWN_ERROR_NOENT:
        return ENOENT;
    case G_SPAWN_ERROR_NOMEM:
        return ENOMEM;
    case G_SPAWN_ERROR_NOTDIR:
        return ENOTDIR;
    case G_SPAWN_ERROR_LOOP:
        return ELOOP;
    case G_SPAWN_ERROR_TXTBUSY:
        return ETXTBSY;
    case G_SPAWN_ERROR_IO:
        return EIO;
    case G_SPAWN_ERROR_NFILE:
        return ENFILE;
    case G_SPAWN_ERROR_MFILE:
        return EMFILE;
    case G_SPAWN_ERROR_INVAL:
        return EINVAL;
    case G_SPAWN_ERROR_ISDIR:
        return EISDIR;
    case G_SPAWN_ERROR_LIBBAD:
        return ELIBBAD;
    default:
        return ENOEXEC;
    }
}

// Runs in the launched child between fork and exec: async-signal-safe calls only.
void detachDesktopChild(gpointer)
{
    ::setsid();
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction byDefault = {};
    byDefault.sa_handler = SIG_DFL;
    for (int sig = 1; sig < NSIG; ++sig)
        ::sigaction(sig, &byDefault, nullptr);
}

void rememberLaunchedPid(GDesktopAppInfo *, GPid pid, gpointer data)
{
    *static_cast<qint64 *>(data) = pid;
}

StartResult launchDesktopFile(const QString &path)
{
    GDesktopAppInfo *info
        = g_desktop_app_info_new_from_filename(QFile::encodeName(path).constData());
    if (!info)
        return failure(desktopFileError(path));
    // Without G_SPAWN_DO_NOT_REAP_CHILD GLib starts the program through an
    // intermediate child that it reaps itself, so no zombie stays with us;
    // it also closes every descriptor above 2 in the child.
    qint64 pid = 0;
    GError *error = nullptr;
    const gboolean launched = g_desktop_app_info_launch_uris_as_manager(
        info, nullptr, nullptr, G_SPAWN_SEARCH_PATH, detachDesktopChild, nullptr,
        rememberLaunchedPid, &pid, &error);
    g_object_unref(info);
    if (!launched) {
        const int errorNumber = errnoFromSpawnError(error);
        g_clear_error(&error);
        return failure(errorNumber);
    }
    return {0, {}, pid};
}

StartResult spawnDetached(const QStringList &argv)
{
    std::vector<QByteArray> encoded;
    encoded.reserve(argv.size());
    for (const QString &arg : argv)
        encoded.push_back(QFile::encodeName(arg));
    std::vector<char *> args;
    for (QByteArray &arg : encoded)
        args.push_back(arg.data());
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);

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

    pid_t pid = 0;
    int rc = ::posix_spawn(&pid, args[0], &actions, &attr, args.data(), environ);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);

    if (rc != 0) {
        // The file is there, so what is missing is its interpreter or loader.
        struct stat st;
        if (rc == ENOENT && ::stat(args[0], &st) == 0)
            rc = ENOEXEC;
        return failure(rc);
    }
    ChildReaper::forCurrentThread()->watch(pid);
    return {0, {}, pid};
}

} // namespace

ResolvedCommand resolveCommand(const QString &commandText)
{
    if (commandText.trimmed().isEmpty())
        return {EINVAL, {}, {}};

    if (commandText.contains(u'/')) {
        const QString path = absolutePath(commandText);
        struct stat st;
        if (::stat(QFile::encodeName(path).constData(), &st) == 0) {
            if (S_ISDIR(st.st_mode))
                return {EISDIR, {}, {}};
            // Desktop files are often marked executable; they still are no programs.
            if (S_ISREG(st.st_mode) && path.endsWith(QLatin1String(".desktop"))) {
                if (const int error = checkDesktopFile(path); error != 0)
                    return {error, {}, {}};
                return {0, path, {}};
            }
            if (S_ISREG(st.st_mode))
                return {0, {}, {path}};
        }
    } else if (const QString found = findProgram(commandText); !found.isEmpty()) {
        return {0, {}, {found}};
    }

    QStringList words;
    if (!commandText.startsWith(u'"') && !commandText.startsWith(u'\'')) {
        for (qsizetype i = commandText.size() - 1; i > 0; --i) {
            if (!isBlank(commandText.at(i)))
                continue;
            const QString program = findProgram(commandText.left(i));
            if (program.isEmpty())
                continue;
            if (!splitWords(commandText.mid(i + 1), &words))
                return {EINVAL, {}, {}};
            words.prepend(program);
            return {0, {}, words};
        }
    }
    if (!splitWords(commandText, &words))
        return {EINVAL, {}, {}};
    return resolveProgramWord(words);
}

StartResult startProgram(const QString &commandText, WindowStyle style)
{
    // Accepted but not passed on: X11 and Wayland have no general request that
    // makes another program open minimized.
    Q_UNUSED(style);

    const ResolvedCommand command = resolveCommand(commandText);
    if (command.errorNumber != 0)
        return failure(command.errorNumber);
    if (!command.desktopFile.isEmpty())
        return launchDesktopFile(command.desktopFile);
    return spawnDetached(command.argv);
}

QString errorDescription(int errorNumber)
{
    switch (errorNumber) {
    case 0:
        return {};
    case ENOENT:
        return QStringLiteral("Datei nicht gefunden");
    case EACCES:
        return QStringLiteral("Zugriff verweigert");
    case EPERM:
        return QStringLiteral("Vorgang nicht erlaubt");
    case EISDIR:
        return QStringLiteral("Ist ein Ordner, kein Programm");
    case ENOTDIR:
        return QStringLiteral("Ein Teil des Pfades ist kein Ordner");
    case ENOEXEC:
        return QStringLiteral("Kein ausführbares Programm oder Interpreter fehlt");
    case EINVAL:
        return QStringLiteral("Ungültiger Befehl oder ungültiges Argument");
    case E2BIG:
        return QStringLiteral("Argumentliste zu lang");
    case ENAMETOOLONG:
        return QStringLiteral("Dateiname zu lang");
    case ELOOP:
        return QStringLiteral("Zu viele Ebenen symbolischer Verknüpfungen");
    case ETXTBSY:
        return QStringLiteral("Programmdatei wird gerade geschrieben");
    case ENOMEM:
        return QStringLiteral("Nicht genügend Speicher");
    case EAGAIN:
        return QStringLiteral("Zu viele Prozesse");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("Zu viele offene Dateien");
    case ELIBBAD:
        return QStringLiteral("Beschädigte gemeinsame Bibliothek");
    case EIO:
        return QStringLiteral("Ein-/Ausgabefehler");
    case ENOSYS:
        return QStringLiteral("Nicht unterstützt");
    default:
        return QStringLiteral("Unbekannter Fehler (%1)").arg(errorNumber);
    }
}

} // namespace velkora
