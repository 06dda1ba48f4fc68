#include "platform/core/FileDescriptor.h"

#include <algorithm>
#include <cerrno>

namespace velkora {

bool readToEnd(int fd, qint64 sizeHint, qsizetype limit, QByteArray *bytes)
{
    // One byte more than the file should hold: a read that fills it has found
    // the file grown, or a size fstat could not tell (a FIFO, /proc).
    bytes->resize(qsizetype(std::clamp<qint64>(sizeHint, 0, limit)) + 1);
    qsizetype filled = 0;
    for (;;) {
        if (filled == bytes->size()) {
            if (filled > limit) {
                errno = EFBIG;
                return false;
            }
            bytes->resize(std::min(2 * filled, limit + 1));
        }
        const ssize_t n = ::read(fd, bytes->data() + filled, size_t(bytes->size() - filled));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        filled += n;
    }
    bytes->truncate(filled);
    return true;
}

} // namespace velkora
