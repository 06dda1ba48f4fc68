#include "platform/session/SingleInstance.h"
#include "tests/support/Rows.h"

#include <QtTest>

#include <pwd.h>

enum class Folder { Missing, Private, OpenToOthers, Link };

struct Place {
    Folder runtime = Folder::Missing; // $XDG_RUNTIME_DIR
    Folder cache = Folder::Missing; // ~/.cache
    QString cacheHome = {}; // $XDG_CACHE_HOME
    bool bareSession = false; // neither HOME nor XDG_RUNTIME_DIR set
    QString expected = {}; // empty: the guard is off
};
Q_DECLARE_METATYPE(Place)

// The passwd entry of this test's user, with a home of the test's own: where a
// session without HOME finds its folders.
static QByteArray passwdHome;
extern "C" passwd *getpwuid(uid_t uid)
{
    static passwd entry;
    entry = passwd {};
    entry.pw_uid = uid;
    entry.pw_dir = passwdHome.data();
    return &entry;
}

// Copies as processes: tests/reliability/single_race.sh.
class tst_SingleInstance : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The lock goes nowhere another user could have made first or could swap.
    void folder_data()
    {
        QTest::addColumn<Place>("place");
        const velkora::test::RowsOf<Place> row;
        const QString cache = "home/.cache/velkora";
        row("a private runtime folder", {.runtime = Folder::Private, .expected = "run"});
        row("an open runtime folder", {.runtime = Folder::OpenToOthers, .expected = cache});
        row("a runtime folder behind a link",
            {.runtime = Folder::Link, .cache = Folder::Private, .expected = cache});
        row("a cache home outside home", {.cacheHome = "tmp", .expected = cache});
        row("a cache behind a link", {.cache = Folder::Link});
        row("a cache others may write", {.cache = Folder::OpenToOthers});
        // A session started without its variables: QDir::homePath() says "/".
        row("no HOME, no runtime folder: the home of the passwd entry",
            {.bareSession = true, .expected = cache});
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
        QFETCH(Place, place);
        QVERIFY(make("home", Folder::Private) && make("run", place.runtime)
                && make("home/.cache", place.cache));
        passwdHome = QFile::encodeName(dir.filePath("home"));
        qputenv("HOME", passwdHome);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir.filePath("run")));
        if (place.bareSession) {
            qunsetenv("HOME");
            qunsetenv("XDG_RUNTIME_DIR");
        }
        qputenv("XDG_CACHE_HOME",
                QFile::encodeName(place.cacheHome.isEmpty() ? place.cacheHome
                                                            : dir.filePath(place.cacheHome)));
        const QString folder = velkora::privateRuntimeFolder();
        QCOMPARE(folder.isEmpty() ? folder : QDir(dir.path()).relativeFilePath(folder),
                 place.expected);
    }
};

QTEST_GUILESS_MAIN(tst_SingleInstance)
#include "tst_SingleInstance.moc"
