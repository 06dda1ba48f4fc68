#include "SingleInstance.h"

#include <QLocalSocket>
#include <QtTest>

#include <optional>

const QString Key = QStringLiteral("Velkora-0123456789abcdef");

// Every copy is a real process (single_probe); each test has its own private runtime folder.
class tst_SingleInstance : public QObject {
    Q_OBJECT
    std::optional<QTemporaryDir> m_dir {std::in_place};
    QList<QProcess *> m_copies;

    // The copy's first line: "first <lock> <socket>", "second ok <ms>" or "second unanswered <ms>".
    QString start(const QString &title, const QString &runtimeDir, bool wait = true)
    {
        QProcess *copy = m_copies.emplaceBack(new QProcess(this));
        copy->start(QStringLiteral(SINGLE_PROBE), {runtimeDir, Key, title, log()});
        while (wait && !copy->canReadLine() && copy->waitForReadyRead(5000)) { }
        return QString::fromUtf8(copy->readLine()).trimmed();
    }
    QString log() const { return m_dir->filePath(QStringLiteral("log")); }
    QString logged() const
    {
        QFile file(log());
        return file.open(QIODevice::ReadOnly)
            ? QString::fromUtf8(QByteArray::fromPercentEncoding(file.readAll()))
            : QString();
    }

private Q_SLOTS:
    void cleanup()
    {
        for (QProcess *copy : std::as_const(m_copies)) {
            copy->kill();
            copy->waitForFinished(5000);
        }
        m_copies.clear();
        m_dir.emplace();
    }

    void tenCopiesAtOnceLeaveOne()
    {
        for (int i = 0; i < 10; ++i)
            start(QStringLiteral("copy"), m_dir->path(), false);
        QTRY_COMPARE(logged(), QStringLiteral("copy\n").repeated(9));
        const auto running = [](QProcess *copy) { return copy->state() == QProcess::Running; };
        QTRY_COMPARE(std::count_if(m_copies.cbegin(), m_copies.cend(), running), 1);
    }

    // A later copy's request reaches the first copy within a second after each of these.
    void requestGetsThrough_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("nothing special") << QString() << QByteArray();
        QTest::newRow("first copy killed with SIGKILL") << QStringLiteral("killed") << QByteArray();
        QTest::newRow("old garbage lock file") << QStringLiteral("lock") << QByteArray("x\n");
        QTest::newRow("plain file as socket") << QStringLiteral("socket") << QByteArray();
        QTest::newRow("silent peer") << QStringLiteral("peer") << QByteArray();
        QTest::newRow("garbage peer") << QStringLiteral("peer") << QByteArray("hello\n");
        QTest::newRow("runtime folder mode 0704") << QStringLiteral("folder") << QByteArray();
    }
    void requestGetsThrough()
    {
        QFETCH(QString, setup);
        QFETCH(QByteArray, data);
        const velkora::SingleInstance paths(Key, nullptr, m_dir->path());
        QString dir = m_dir->path();
        if (setup == u"lock" || setup == u"socket") {
            QFile file(setup == u"lock" ? paths.lockPath() : paths.socketPath());
            QVERIFY(file.open(QFile::WriteOnly) && file.write(data) == data.size() && file.flush());
            QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-60),
                                     QFileDevice::FileModificationTime));
        } else if (setup == u"folder") {
            dir = m_dir->filePath(QStringLiteral("unsafe"));
            QVERIFY(QDir().mkdir(
                dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther));
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_dir->path()));
        } else if (setup == u"killed") {
            QVERIFY(start(QStringLiteral("killed"), dir).startsWith(QLatin1String("first ")));
            m_copies.back()->kill();
            QVERIFY(m_copies.back()->waitForFinished(5000));
        }
        const QString first = start(QStringLiteral("first"), dir);
        QVERIFY2(first.startsWith(QLatin1String("first ") + paths.lockPath()), qPrintable(first));
        QLocalSocket peer;
        if (setup == u"peer") {
            peer.connectToServer(paths.socketPath());
            QVERIFY(peer.waitForConnected(5000) && peer.write(data) == data.size());
            peer.flush();
        }
        const QString title = QStringLiteral("Größe – a b\n100% %41");
        const QString answer = start(title, dir);
        QVERIFY2(answer.startsWith(QLatin1String("second ok ")), qPrintable(answer));
        QVERIFY(answer.section(u' ', 2).toInt() < 1000);
        QTRY_COMPARE(logged(), title + u'\n');
    }
};

QTEST_GUILESS_MAIN(tst_SingleInstance)
#include "tst_SingleInstance.moc"
