#include "platform/core/EndSignals.h"

#include "platform/core/Log.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace velkora {

namespace {

int notes[2] = {-1, -1}; // read and write end of the pipe the handler writes to

extern "C" void noteSignal(int signalNumber)
{
    const int savedErrno = errno;
    const char number = char(signalNumber);
    // A full pipe holds enough signals to act on already.
    const ssize_t written = ::write(notes[1], &number, 1);
    Q_UNUSED(written);
    errno = savedErrno;
}

} // namespace

void EndSignals::catchSignals()
{
    if (notes[0] >= 0)
        return;
    if (::pipe2(notes, O_CLOEXEC | O_NONBLOCK) != 0) {
        qCWarning(lcSession, "cannot catch SIGTERM, SIGINT and SIGHUP: %s", std::strerror(errno));
        return;
    }
    struct sigaction action { };
    action.sa_handler = noteSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        struct sigaction before { };
        if (::sigaction(signalNumber, nullptr, &before) == 0 && before.sa_handler == SIG_IGN)
            continue;
        ::sigaction(signalNumber, &action, nullptr);
    }
}

EndSignals::EndSignals(QObject *parent)
    : QObject(parent)
{
    catchSignals();
    if (notes[0] < 0)
        return;
    auto *notifier = new QSocketNotifier(notes[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &EndSignals::readNotes);
}

void EndSignals::readNotes()
{
    char numbers[16];
    const ssize_t n = ::read(notes[0], numbers, sizeof numbers);
    for (ssize_t i = 0; i < n; ++i) {
        qCInfo(lcSession, "SIG%s received", sigabbrev_np(numbers[i]));
        Q_EMIT received(numbers[i]);
    }
}

} // namespace velkora
