// For the process-start tests, bench_start and rel_start_stall. Writes "started <CLOCK_MONOTONIC
// ns>", "own_session <0|1>", "signals <blocked or ignored>", "fds <open above 2>" and last "argv "
// with each argument NUL-terminated to the file named by ARGV_PROBE_OUT, which appears whole.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

int main(int argc, char **argv)
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    const char *out = getenv("ARGV_PROBE_OUT");
    if (!out || !*out)
        return 2;
    std::string text = "started " + std::to_string(now.tv_sec * 1000000000LL + now.tv_nsec)
        + "\nown_session " + (getsid(0) == getpid() ? "1" : "0") + "\nsignals";
    sigset_t blocked;
    sigprocmask(SIG_SETMASK, nullptr, &blocked);
    for (int sig = 1; sig < NSIG; ++sig) {
        struct sigaction action;
        if (sigismember(&blocked, sig) == 1
            || (sigaction(sig, nullptr, &action) == 0 && action.sa_handler == SIG_IGN))
            text += " " + std::to_string(sig);
    }
    text += "\nfds";
    for (int fd = 3; fd < 1024; ++fd) {
        if (fcntl(fd, F_GETFD) != -1)
            text += " " + std::to_string(fd);
    }
    text += "\nargv ";
    for (int i = 0; i < argc; ++i)
        text += std::string(argv[i]) + '\0';
    const std::string partial = std::string(out) + ".part";
    FILE *file = fopen(partial.c_str(), "w");
    const bool written = file && fwrite(text.data(), 1, text.size(), file) == text.size();
    return written && fclose(file) == 0 && rename(partial.c_str(), out) == 0 ? 0 : 3;
}
