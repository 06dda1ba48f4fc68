#pragma once

#include <QByteArray>

#include <utility>

#include <unistd.h>

namespace velkora {

/// Owns a file descriptor from open() and closes it at the end of its scope;
/// a negative one is the failed open, whose errno is still to be read.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1)
        : m_fd(fd)
    { }
    FileDescriptor(FileDescriptor &&other) noexcept
        : m_fd(std::exchange(other.m_fd, -1))
    { }
    FileDescriptor &operator=(FileDescriptor &&) = delete;
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    [[nodiscard]] int get() const { return m_fd; }
    [[nodiscard]] bool valid() const { return m_fd >= 0; }
    /// Hands the descriptor on: its new owner closes it.
    [[nodiscard]] int take() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

/// Reads fd to its end into bytes; sizeHint (what fstat said) sizes the
/// first read. False with errno set on a read error, or with EFBIG when the
/// file holds more than limit bytes.
[[nodiscard]] bool readToEnd(int fd, qint64 sizeHint, qsizetype limit, QByteArray *bytes);

} // namespace velkora
