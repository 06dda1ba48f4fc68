#include "SingleInstance.h"

#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <vector>

namespace {

const QString Key = QStringLiteral("Velkora-0123456789abcdef");

} // namespace

// Every copy is a real process (single_probe), each test with its own
// private runtime folder.
class tst_SingleInstance : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void secondCopyAsksFirst_data();
    void secondCopyAsksFirst();
    void manyCopiesAtOnce();
    void killedFirstCopy();
    void leftovers_data();
    void leftovers();
    void badPeer_data();
    void badPeer();
    void unsafeRuntimeFolder_data();
    void unsafeRuntimeFolder();

private:
    QProcess *start(const QString &title, const QString &log, const QString &runtimeDir = {},
                    const QString &key = Key);
    QString askFirst(const QString &title, const QString &runtimeDir = {});
    QStringList loggedTitles(const QString &log) const;
    static QString readLine(QProcess *process);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_log;
    QProcessEnvironment m_env;
    std::vector<std::unique_ptr<QProcess>> m_processes;
};

void tst_SingleInstance::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QFile::setPermissions(
        m_dir->path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    m_log = m_dir->filePath(QStringLiteral("requests.log"));
    m_env = QProcessEnvironment::systemEnvironment();
}

void tst_SingleInstance::cleanup()
{
    for (const auto &process : m_processes) {
        process->kill();
        process->waitForFinished(5000);
    }
    m_processes.clear();
    m_dir.reset();
}

QProcess *tst_SingleInstance::start(const QString &title, const QString &log,
                                    const QString &runtimeDir, const QString &key)
{
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(m_env);
    process->start(QStringLiteral(SINGLE_PROBE),
                   {runtimeDir.isEmpty() ? m_dir->path() : runtimeDir, key, title, log});
    m_processes.push_back(std::move(process));
    return m_processes.back().get();
}

QString tst_SingleInstance::readLine(QProcess *process)
{
    while (!process->canReadLine() && process->waitForReadyRead(5000)) { }
    return QString::fromUtf8(process->readLine()).trimmed();
}

QString tst_SingleInstance::askFirst(const QString &title, const QString &runtimeDir)
{
    QProcess *second = start(title, m_log, runtimeDir);
    const bool finished = second->waitForFinished(5000);
    const QString line = readLine(second);
    return finished && second->exitCode() == 0 ? line : QStringLiteral("hung: ") + line;
}

QStringList tst_SingleInstance::loggedTitles(const QString &log) const
{
    QFile file(log);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList titles;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (!line.isEmpty())
            titles << QString::fromUtf8(QByteArray::fromPercentEncoding(line));
    }
    return titles;
}

void tst_SingleInstance::secondCopyAsksFirst_data()
{
    QTest::addColumn<QString>("title");
    QTest::newRow("plain") << QStringLiteral("Velkora");
    QTest::newRow("umlauts and dash") << QStringLiteral("Größe – Übersicht");
    QTest::newRow("blanks and line break") << QStringLiteral("a b\nc d");
    QTest::newRow("percent signs") << QStringLiteral("100% %41");
    QTest::newRow("empty") << QString();
}

void tst_SingleInstance::secondCopyAsksFirst()
{
    QFETCH(QString, title);
    QProcess *first = start(QStringLiteral("first"), m_log);
    QVERIFY(readLine(first).startsWith(QLatin1String("first ")));

    QVERIFY(askFirst(title).startsWith(QLatin1String("second ok ")));
    // An empty title is logged as an empty line, which the reader skips.
    const QStringList expected = title.isEmpty() ? QStringList() : QStringList {title};
    QTRY_COMPARE(loggedTitles(m_log), expected);
    QCOMPARE(first->state(), QProcess::Running);
    QVERIFY(askFirst(QStringLiteral("again")).startsWith(QLatin1String("second ok ")));
}

void tst_SingleInstance::manyCopiesAtOnce()
{
    for (int round = 0; round < 4; ++round) {
        const QString key = Key + QString::number(round);
        const QString log = m_dir->filePath(QStringLiteral("round%1.log").arg(round));
        std::vector<QProcess *> copies;
        for (int i = 0; i < 10; ++i)
            copies.push_back(start(QStringLiteral("copy %1").arg(i), log, {}, key));
        int firsts = 0;
        int answered = 0;
        for (QProcess *copy : copies) {
            const QString line = readLine(copy);
            firsts += line.startsWith(QLatin1String("first "));
            answered += line.startsWith(QLatin1String("second ok "));
        }
        QCOMPARE(firsts, 1);
        QCOMPARE(answered, 9);
        QTRY_COMPARE(loggedTitles(log).size(), 9);
    }
}

void tst_SingleInstance::killedFirstCopy()
{
    QProcess *first = start(QStringLiteral("first"), m_log);
    QVERIFY(readLine(first).startsWith(QLatin1String("first ")));
    for (int round = 0; round < 20; ++round) {
        first->kill();
        QVERIFY(first->waitForFinished(5000));
        first = start(QStringLiteral("next"), m_log);
        const QString line = readLine(first);
        QVERIFY2(line.startsWith(QLatin1String("first ")), qPrintable(line));
    }
    QVERIFY(askFirst(QStringLiteral("Velkora")).startsWith(QLatin1String("second ok ")));
}

void tst_SingleInstance::leftovers_data()
{
    QTest::addColumn<QByteArray>("lockContent");
    QTest::addColumn<int>("lockAgeSeconds");
    QTest::addColumn<bool>("socketIsPlainFile");
    QTest::addColumn<bool>("expectFirst");
    QTest::newRow("empty lock file, old") << QByteArray("") << 60 << false << true;
    QTest::newRow("garbage lock file, old") << QByteArray("not a lock\n") << 60 << false << true;
    // Could be a first copy that has created the file but not yet written it.
    QTest::newRow("empty lock file, fresh") << QByteArray("") << 0 << false << false;
    QTest::newRow("plain file at the socket's place") << QByteArray() << 0 << true << true;
}

void tst_SingleInstance::leftovers()
{
    QFETCH(QByteArray, lockContent);
    QFETCH(int, lockAgeSeconds);
    QFETCH(bool, socketIsPlainFile);
    QFETCH(bool, expectFirst);
    const velkora::SingleInstance paths(Key, nullptr, m_dir->path());
    if (!lockContent.isNull()) {
        QFile lock(paths.lockPath());
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write(lockContent);
        QVERIFY(lock.flush());
        QVERIFY(lock.setFileTime(QDateTime::currentDateTime().addSecs(-lockAgeSeconds),
                                 QFileDevice::FileModificationTime));
    }
    if (socketIsPlainFile) {
        QFile socket(paths.socketPath());
        QVERIFY(socket.open(QIODevice::WriteOnly));
    }

    QProcess *copy = start(QStringLiteral("first"), m_log);
    const QString line = readLine(copy);
    if (!expectFirst) {
        QVERIFY2(line.startsWith(QLatin1String("second unanswered ")), qPrintable(line));
        return;
    }
    QVERIFY2(line.startsWith(QLatin1String("first ")), qPrintable(line));
    QVERIFY(askFirst(QStringLiteral("Velkora")).startsWith(QLatin1String("second ok ")));
    QTRY_COMPARE(loggedTitles(m_log), QStringList {QStringLiteral("Velkora")});
}

void tst_SingleInstance::badPeer_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::newRow("silent") << QByteArray();
    QTest::newRow("garbage line") << QByteArray("hello\n");
    QTest::newRow("unknown verb") << QByteArray("raise Velkora\n");
    QTest::newRow("raw blank in title") << QByteArray("activate a b\n");
    QTest::newRow("invalid UTF-8") << QByteArray("activate %FF%FE\n");
    QTest::newRow("endless line") << QByteArray(100000, 'a');
}

void tst_SingleInstance::badPeer()
{
    QFETCH(QByteArray, request);
    QProcess *first = start(QStringLiteral("first"), m_log);
    QVERIFY(readLine(first).startsWith(QLatin1String("first ")));

    QLocalSocket peer;
    peer.connectToServer(velkora::SingleInstance(Key, nullptr, m_dir->path()).socketPath());
    QVERIFY(peer.waitForConnected(5000));
    peer.write(request);
    peer.flush();

    // The bad peer is still connected (or its data still pending) here.
    QVERIFY(askFirst(QStringLiteral("Velkora")).startsWith(QLatin1String("second ok ")));
    QVERIFY(peer.state() == QLocalSocket::UnconnectedState || peer.waitForDisconnected(5000));
    QVERIFY(!peer.readAll().contains("ok"));
    QCOMPARE(loggedTitles(m_log), QStringList {QStringLiteral("Velkora")});
}

void tst_SingleInstance::unsafeRuntimeFolder_data()
{
    QTest::addColumn<int>("permissions");
    QTest::addColumn<QString>("kind");
    const int owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
    const int group = QFileDevice::ReadGroup | QFileDevice::ExeGroup;
    const int others = QFileDevice::ReadOther | QFileDevice::ExeOther;
    QTest::newRow("mode 0755") << (owner | group | others) << QStringLiteral("folder");
    QTest::newRow("mode 0750") << (owner | group) << QStringLiteral("folder");
    QTest::newRow("mode 0777") << (owner | group | others | QFileDevice::WriteGroup
                                   | QFileDevice::WriteOther)
                               << QStringLiteral("folder");
    QTest::newRow("mode 0500") << int(QFileDevice::ReadOwner | QFileDevice::ExeOwner)
                               << QStringLiteral("folder");
    QTest::newRow("plain file") << owner << QStringLiteral("file");
    QTest::newRow("missing") << owner << QStringLiteral("missing");
}

void tst_SingleInstance::unsafeRuntimeFolder()
{
    QFETCH(int, permissions);
    QFETCH(QString, kind);
    const QString bad = m_dir->filePath(QStringLiteral("bad"));
    const QString good = m_dir->filePath(QStringLiteral("good"));
    QVERIFY(QDir().mkdir(good));
    QVERIFY(QFile::setPermissions(
        good, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    if (kind == QLatin1String("folder"))
        QVERIFY(QDir().mkdir(bad));
    else if (kind == QLatin1String("file"))
        QVERIFY(QFile(bad).open(QIODevice::WriteOnly));
    if (kind != QLatin1String("missing"))
        QVERIFY(QFile::setPermissions(bad, QFileDevice::Permissions(permissions)));
    m_env.insert(QStringLiteral("XDG_RUNTIME_DIR"), good);

    QProcess *first = start(QStringLiteral("first"), m_log, bad);
    const QString line = readLine(first);
    QVERIFY2(line.startsWith(QLatin1String("first ") + good + QLatin1Char('/')), qPrintable(line));
    // Copies handed the same unsafe folder still find each other.
    QVERIFY(askFirst(QStringLiteral("Velkora"), bad).startsWith(QLatin1String("second ok ")));
    if (kind == QLatin1String("folder"))
        QVERIFY(QDir(bad).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System
                                  | QDir::NoDotAndDotDot));
    QVERIFY(QFile::setPermissions(
                bad, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner)
            || kind == QLatin1String("missing"));
}

QTEST_GUILESS_MAIN(tst_SingleInstance)
#include "tst_SingleInstance.moc"
