#pragma once
// What the windows keep silent goes to standard error, one line per event,
// through these categories; where standard error is the journal, the lines go
// to the journal itself, each with its priority.
//
// platform/core/ holds what every other folder of platform/ builds on: logging,
// paths as bytes, the XDG folders, the non-blocking D-Bus connection and the
// start-up's session bus check, the end signals, errno texts, owned file
// descriptors. It uses QtCore and libsystemd only.

#include <QByteArray>
#include <QLoggingCategory>

namespace velkora {

Q_DECLARE_LOGGING_CATEGORY(lcConfig) // velkora.config: reading and saving the list
Q_DECLARE_LOGGING_CATEGORY(lcStart) // velkora.start: every program start, and why one failed
Q_DECLARE_LOGGING_CATEGORY(lcSession) // velkora.session: single copy, session bus, windows
Q_DECLARE_LOGGING_CATEGORY(lcWatch) // velkora.watch: the tray and the network an entry waits for

enum class LogSink { StandardError, Journal };

/// The journal when the descriptor fd is the stream that journalStream names
/// ("<device>:<inode>", as systemd sets JOURNAL_STREAM for a unit's output),
/// else standard error: a program whose output went elsewhere (a terminal, a
/// file) may still have inherited JOURNAL_STREAM.
[[nodiscard]] LogSink logSinkFor(const QByteArray &journalStream, int fd);

/// Where standard error is the journal, sends every log line of the process,
/// Qt's own included, through sd_journal_send with its priority (warning for
/// failures, info for the rest) and SYSLOG_IDENTIFIER=velkora; elsewhere
/// leaves Qt writing standard error as it does. Call first in main().
void installLogHandler();

} // namespace velkora
