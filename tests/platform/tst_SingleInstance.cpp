#include "platform/SingleInstance.h"

#include <QLocalSocket>
#include <QtTest>

#include <optional>

const QString Key = "Velkora-0123456789abcdef";

// Every copy is a real process (single_probe); each test has its own private runtime folder.
class tst_SingleInstance : public QObject {
    Q_OBJECT
    std::optional<QTemporaryDir> m_dir {std::in_place};
    QList<QProcess *> m_copies;

    // The copy's first line: "first <lock> <socket>", "second ok <ms>" or "second unanswered <ms>".
    QString start(const QString &title, const QString &runtimeDir, bool wait = true)
    {
        QProcess *copy = m_copies.emplaceBack(new QProcess(this));
        copy->start(SINGLE_PROBE, {runtimeDir, Key, title, m_dir->filePath("log"), "60000"});
        while (wait && !copy->canReadLine() && copy->waitForReadyRead(5000)) { }
        return QString::fromUtf8(copy->readLine()).trimmed();
    }
    QString logged() const
    {
        QFile file(m_dir->filePath("log"));
        return file.open(QFile::ReadOnly) ? QByteArray::fromPercentEncoding(file.readAll()) : "";
    }

private Q_SLOTS:
    void cleanup()
    {
        for (QProcess *copy : std::exchange(m_copies, {}))
            copy->close(); // kills and waits
        m_dir.emplace();
    }

    // Ten copies start at once: one becomes the first copy and answers the other nine; then a
    // later copy's request reaches it within a second.
    void copies_data()
    {
        QTest::addColumn<QString>("setup");
        for (const char *setup :
             {"clean folder", "first copy killed", "old garbage lock", "old file as socket",
              "silent peer", "garbage peer", "folder 0704"})
            QTest::newRow(setup) << QString(setup);
    }
    void copies()
    {
        QFETCH(QString, setup);
        const velkora::SingleInstance paths(Key, nullptr, m_dir->path());
        const QString dir = setup == "folder 0704" ? m_dir->filePath("unsafe") : m_dir->path();
        if (setup.startsWith("old ")) {
            QFile file(setup.endsWith("lock") ? paths.lockPath() : paths.socketPath());
            QVERIFY(file.open(QFile::WriteOnly) && file.write("x\n") == 2 && file.flush());
            QVERIFY(file.setFileTime(QDate(2000, 1, 1).startOfDay(), QFile::FileModificationTime));
        } else if (setup == "folder 0704") { // too open: the guard takes XDG_RUNTIME_DIR instead
            QVERIFY(QDir().mkdir(dir, QFile::permissions(m_dir->path()) | QFile::ReadOther));
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_dir->path()));
        } else if (setup == "first copy killed") {
            QVERIFY(start("killed", dir).startsWith("first "));
            m_copies.back()->close(); // SIGKILL
        }
        for (int i = 0; i < 10; ++i)
            start("copy", dir, false);
        QTRY_COMPARE_WITH_TIMEOUT(logged(), QString("copy\n").repeated(9), 30000);
        QVERIFY(QFile::exists(paths.lockPath()));
        QLocalSocket peer;
        if (setup.endsWith("peer")) {
            peer.connectToServer(paths.socketPath());
            QVERIFY(peer.waitForConnected(5000));
            peer.write(setup == "garbage peer" ? "hello\n" : "");
            peer.flush();
        }
        const QString title = "Größe – a b\n100% %41";
        const QString answer = start(title, dir);
        QVERIFY2(answer.contains(QRegularExpression("^second ok \\d{1,3}$")), qPrintable(answer));
        QTRY_COMPARE(logged(), QString("copy\n").repeated(9) + title + '\n');
    }
};

QTEST_GUILESS_MAIN(tst_SingleInstance)
#include "tst_SingleInstance.moc"
