// For the process-start tests, start_driver and bench_start. Writes "started <CLOCK_MONOTONIC ns>
// <pid>", "startup <DESKTOP_STARTUP_ID>", "own_session <0|1>", "signals <blocked or ignored>",
// "fds <open ones>", "token <XDG_ACTIVATION_TOKEN>", "cwd <folder>" and last "argv " with each
// argument NUL-terminated to the file named by ARGV_PROBE_OUT, which appears whole.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

int main(int argc, char **argv)
{
    const auto env = [](const char *name) { return std::string(getenv(name) ? getenv(name) : ""); };
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    std::string text = "started " + std::to_string(now.tv_sec * 1000000000LL + now.tv_nsec) + " "
        + std::to_string(getpid()) + "\nstartup " + env("DESKTOP_STARTUP_ID") + "\nown_session "
        + (getsid(0) == getpid() ? "1" : "0") + "\nsignals";
    sigset_t blocked;
    sigprocmask(SIG_SETMASK, nullptr, &blocked);
    for (int sig = 1; sig < NSIG; ++sig) {
        struct sigaction action;
        if (sigismember(&blocked, sig) == 1
            || (sigaction(sig, nullptr, &action) == 0 && action.sa_handler == SIG_IGN))
            text += " " + std::to_string(sig);
    }
    text += "\nfds";
    for (int fd = 0; fd < 1024; ++fd)
        text += fcntl(fd, F_GETFD) != -1 ? " " + std::to_string(fd) : "";
    char cwd[4096];
    text += "\ntoken " + env("XDG_ACTIVATION_TOKEN") + "\ncwd "
        + (getcwd(cwd, sizeof cwd) ? cwd : "?") + "\nargv ";
    for (int i = 0; i < argc; ++i)
        text += std::string(argv[i]) + '\0';
    const std::string out = env("ARGV_PROBE_OUT"), part = out + ".part";
    FILE *file = fopen(part.c_str(), "w");
    const bool written = file && fwrite(text.data(), 1, text.size(), file) == text.size();
    return written && fclose(file) == 0 && rename(part.c_str(), out.c_str()) == 0 ? 0 : 3;
}
