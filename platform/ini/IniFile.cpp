#include "platform/ini/IniFile.h"

#include "platform/core/FileDescriptor.h"
#include "platform/core/Log.h"
#include "platform/core/NativePath.h"

#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <dirent.h>
#include <fcntl.h>
#include <linux/falloc.h>
#include <memory>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#include <utility>

namespace velkora {

namespace {

// Larger files count as unreadable: parsing them would only eat memory, and a
// save then fails instead of losing them.
constexpr qint64 MaxFileSize = 64 * 1024 * 1024;
constexpr int MaxLinkDepth = 40;
constexpr int LeftoverSeconds = 60;

} // namespace

QString IniIoStatus::toString() const
{
    return QStringLiteral("%1: errno %2 (%3)")
        .arg(QLatin1String(step))
        .arg(error)
        .arg(qt_error_string(error));
}

namespace {

IniIoStatus ioFailure(const char *step, int error = errno)
{
    return {error, step};
}

// The file a write must replace: a symbolic link is followed to its target,
// which may not exist yet (then *exists is false, else *st describes it).
// Empty on a loop or an unreadable link.
QByteArray writeTarget(const QByteArray &path, struct stat *st, bool *exists)
{
    QByteArray p = path;
    for (int depth = 0; depth < MaxLinkDepth; ++depth) {
        *exists = ::lstat(p.constData(), st) == 0;
        if (!*exists)
            return errno == ENOENT ? p : QByteArray();
        if (!S_ISLNK(st->st_mode))
            return p;
        QByteArray link(PATH_MAX, Qt::Uninitialized);
        const ssize_t n = ::readlink(p.constData(), link.data(), size_t(link.size()));
        if (n <= 0 || n >= link.size())
            return {};
        link.truncate(n);
        const qsizetype slash = p.lastIndexOf('/');
        p = link.startsWith('/') || slash < 0 ? link : p.first(slash + 1) + link;
    }
    return {};
}

// What a write replaces, and where its temporary file goes.
struct Target {
    QByteArray path; // the file itself, links followed
    QByteArray dir; // its folder with the final "/", empty for the current one
    QByteArray prefix; // the names of its temporary files start so
    struct stat old = {};
    bool exists = false;

    const char *folder() const { return dir.isEmpty() ? "." : dir.constData(); }
};

IniIoStatus findTarget(const QByteArray &path, Target *target)
{
    const struct stat &old = target->old;
    target->path = writeTarget(path, &target->old, &target->exists);
    if (target->path.isEmpty())
        return ioFailure("readlink", ELOOP);
    if (target->exists && !S_ISREG(old.st_mode))
        return ioFailure("stat", S_ISDIR(old.st_mode) ? EISDIR : EINVAL);
    // Root may write anything, but a file without a write bit is meant to stay.
    if (target->exists && (old.st_mode & 0222) == 0)
        return ioFailure("access", EACCES);
    if (target->exists && ::faccessat(AT_FDCWD, target->path.constData(), W_OK, AT_EACCESS) != 0)
        return ioFailure("access");
    const qsizetype slash = target->path.lastIndexOf('/');
    const QByteArrayView name = QByteArrayView(target->path).sliced(slash + 1);
    target->dir = target->path.first(slash + 1);
    target->prefix
        = '.' + name.first(std::min<qsizetype>(200, name.size())).toByteArray() + ".tmp-";
    return {};
}

bool writeAll(int fd, const char *data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        data += n;
        size -= size_t(n);
    }
    return true;
}

bool syncFd(int fd)
{
    int r;
    do {
        r = ::fsync(fd);
    } while (r != 0 && errno == EINTR);
    return r == 0;
}

// A write killed after its temporary file got a name (at its creation, or at
// linkat for an unnamed one) and before the rename leaves that file behind.
// The age spares a write that runs at this moment.
void removeLeftovers(const Target &target)
{
    const std::unique_ptr<DIR, int (*)(DIR *)> d(::opendir(target.folder()), ::closedir);
    if (!d)
        return;
    const time_t limit = ::time(nullptr) - LeftoverSeconds;
    while (const dirent *entry = ::readdir(d.get())) {
        struct stat st;
        if (QByteArrayView(entry->d_name).startsWith(target.prefix)
            && ::fstatat(::dirfd(d.get()), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0
            && S_ISREG(st.st_mode) && st.st_mtime < limit)
            ::unlinkat(::dirfd(d.get()), entry->d_name, 0);
    }
}

// The new content's file until it takes the target's place. Where the file
// system allows it, it has no name until it is complete (O_TMPFILE, then
// linkat), so that a kill before leaves nothing; else it is created under a
// hidden name beside the target. Whatever has not been renamed into place is
// removed when it goes.
class Temporary {
public:
    Temporary() = default;
    Temporary(const Temporary &) = delete;
    Temporary &operator=(const Temporary &) = delete;
    ~Temporary() { discard(); }

    int fd() const { return m_fd; }

    IniIoStatus create(const Target &target)
    {
        // A new file gets the usual mode (umask applies); a replaced one gets
        // its old mode later, and is private until then. linkat needs
        // /proc/self/fd: without it, unnamed files cannot be given a name.
        const mode_t mode = target.exists ? 0600 : 0666;
        if (::access("/proc/self/fd", X_OK) == 0) {
            m_fd = ::open(target.folder(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
            // Older kernels and some file systems have no unnamed files.
            if (m_fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL))
                return m_fd >= 0 ? IniIoStatus() : ioFailure("create");
        }
        return named(
            target,
            [&](const QByteArray &name) {
                m_fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY,
                              mode);
                return m_fd >= 0;
            },
            "create");
    }

    // Gives an unnamed file its name; a named one has it already.
    IniIoStatus link(const Target &target)
    {
        if (!m_name.isEmpty())
            return {};
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(m_fd);
        return named(
            target,
            [&](const QByteArray &name) {
                return ::linkat(AT_FDCWD, self.constData(), AT_FDCWD, name.constData(),
                                AT_SYMLINK_FOLLOW)
                    == 0;
            },
            "linkat");
    }

    IniIoStatus rename(const Target &target)
    {
        if (::rename(m_name.constData(), target.path.constData()) != 0)
            return ioFailure("rename");
        m_name.clear();
        return {};
    }

    void discard()
    {
        if (m_fd >= 0)
            ::close(std::exchange(m_fd, -1));
        if (!m_name.isEmpty())
            ::unlink(std::exchange(m_name, {}).constData());
    }

private:
    // Tries fresh random names until make takes one.
    template<typename Make> IniIoStatus named(const Target &target, Make make, const char *step)
    {
        for (int attempt = 0; attempt < 100; ++attempt) {
            const QByteArray name = target.dir + target.prefix
                + QByteArray::number(QRandomGenerator::global()->bounded(36 * 36 * 36 * 36), 36);
            if (make(name)) {
                m_name = name;
                return {};
            }
            if (errno != EEXIST)
                return ioFailure(step);
        }
        return ioFailure(step, EEXIST);
    }

    int m_fd = -1;
    QByteArray m_name;
};

// Puts the old content back after a failed write in place.
void restore(int fd, const Target &target, const QByteArray &old)
{
    if (::lseek(fd, 0, SEEK_SET) != 0 || !writeAll(fd, old.constData(), size_t(old.size()))
        || ::ftruncate(fd, old.size()) != 0 || !syncFd(fd))
        qCWarning(lcConfig, "cannot put back the old content of \"%s\": errno %d",
                  target.path.constData(), errno);
}

// The file where it stands, for when a replacement could not keep it as it
// is: its inode, and with it owner, group, mode and hard links, stays. Room
// for the new content is reserved first (FALLOC_FL_KEEP_SIZE: posix_fallocate
// would grow the file with NULs), so that a full disk stops the save before
// the first byte changes; should a write fail all the same, the old bytes go
// back. Only a kill between the write and the truncation leaves a mixed file.
IniIoStatus writeInPlace(const Target &target, const QByteArray &bytes, const char *why)
{
    const FileDescriptor fd(
        ::open(target.path.constData(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK));
    struct stat st;
    QByteArray old;
    if (fd.get() < 0)
        return ioFailure("open");
    if (::fstat(fd.get(), &st) != 0)
        return ioFailure("fstat");
    if (!S_ISREG(st.st_mode) || st.st_ino != target.old.st_ino || st.st_dev != target.old.st_dev)
        return ioFailure("open", EAGAIN); // replaced meanwhile
    if (!readToEnd(fd.get(), st.st_size, MaxFileSize, &old))
        return ioFailure("read");
    if (!bytes.isEmpty() && ::fallocate(fd.get(), FALLOC_FL_KEEP_SIZE, 0, bytes.size()) != 0
        && errno != EOPNOTSUPP && errno != ENOSYS)
        return ioFailure("fallocate");
    qCInfo(lcConfig, "writing \"%s\" in place: %s", target.path.constData(), why);
    IniIoStatus status;
    if (::lseek(fd.get(), 0, SEEK_SET) != 0
        || !writeAll(fd.get(), bytes.constData(), size_t(bytes.size())))
        status = ioFailure("write");
    else if (::ftruncate(fd.get(), bytes.size()) != 0)
        status = ioFailure("ftruncate");
    else if (!syncFd(fd.get()))
        status = ioFailure("fsync");
    if (!status.ok())
        restore(fd.get(), target, old);
    return status;
}

// The new file is in place; a folder that cannot be synced leaves it there,
// only less sure to survive a power cut.
void syncFolder(const Target &target)
{
    const FileDescriptor folder(::open(target.folder(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0 || (!syncFd(folder.get()) && errno != EINVAL))
        qCWarning(lcConfig, "cannot sync the folder of \"%s\": errno %d", target.path.constData(),
                  errno);
}

} // namespace

IniIoStatus readIniFile(const QString &path, IniDocument &document)
{
    document = IniDocument();
    // O_NONBLOCK keeps a FIFO put in place of the file from blocking the open.
    const FileDescriptor fd(
        ::open(pathToNative(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.get() < 0)
        return errno == ENOENT ? IniIoStatus() : ioFailure("open");
    struct stat st;
    if (::fstat(fd.get(), &st) != 0)
        return ioFailure("fstat");
    if (!S_ISREG(st.st_mode))
        return ioFailure("open", S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    if (st.st_size > MaxFileSize)
        return ioFailure("read", EFBIG);
    QByteArray bytes;
    if (!readToEnd(fd.get(), st.st_size, MaxFileSize, &bytes))
        return ioFailure("read");
    document = IniDocument::fromBytes(bytes);
    return {};
}

IniIoStatus writeIniFile(const QString &path, const IniDocument &document)
{
    return replaceFile(path, document.toBytes());
}

IniIoStatus replaceFile(const QString &path, const QByteArray &bytes)
{
    Target target;
    if (const IniIoStatus refused = findTarget(pathToNative(path), &target); !refused.ok())
        return refused;
    Temporary temp;
    IniIoStatus status = temp.create(target);
    // Only the file itself can keep what a new file would not get.
    if (!status.ok() && target.exists && (status.error == EACCES || status.error == EPERM))
        return writeInPlace(target, bytes, "its folder takes no new file");
    if (status.ok() && target.exists
        && ::fchown(temp.fd(), target.old.st_uid, target.old.st_gid) != 0) {
        temp.discard();
        return writeInPlace(target, bytes, "a new file could not get its owner and group");
    }
    if (status.ok() && target.exists && ::fchmod(temp.fd(), target.old.st_mode & 07777) != 0)
        status = ioFailure("fchmod");
    if (status.ok() && !writeAll(temp.fd(), bytes.constData(), size_t(bytes.size())))
        status = ioFailure("write");
    if (status.ok() && !syncFd(temp.fd()))
        status = ioFailure("fsync");
    if (status.ok())
        status = temp.link(target);
    if (status.ok())
        status = temp.rename(target);
    if (!status.ok())
        return status;
    syncFolder(target);
    removeLeftovers(target);
    return status;
}

} // namespace velkora
