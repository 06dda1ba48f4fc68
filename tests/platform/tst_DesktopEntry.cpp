#include "platform/start/DesktopEntry.h"

#include <QtTest>

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

using namespace velkora;

// Folders, symbolic links and files under $XDG_DATA_HOME/applications, and what an id finds.
struct Layout {
    QStringList folders {}; // made in this order
    QList<std::pair<QString, QString>> links {}; // name, and its target as the link holds it
    QStringList files {};
    QString id {};
    QString found {}; // below applications/; empty: nothing
};
Q_DECLARE_METATYPE(Layout)

// a-a-...-a-x.desktop through links from each folder to the next two: <k>/a leads to folder k+1,
// <k>/a-a to k+2, so the last folder lies on about 1.6^parts ways of splitting the id.
static Layout chain(int parts, const QString &file)
{
    const QString as = QStringList(parts, "a").join('-');
    Layout layout {.files = {QString("%1/%2").arg(parts).arg(file)}, .id = as + "-x.desktop"};
    for (int k = 0; k <= parts; ++k) {
        const QString from = k == 0 ? "" : QString("%1/").arg(k), up = k == 0 ? "" : "../";
        layout.folders << QString::number(k + 1);
        layout.links << std::pair(from + "a", up + QString::number(k + 1))
                     << std::pair(from + "a-a", up + QString::number(k + 2));
    }
    return layout;
}

class tst_DesktopEntry : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { qputenv("XDG_DATA_DIRS", "/nonexistent"); }

    // A walk of every way to read the "-" of a long id as folders would not end in the test's
    // time; loops of links are not followed at all.
    void lookup_data()
    {
        QTest::addColumn<Layout>("layout");
        const QString many = QStringList(60, "a").join('-');
        QTest::newRow("'-' stands for subfolders, one in the other")
            << Layout {.folders = {"vendor", "vendor/sub"},
                       .files = {"vendor/sub/x-y.desktop"},
                       .id = "vendor-sub-x-y.desktop",
                       .found = "vendor/sub/x-y.desktop"};
        QTest::newRow("links back up are not followed, however long the id") << Layout {
            .links = {{"a", "."}, {"a-a", "."}}, .files = {"x.desktop"}, .id = many + "-x.desktop"};
        // 30 parts: the kernel follows at most 40 links in one path.
        Layout found = chain(30, "x.desktop");
        found.found = QStringList(30, "a").join('/') + "/x.desktop";
        QTest::newRow("links to other folders are followed, the shortest name first") << found;
        QTest::newRow("a folder reached again with the same rest is not walked again")
            << chain(60, "y.desktop");
    }
    void lookup()
    {
        QFETCH(Layout, layout);
        QTemporaryDir home;
        const QDir apps(home.filePath("applications"));
        QVERIFY(apps.mkpath("."));
        for (const QString &folder : std::as_const(layout.folders))
            QVERIFY(apps.mkdir(folder));
        for (const auto &[name, target] : std::as_const(layout.links))
            QVERIFY(::symlink(QFile::encodeName(target), QFile::encodeName(apps.filePath(name)))
                    == 0);
        for (const QString &file : std::as_const(layout.files))
            QVERIFY(QFile(apps.filePath(file)).open(QIODevice::WriteOnly));
        qputenv("XDG_DATA_HOME", QFile::encodeName(home.path()));
        QCOMPARE(findDesktopFile(layout.id),
                 layout.found.isEmpty() ? QString() : apps.filePath(layout.found));
    }

    void sizeLimit_data()
    {
        QTest::addColumn<qint64>("size"); // of a valid entry that comment lines fill up
        QTest::addColumn<bool>("fifo"); // a FIFO in its place instead, with no writer
        QTest::addColumn<int>("errorNumber");
        QTest::addColumn<int>("problem");
        QTest::newRow("1 MiB is read") << qint64(1 << 20) << false << 0 << int(EntryProblem::None);
        QTest::newRow("a byte more is refused as too large")
            << qint64((1 << 20) + 1) << false << EFBIG << int(EntryProblem::TooLarge);
        QTest::newRow("a FIFO is refused at once")
            << qint64(0) << true << ENOEXEC << int(EntryProblem::NotAnEntry);
    }
    void sizeLimit()
    {
        QFETCH(qint64, size);
        QTemporaryDir dir;
        const QString path = dir.filePath("big.desktop");
        if (QFETCH(bool, fifo); fifo) {
            QVERIFY(::mkfifo(QFile::encodeName(path), 0600) == 0);
        } else {
            QByteArray entry = "[Desktop Entry]\nType=Application\nExec=true\n#";
            entry += QByteArray(size - entry.size() - 1, 'x') + '\n';
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(entry) == size);
        }
        const DesktopEntry entry = readDesktopEntry(path);
        QTEST(entry.errorNumber, "errorNumber");
        QTEST(int(entry.problem), "problem");
    }
};

QTEST_GUILESS_MAIN(tst_DesktopEntry)
#include "tst_DesktopEntry.moc"
