#include "platform/core/Log.h"

#include <QtTest>

#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>

using velkora::LogSink;
enum class Output { File, Terminal }; // what standard error is
enum class Stream { ItsOwn, AnotherFiles, ItsInodeOnAnotherDevice, Unset, NoNumbers };

class tst_Log : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // JOURNAL_STREAM is inherited: a program started from a unit and sent to a terminal or a file
    // still has it, and its lines must stay there.
    void sink_data()
    {
        QTest::addColumn<Output>("output");
        QTest::addColumn<Stream>("stream");
        QTest::addColumn<LogSink>("sink");
        QTest::newRow("the journal's own stream")
            << Output::File << Stream::ItsOwn << LogSink::Journal;
        QTest::newRow("a file, with the variable of another stream")
            << Output::File << Stream::AnotherFiles << LogSink::StandardError;
        QTest::newRow("a terminal, with the variable of another stream")
            << Output::Terminal << Stream::AnotherFiles << LogSink::StandardError;
        QTest::newRow("the inode alone matches")
            << Output::File << Stream::ItsInodeOnAnotherDevice << LogSink::StandardError;
        QTest::newRow("no variable") << Output::File << Stream::Unset << LogSink::StandardError;
        QTest::newRow("no device and inode")
            << Output::File << Stream::NoNumbers << LogSink::StandardError;
    }
    void sink()
    {
        QFETCH(Output, output);
        QFETCH(Stream, stream);
        QTemporaryFile file;
        QVERIFY(file.open());
        const int fd = output == Output::File ? file.handle() : ::posix_openpt(O_RDWR | O_NOCTTY);
        struct stat own {
        }, other {};
        QVERIFY(::fstat(fd, &own) == 0 && ::stat("/", &other) == 0);
        const auto named = [](dev_t device, ino_t inode) {
            return QByteArray::number(quint64(device)) + ':' + QByteArray::number(quint64(inode));
        };
        const QByteArray variable = QList<QByteArray> {named(own.st_dev, own.st_ino),
                                                       named(other.st_dev, other.st_ino),
                                                       named(own.st_dev + 1, own.st_ino),
                                                       {},
                                                       "8:x"}[int(stream)];
        QTEST(velkora::logSinkFor(variable, fd), "sink");
        if (output == Output::Terminal)
            ::close(fd);
    }
};

QTEST_GUILESS_MAIN(tst_Log)
#include "tst_Log.moc"
