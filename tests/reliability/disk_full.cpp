// Writes into a small tmpfs while its free space is swept across the size of
// the file, and through symbolic links that cross file systems. Needs root
// (to mount); says SKIP and returns 77 otherwise.
//
//   rel_disk_full [step bytes]
//
// For every amount of free space: a write that fails returns false and leaves
// the file byte for byte as it was; a write that reports success left the
// whole new file; no temporary file stays either way; no write hangs (each
// runs in a child with a time limit). Writes with plenty of room must succeed.
#include "IniFile.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

using velkora::IniFile::readValue;
using velkora::IniFile::writeValue;

namespace {

constexpr int Skip = 77;
int g_failures = 0;

void fail(const QString &what)
{
    ++g_failures;
    std::printf("FAIL %s\n", qPrintable(what));
}

QByteArray slurp(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

bool spit(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size()
        && f.flush();
}

qint64 freeBytes(const QString &dir)
{
    struct statvfs s;
    if (::statvfs(QFile::encodeName(dir).constData(), &s) != 0)
        return -1;
    return qint64(s.f_bavail) * qint64(s.f_bsize);
}

// Takes all but `leave` bytes of the file system; allocation is by pages, so
// the amount left is rounded down to a page.
bool fill(const QString &filler, qint64 leave)
{
    QFile::remove(filler);
    const qint64 take = freeBytes(QFileInfo(filler).path()) - leave;
    const int fd = ::open(QFile::encodeName(filler).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0)
        return false;
    const int r = take > 0 ? ::posix_fallocate(fd, 0, off_t(take)) : 0;
    ::close(fd);
    return r == 0;
}

// 0: true, 1: false, 2: hung (killed after the limit), 3: died.
int writeInChild(const QString &file, const QString &section, const QString &key,
                 const QString &value)
{
    std::fflush(stdout);
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(writeValue(file, section, key, value) ? 0 : 1);
    for (int waited = 0; waited < 2000; ++waited) { // 20 s
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) && WEXITSTATUS(status) <= 1 ? WEXITSTATUS(status) : 3;
        const timespec tick{0, 10'000'000};
        ::nanosleep(&tick, nullptr);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return 2;
}

QStringList strays(const QString &dir, const QStringList &known)
{
    QStringList list = QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString &k : known)
        list.removeAll(k);
    return list;
}

QByteArray bigIni()
{
    QByteArray ini = "; von Hand\r\n";
    for (int i = 0; i < 31; ++i)
        ini += "[" + QByteArray::number(i) + "]\r\nDATEI=/opt/werkzeug/" + QByteArray(600, char('a' + i % 26))
            + "\r\nName=Gr\xc3\xb6\xc3\x9f" "e " + QByteArray::number(i) + "\r\nZEIT=" + QByteArray::number(i + 2)
            + "\r\n";
    return ini;
}

void sweep(const QString &mount, qint64 step)
{
    const QString file = mount + QStringLiteral("/Velkora.ini");
    const QString filler = mount + QStringLiteral("/filler");
    const QByteArray original = bigIni();
    const QString newValue = QStringLiteral("/opt/neu/") + QString(900, QLatin1Char('n'));
    const qint64 newSize = original.size() - qint64(sizeof("/opt/werkzeug/") - 1 + 600) + newValue.size();

    int points = 0, succeeded = 0, refused = 0;
    qint64 largestRefused = -1, smallestSucceeded = -1;
    for (qint64 leave = 0; leave <= newSize + 4 * 4096; leave += step) {
        QFile::remove(filler);
        if (!spit(file, original) || !fill(filler, leave)) {
            fail(QStringLiteral("disk full: cannot set up %1 bytes free").arg(leave));
            continue;
        }
        const qint64 reallyFree = freeBytes(mount);
        ++points;
        const int r = writeInChild(file, QStringLiteral("15"), QStringLiteral("DATEI"), newValue);
        const QByteArray now = slurp(file);
        const QStringList left = strays(mount, {QStringLiteral("Velkora.ini"), QStringLiteral("filler")});
        const QString at = QStringLiteral("disk full, %1 bytes free: ").arg(reallyFree);
        if (r >= 2)
            fail(at + (r == 2 ? QStringLiteral("write hung") : QStringLiteral("writer died")));
        if (r == 1) {
            ++refused;
            largestRefused = std::max(largestRefused, reallyFree);
            if (now != original)
                fail(at + QStringLiteral("refused write changed the file (%1 -> %2 bytes)")
                              .arg(original.size())
                              .arg(now.size()));
        }
        if (r == 0) {
            ++succeeded;
            if (smallestSucceeded < 0 || reallyFree < smallestSucceeded)
                smallestSucceeded = reallyFree;
            if (now.size() != newSize || readValue(file, QStringLiteral("15"), QStringLiteral("DATEI")) != newValue
                || readValue(file, QStringLiteral("30"), QStringLiteral("ZEIT")) != QStringLiteral("32"))
                fail(at + QStringLiteral("write said true but the file is %1 bytes").arg(now.size()));
        }
        if (!left.isEmpty())
            fail(at + QStringLiteral("left behind: ") + left.join(QLatin1Char(' ')));
        // Plenty of room (the new file and two pages more) must not be refused.
        if (r == 1 && reallyFree >= newSize + 2 * 4096)
            fail(at + QStringLiteral("refused although there was room"));
    }
    QFile::remove(filler);
    std::printf("RESULT disk_full: file %lld -> %lld bytes, free space swept 0..%lld in %lld-byte "
                "steps: points=%d refused=%d succeeded=%d largest-free-refused=%lld "
                "smallest-free-succeeded=%lld\n",
                qlonglong(original.size()), qlonglong(newSize), qlonglong(newSize + 4 * 4096),
                qlonglong(step), points, refused, succeeded, qlonglong(largestRefused),
                qlonglong(smallestSucceeded));
}

// A link on one file system, its target on the other: the new file must be
// made beside the target (a rename cannot cross file systems), the link stays.
void crossLink(const QString &linkDir, const QString &targetDir, const char *label)
{
    const QString link = linkDir + QStringLiteral("/Velkora.ini");
    const QString target = targetDir + QStringLiteral("/echt.ini");
    QFile::remove(link);
    if (!spit(target, "[0]\nDATEI=alt\n[x]\ny=1\n")
        || ::chmod(QFile::encodeName(target).constData(), 0640) != 0
        || ::symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()) != 0) {
        fail(QStringLiteral("%1: setup").arg(QLatin1String(label)));
        return;
    }
    const int r = writeInChild(link, QStringLiteral("0"), QStringLiteral("Name"), QStringLiteral("Grüße €"));
    struct stat ls, ts;
    const bool stillLink = ::lstat(QFile::encodeName(link).constData(), &ls) == 0 && S_ISLNK(ls.st_mode);
    const bool modeKept = ::stat(QFile::encodeName(target).constData(), &ts) == 0 && (ts.st_mode & 07777) == 0640;
    const QByteArray content = slurp(target);
    const QStringList left = strays(linkDir, {QStringLiteral("Velkora.ini")})
        + strays(targetDir, {QStringLiteral("echt.ini"), QStringLiteral("Velkora.ini")});
    const bool ok = r == 0 && stillLink && modeKept
        && content == "[0]\nDATEI=alt\nName=Grüße €\n[x]\ny=1\n" && left.isEmpty();
    if (!ok)
        fail(QStringLiteral("%1: result %2, link kept %3, mode kept %4, left %5, content %6")
                 .arg(QLatin1String(label))
                 .arg(r)
                 .arg(stillLink)
                 .arg(modeKept)
                 .arg(left.join(QLatin1Char(' ')), QString::fromUtf8(content)));
    std::printf("RESULT cross_fs_link %s: %s\n", label, ok ? "written through, link and mode 0640 kept" : "FAILED");
    QFile::remove(link);
    QFile::remove(target);
}

// Root may write any file; the point is that the owner and mode survive.
void foreignOwner(const QString &dir)
{
    if (!::getpwnam("velkora-other"))
        (void)std::system("useradd -r -M -s /usr/sbin/nologin velkora-other >/dev/null 2>&1");
    const passwd *other = ::getpwnam("velkora-other");
    if (!other) {
        std::printf("SKIP foreign owner: no user velkora-other\n");
        return;
    }
    const QString file = dir + QStringLiteral("/fremd.ini");
    spit(file, "[0]\nDATEI=alt\n");
    const QByteArray native = QFile::encodeName(file);
    if (::chown(native.constData(), other->pw_uid, other->pw_gid) != 0 || ::chmod(native.constData(), 0640) != 0) {
        fail(QStringLiteral("foreign owner: setup"));
        return;
    }
    const int r = writeInChild(file, QStringLiteral("0"), QStringLiteral("DATEI"), QStringLiteral("neu"));
    struct stat st;
    const bool kept = ::stat(native.constData(), &st) == 0 && st.st_uid == other->pw_uid
        && st.st_gid == other->pw_gid && (st.st_mode & 07777) == 0640;
    if (r != 0 || !kept)
        fail(QStringLiteral("foreign owner: result %1, owner and mode kept %2").arg(r).arg(kept));
    std::printf("RESULT foreign_owner: root wrote the file of velkora-other (%s), owner/group/0640 %s\n",
                r == 0 ? "true" : "false", kept ? "kept" : "LOST");
    QFile::remove(file);
}

} // namespace

int main(int argc, char *argv[])
{
    const qint64 step = argc > 1 ? QByteArray(argv[1]).toLongLong() : 2048;
    if (::geteuid() != 0) {
        std::printf("SKIP disk_full: needs root to mount a small tmpfs\n");
        return Skip;
    }
    QTemporaryDir disk(QDir::currentPath() + QStringLiteral("/disk-full-XXXXXX"));
    if (!disk.isValid())
        return 2;
    const QString mount = disk.filePath(QStringLiteral("small"));
    const QString onDisk = disk.filePath(QStringLiteral("disk"));
    QDir().mkpath(mount);
    QDir().mkpath(onDisk);
    if (::mount("tmpfs", QFile::encodeName(mount).constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                "size=256k,mode=0755")
        != 0) {
        std::printf("SKIP disk_full: cannot mount a tmpfs here (%s)\n", std::strerror(errno));
        return Skip;
    }
    sweep(mount, step);
    crossLink(onDisk, mount, "disk->tmpfs");
    crossLink(mount, onDisk, "tmpfs->disk");
    foreignOwner(onDisk);
    ::umount2(QFile::encodeName(mount).constData(), MNT_DETACH);
    std::printf("%s disk_full: %d failure(s)\n", g_failures ? "FAILED" : "PASSED", g_failures);
    return g_failures ? 1 : 0;
}
