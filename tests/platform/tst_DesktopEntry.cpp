#include "platform/start/DesktopEntry.h"
#include "tests/support/Rows.h"

#include <QtTest>

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

using namespace velkora;
using velkora::test::row;
using Links = QList<std::pair<QString, QString>>; // below applications/, and what each holds

// k/a leads to folder k+1, k/a-a to k+2 (0 is applications/), so folder n lies on about 1.6^n ways
// of splitting an id of n parts "a".
static Links chain(int parts)
{
    Links links;
    for (int k = 0; k <= parts; ++k) {
        const QString from = k ? QString("%1/").arg(k) : "", up = k ? "../" : "";
        links << std::pair(from + "a", up + QString::number(k + 1))
              << std::pair(from + "a-a", up + QString::number(k + 2));
    }
    return links;
}

static QString parts(int n, char separator)
{
    return QStringList(n, "a").join(separator);
}

class tst_DesktopEntry : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A walk of every way to read the "-" of a long id as folders would not end in the test's time.
    void lookup_data()
    {
        QTest::addColumn<Links>("links");
        QTest::addColumn<QString>("file"); // below applications/, its folders made with it
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("found"); // empty: nothing
        row("links back up are not followed, however long the id", Links {{"a", "."}, {"a-a", "."}},
            "x.desktop", parts(60, '-') + "-x.desktop", "");
        // 30 parts: the kernel follows at most 40 links in one path.
        row("links to other folders are followed, the shortest name first", chain(30),
            "30/x.desktop", parts(30, '-') + "-x.desktop", parts(30, '/') + "/x.desktop");
        row("a folder reached again with the same rest is not walked again", chain(60),
            "60/y.desktop", parts(60, '-') + "-x.desktop", "");
    }
    void lookup()
    {
        QFETCH(Links, links);
        QFETCH(QString, file);
        QFETCH(QString, id);
        QFETCH(QString, found);
        QTemporaryDir home;
        const QDir apps(home.filePath("applications"));
        const auto parent = [&apps](const QString &path) {
            return apps.mkpath(QFileInfo(apps.filePath(path)).path());
        };
        QVERIFY(parent(file) && QFile(apps.filePath(file)).open(QIODevice::WriteOnly));
        for (const auto &[name, target] : std::as_const(links))
            QVERIFY(parent(name)
                    && ::symlink(QFile::encodeName(target), QFile::encodeName(apps.filePath(name)))
                        == 0);
        qputenv("XDG_DATA_HOME", QFile::encodeName(home.path()));
        QCOMPARE(findDesktopFile(id), found.isEmpty() ? QString() : apps.filePath(found));
    }

    void sizeLimit_data()
    {
        QTest::addColumn<qint64>("size"); // of a valid entry that a comment fills up
        QTest::addColumn<bool>("fifo"); // a FIFO in its place instead, with no writer
        QTest::addColumn<int>("errorNumber");
        QTest::addColumn<EntryProblem>("problem");
        row("1 MiB is read", qint64(1 << 20), false, 0, EntryProblem::None);
        row("a byte more is refused as too large", qint64((1 << 20) + 1), false, EFBIG,
            EntryProblem::TooLarge);
        row("a FIFO is refused at once", qint64(0), true, ENOEXEC, EntryProblem::NotAnEntry);
    }
    void sizeLimit()
    {
        QFETCH(qint64, size);
        QTemporaryDir dir;
        QFile file(dir.filePath("big.desktop"));
        if (QFETCH(bool, fifo); fifo) {
            QVERIFY(::mkfifo(QFile::encodeName(file.fileName()), 0600) == 0);
        } else {
            QByteArray entry = "[Desktop Entry]\nType=Application\nExec=true\n#";
            entry += QByteArray(size - entry.size() - 1, 'x') + '\n';
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(entry) == size);
            file.close();
        }
        const DesktopEntry entry = readDesktopEntry(file.fileName());
        QTEST(entry.errorNumber, "errorNumber");
        QTEST(entry.problem, "problem");
    }
};

QTEST_GUILESS_MAIN(tst_DesktopEntry)
#include "tst_DesktopEntry.moc"
