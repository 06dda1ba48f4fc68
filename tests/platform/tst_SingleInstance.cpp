#include "platform/session/SingleInstance.h"

#include <QtTest>

enum class Folder { Missing, Private, OpenToOthers, Link };

// Copies as processes: tests/reliability/single_race.sh.
class tst_SingleInstance : public QObject {
    Q_OBJECT
    static void row(const char *name, const auto &...v) { (QTest::newRow(name) << ... << v); }

private Q_SLOTS:
    // The lock goes nowhere another user could have made first or could swap.
    void folder_data()
    {
        QTest::addColumn<Folder>("runtime"); // $XDG_RUNTIME_DIR
        QTest::addColumn<Folder>("cache"); // ~/.cache
        QTest::addColumn<QString>("cacheHome"); // $XDG_CACHE_HOME
        QTest::addColumn<QString>("expected"); // empty: the guard is off
        const QString none, cache = "home/.cache/velkora";
        row("a private runtime folder", Folder::Private, Folder::Missing, none, QString("run"));
        row("an open runtime folder", Folder::OpenToOthers, Folder::Missing, none, cache);
        row("a runtime folder behind a link", Folder::Link, Folder::Private, none, cache);
        row("a cache home outside home", Folder::Missing, Folder::Missing, QString("tmp"), cache);
        row("a cache behind a link", Folder::Missing, Folder::Link, none, none);
        row("a cache others may write", Folder::Missing, Folder::OpenToOthers, none, none);
    }
    void folder()
    {
        QTemporaryDir dir;
        const auto make = [&dir](const QString &name, Folder kind) {
            const QString path = dir.filePath(name);
            const QFile::Permissions mode(kind == Folder::OpenToOthers ? 0x0777 : 0x0700);
            if (kind == Folder::Link)
                return QDir().mkdir(path + "-target", mode) && QFile::link(path + "-target", path);
            return kind == Folder::Missing
                || (QDir().mkdir(path) && QFile::setPermissions(path, mode));
        };
        QFETCH(Folder, runtime);
        QFETCH(Folder, cache);
        QFETCH(QString, cacheHome);
        QVERIFY(make("home", Folder::Private) && make("run", runtime)
                && make("home/.cache", cache));
        qputenv("HOME", QFile::encodeName(dir.filePath("home")));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir.filePath("run")));
        qputenv("XDG_CACHE_HOME",
                QFile::encodeName(cacheHome.isEmpty() ? cacheHome : dir.filePath(cacheHome)));
        const QString folder = velkora::privateRuntimeFolder();
        QTEST(folder.isEmpty() ? folder : QDir(dir.path()).relativeFilePath(folder), "expected");
    }
};

QTEST_GUILESS_MAIN(tst_SingleInstance)
#include "tst_SingleInstance.moc"
