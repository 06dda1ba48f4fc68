// LD_PRELOAD library for bench_window: notes when the process sends its first
// image to the X server, through either of the two calls Qt's xcb backing
// store flushes with. The CLOCK_MONOTONIC time in nanoseconds, the image's
// size and the CPU time the process has used so far (all threads, in
// microseconds: a figure that load on the machine hardly moves) go as one
// line to the descriptor in $FIRST_IMAGE_FD, once. With $FIRST_IMAGE_EXIT
// set, the process then ends.

#include <xcb/xcb.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dlfcn.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

std::atomic_flag noted = ATOMIC_FLAG_INIT;

void noteFirstImage(unsigned width, unsigned height)
{
    timespec now {};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    if (noted.test_and_set())
        return;
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    const long long cpuUs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000LL
        + usage.ru_utime.tv_usec + usage.ru_stime.tv_usec;
    const char *fd = std::getenv("FIRST_IMAGE_FD");
    if (!fd)
        return;
    char line[96];
    const int length = std::snprintf(line, sizeof line, "%lld %u %u %lld\n",
                                     now.tv_sec * 1000000000LL + now.tv_nsec, width, height, cpuUs);
    // One short write to a pipe is atomic; a reader that is gone costs nothing.
    static_cast<void>(::write(std::atoi(fd), line, std::size_t(length)));
    // Counting instructions: what comes after the first image does not count.
    if (std::getenv("FIRST_IMAGE_EXIT"))
        ::_exit(0);
}

template<typename Function> Function next(const char *name)
{
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" {

// Declared here: Debian's libxcb1-dev has no MIT-SHM header.
using xcb_shm_seg_t = uint32_t;

xcb_void_cookie_t xcb_put_image(xcb_connection_t *c, uint8_t format, xcb_drawable_t drawable,
                                xcb_gcontext_t gc, uint16_t width, uint16_t height, int16_t dstX,
                                int16_t dstY, uint8_t leftPad, uint8_t depth, uint32_t dataLength,
                                const uint8_t *data)
{
    noteFirstImage(width, height);
    static const auto real = next<decltype(&xcb_put_image)>("xcb_put_image");
    return real(c, format, drawable, gc, width, height, dstX, dstY, leftPad, depth, dataLength,
                data);
}

xcb_void_cookie_t xcb_shm_put_image(xcb_connection_t *c, xcb_drawable_t drawable, xcb_gcontext_t gc,
                                    uint16_t totalWidth, uint16_t totalHeight, uint16_t srcX,
                                    uint16_t srcY, uint16_t srcWidth, uint16_t srcHeight,
                                    int16_t dstX, int16_t dstY, uint8_t depth, uint8_t format,
                                    uint8_t sendEvent, xcb_shm_seg_t segment, uint32_t offset)
{
    noteFirstImage(srcWidth, srcHeight);
    static const auto real = next<decltype(&xcb_shm_put_image)>("xcb_shm_put_image");
    return real(c, drawable, gc, totalWidth, totalHeight, srcX, srcY, srcWidth, srcHeight, dstX,
                dstY, depth, format, sendEvent, segment, offset);
}

} // extern "C"
