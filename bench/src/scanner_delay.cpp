// A simulated virus scanner for the Wine process: preloaded into wine64
// (LD_PRELOAD), it makes every close() of a regular file that is open for
// writing wait a fixed time, as an on-access scanner makes CloseHandle wait
// while it scans a file that was just written.
//
// Under Wine the wineserver opens the files and passes their descriptors to
// the Windows process, whose NtClose closes its copy with close() after the
// server's reply. That close runs on the thread that called CloseHandle, so
// the delay falls where a real scanner's does, and threads that close files
// side by side wait side by side. The descriptor's own access mode tells a
// written file: the client never calls open() for it.
//
//   SETUP_BENCH_CLOSE_DELAY_MS  delay per close in milliseconds (decimals
//                               allowed; unset or 0: no delay)
//   SETUP_BENCH_CLOSE_LOG       a file that gets "PID delayed-closes" appended
//                               when the process ends
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {

using CloseFunction = int (*)(int);

CloseFunction RealClose()
{
    static const CloseFunction real = reinterpret_cast<CloseFunction>(dlsym(RTLD_NEXT, "close"));
    return real;
}

long DelayNanoseconds()
{
    static const long delay = [] {
        const char* text = std::getenv("SETUP_BENCH_CLOSE_DELAY_MS");
        const double ms = text ? std::atof(text) : 0.0;
        return ms > 0 ? static_cast<long>(ms * 1e6) : 0L;
    }();
    return delay;
}

std::atomic<unsigned long> DelayedCloses{0};

bool IsWrittenRegularFile(int fd)
{
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || (flags & O_ACCMODE) == O_RDONLY) return false;
    struct stat info;
    return fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
}

void Wait(long nanoseconds)
{
    timespec left{nanoseconds / 1000000000L, nanoseconds % 1000000000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

struct CountReport {
    ~CountReport()
    {
        const char* log = std::getenv("SETUP_BENCH_CLOSE_LOG");
        if (!log || DelayNanoseconds() == 0) return;
        if (FILE* file = std::fopen(log, "a")) {
            std::fprintf(file, "%d %lu\n", static_cast<int>(getpid()), DelayedCloses.load());
            std::fclose(file);
        }
    }
} Report;

} // namespace

extern "C" __attribute__((visibility("default"))) int close(int fd)
{
    const long delay = DelayNanoseconds();
    if (delay > 0 && IsWrittenRegularFile(fd)) {
        const int saved = errno;
        Wait(delay);
        ++DelayedCloses;
        errno = saved;
    }
    const CloseFunction real = RealClose();
    if (!real) {
        errno = ENOSYS;
        return -1;
    }
    return real(fd);
}
