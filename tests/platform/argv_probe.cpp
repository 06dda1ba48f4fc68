// Started by the process-start tests and the start benchmark. Writes what it
// was given to the file named by ARGV_PROBE_OUT, then exits:
//   started <CLOCK_MONOTONIC at main entry, ns>
//   own_session <1 when it leads its own session>
//   blocked <signals blocked at start>
//   ignored <signals set to be ignored at start>
//   fds <open descriptors above 2>
//   arg <hex of each argument, argv[0] first>
// The file appears whole (written beside it, then renamed).
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char **argv)
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    const long long started = now.tv_sec * 1000000000LL + now.tv_nsec;

    const char *out = getenv("ARGV_PROBE_OUT");
    if (!out || !*out)
        return 2;

    std::string text = "started " + std::to_string(started) + "\n";
    text += std::string("own_session ") + (getsid(0) == getpid() ? "1" : "0") + "\n";

    sigset_t blocked;
    sigprocmask(SIG_SETMASK, nullptr, &blocked);
    std::string blockedList, ignoredList;
    for (int sig = 1; sig < NSIG; ++sig) {
        if (sigismember(&blocked, sig) == 1)
            blockedList += " " + std::to_string(sig);
        struct sigaction action;
        if (sigaction(sig, nullptr, &action) == 0 && action.sa_handler == SIG_IGN)
            ignoredList += " " + std::to_string(sig);
    }
    text += "blocked" + blockedList + "\nignored" + ignoredList + "\n";

    std::string fdList;
    if (DIR *dir = opendir("/proc/self/fd")) {
        while (dirent *entry = readdir(dir)) {
            const int fd = atoi(entry->d_name);
            if (entry->d_name[0] != '.' && fd > 2 && fd != dirfd(dir))
                fdList += " " + std::to_string(fd);
        }
        closedir(dir);
    }
    text += "fds" + fdList + "\n";

    static const char hex[] = "0123456789abcdef";
    for (int i = 0; i < argc; ++i) {
        text += "arg ";
        for (const char *c = argv[i]; *c; ++c) {
            const unsigned char b = static_cast<unsigned char>(*c);
            text += hex[b >> 4];
            text += hex[b & 15];
        }
        text += "\n";
    }

    const std::string partial = std::string(out) + ".part";
    FILE *file = fopen(partial.c_str(), "w");
    if (!file)
        return 3;
    const bool written = fwrite(text.data(), 1, text.size(), file) == text.size();
    if (fclose(file) != 0 || !written)
        return 3;
    return rename(partial.c_str(), out) == 0 ? 0 : 3;
}
