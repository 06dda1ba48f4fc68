#include "platform/core/Log.h"
#include "tests/support/Rows.h"

#include <QtTest>

#include <sys/stat.h>

using velkora::LogSink;
using velkora::test::row;
enum class Stream { ItsOwn, AnotherFiles, ItsInodeOnAnotherDevice, Unset, NoNumbers };

class tst_Log : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // JOURNAL_STREAM is inherited: a program started from a unit and sent to a terminal or a file
    // still has it, and its lines must stay there.
    void sink_data()
    {
        QTest::addColumn<Stream>("stream");
        QTest::addColumn<LogSink>("sink");
        row("the journal's own stream", Stream::ItsOwn, LogSink::Journal);
        row("the variable of another stream", Stream::AnotherFiles, LogSink::StandardError);
        row("the inode alone matches", Stream::ItsInodeOnAnotherDevice, LogSink::StandardError);
        row("no variable", Stream::Unset, LogSink::StandardError);
        row("no device and inode", Stream::NoNumbers, LogSink::StandardError);
    }
    void sink()
    {
        QFETCH(Stream, stream);
        QTemporaryFile file;
        QVERIFY(file.open());
        struct stat own, other;
        QVERIFY(::fstat(file.handle(), &own) == 0 && ::stat("/", &other) == 0);
        const auto named = [](dev_t device, ino_t inode) {
            return QByteArray::number(quint64(device)) + ':' + QByteArray::number(quint64(inode));
        };
        const QByteArray variable = QList<QByteArray> {named(own.st_dev, own.st_ino),
                                                       named(other.st_dev, other.st_ino),
                                                       named(own.st_dev + 1, own.st_ino),
                                                       {},
                                                       "8:x"}[int(stream)];
        QTEST(velkora::logSinkFor(variable, file.handle()), "sink");
    }
};

QTEST_GUILESS_MAIN(tst_Log)
#include "tst_Log.moc"
