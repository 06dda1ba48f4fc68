#include "platform/core/Log.h"

#include <QList>

#include <cstdio>

#include <sys/stat.h>
#include <syslog.h>
#include <systemd/sd-journal.h>
#include <unistd.h>

namespace velkora {

// Info and above: a successful start is worth a line in the journal.
Q_LOGGING_CATEGORY(lcConfig, "velkora.config", QtInfoMsg)
Q_LOGGING_CATEGORY(lcStart, "velkora.start", QtInfoMsg)
Q_LOGGING_CATEGORY(lcSession, "velkora.session", QtInfoMsg)
Q_LOGGING_CATEGORY(lcWatch, "velkora.watch", QtInfoMsg)

namespace {

int journalPriority(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return LOG_DEBUG;
    case QtInfoMsg:
        return LOG_INFO;
    case QtWarningMsg:
        return LOG_WARNING;
    case QtCriticalMsg:
        return LOG_ERR;
    case QtFatalMsg:
        return LOG_CRIT;
    }
    return LOG_WARNING;
}

void writeToJournal(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const QByteArray line = qFormatLogMessage(type, context, message).toUtf8();
    // In parentheses, the function rather than the macro, which would name
    // this file as the place of every line. The line is an argument, never
    // the format.
    const int sent
        = (sd_journal_send)("MESSAGE=%s", line.constData(), "PRIORITY=%d", journalPriority(type),
                            "SYSLOG_IDENTIFIER=velkora", "QT_CATEGORY=%s",
                            context.category ? context.category : "default", nullptr);
    if (sent < 0) // the journal's socket is gone: its stream may still take the line
        std::fprintf(stderr, "%s\n", line.constData());
}

} // namespace

LogSink logSinkFor(const QByteArray &journalStream, int fd)
{
    const QList<QByteArray> parts = journalStream.split(':');
    bool deviceOk = false;
    bool inodeOk = false;
    const qulonglong device = parts.value(0).toULongLong(&deviceOk);
    const qulonglong inode = parts.value(1).toULongLong(&inodeOk);
    struct stat st { };
    if (parts.size() != 2 || !deviceOk || !inodeOk || ::fstat(fd, &st) != 0)
        return LogSink::StandardError;
    return device == st.st_dev && inode == st.st_ino ? LogSink::Journal : LogSink::StandardError;
}

void installLogHandler()
{
    if (logSinkFor(qgetenv("JOURNAL_STREAM"), STDERR_FILENO) == LogSink::Journal)
        qInstallMessageHandler(writeToJournal);
}

} // namespace velkora
