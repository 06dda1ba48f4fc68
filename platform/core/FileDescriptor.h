#pragma once

#include <unistd.h>

namespace velkora {

/// Owns a file descriptor from open() and closes it at the end of its scope;
/// a negative one is the failed open, whose errno is still to be read.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd)
        : m_fd(fd)
    { }
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

} // namespace velkora
