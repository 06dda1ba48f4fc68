#pragma once
// SIGTERM, SIGINT and SIGHUP (a stop, Ctrl+C, the end of the session) as an
// event. The handler only notes the signal; the thread that made the
// EndSignals object hears of it from its event loop, so that whatever runs
// on that thread meanwhile, a save above all, is finished first.

#include <QObject>

namespace velkora {

class EndSignals : public QObject {
    Q_OBJECT
public:
    /// Catches the three signals from now on. One that was ignored when the
    /// program started (nohup, a background job of a shell) stays ignored.
    /// Call first in main(): a signal that comes before an EndSignals
    /// object exists waits for it.
    static void catchSignals();

    explicit EndSignals(QObject *parent = nullptr);

Q_SIGNALS:
    /// A signal came; said once in the log.
    void received(int signalNumber);

private:
    void readNotes();
};

} // namespace velkora
