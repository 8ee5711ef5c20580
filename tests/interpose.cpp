// Preloaded by the tests before the C library and HarfBuzz. DAHDIT_FAIL="<call> <errno> <part>", read at every call,
// fails <call> (one below; fsyncdir is a folder's fsync; rename and linkat by their target) for paths holding <part>;
// EINTR (4) and EEXIST (17) come every other call, as a signal or another program taking the name would. pread reads at
// most 512 bytes a call, as network disks may. Counted: characters shaped, Qt's looks along a text for its direction,
// sleeps.
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dlfcn.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

#define NEXT(name, type) static const auto next = reinterpret_cast<type>(dlsym(RTLD_NEXT, name))

// The error the call is to fail with for this path, or 0.
int fault(const char* call, const char* path) {
    const char* fail = std::getenv("DAHDIT_FAIL");
    char name[32] = {};
    int error = 0, used = 0;
    if (!fail || std::sscanf(fail, "%31s %d %n", name, &error, &used) != 2 || std::strcmp(name, call) != 0 || !path ||
        !std::strstr(path, fail + used))
        return 0;
    // The call made again (or with another name) goes through: from the first since DAHDIT_FAIL changed, every other
    // one fails. A close is never made again, as Linux closes the file all the same.
    static thread_local std::string named;
    static thread_local bool passes = false;
    if (named != fail)
        named = fail, passes = true;
    const bool again = (error == EINTR || error == EEXIST) && std::strcmp(call, "close") != 0;
    return again && (passes = !passes) ? 0 : error;
}

// The same for an open file, by the path the system gives it ("/a/#123 (deleted)" for one without a name),
// looked up only where DAHDIT_FAIL may name this call.
int fault(const char* call, int fd) {
    const char* fail = std::getenv("DAHDIT_FAIL");
    if (!fail || std::strncmp(fail, call, std::strlen(call)) != 0)
        return 0;
    char link[32], path[PATH_MAX];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t length = readlink(link, path, sizeof path - 1);
    path[length > 0 ? length : 0] = '\0';
    return fault(call, path);
}

int failed(int error) {
    return errno = error, -1;
}

// Children of a test (a sound server, a shell) run without it.
[[gnu::constructor]] void leaveChildrenAlone() {
    unsetenv("LD_PRELOAD");
}

} // namespace

extern "C" {

std::atomic<long long> DahditShapedCharacters{0}, DahditDirectionLookups{0}, DahditSleeps{0};

// Qt looking along a whole text for the direction it runs in (QString::isRightToLeft).
bool _ZNK7QString13isRightToLeftEv(const void* text) {
    NEXT("_ZNK7QString13isRightToLeftEv", bool (*)(const void*));
    return ++DahditDirectionLookups, next(text);
}

int hb_shape_full(void* font, void* buffer, const void* features, unsigned count, const char* const* shapers) {
    static const auto length = reinterpret_cast<unsigned (*)(void*)>(dlsym(RTLD_DEFAULT, "hb_buffer_get_length"));
    NEXT("hb_shape_full", int (*)(void*, void*, const void*, unsigned, const char* const*));
    DahditShapedCharacters += length ? length(buffer) : 0;
    return next(font, buffer, features, count, shapers);
}

int nanosleep(const timespec* length, timespec* left) {
    NEXT("nanosleep", int (*)(const timespec*, timespec*));
    return ++DahditSleeps, next(length, left);
}

int fsync(int fd) {
    NEXT("fsync", int (*)(int));
    struct stat status {};
    const bool folder = fstat(fd, &status) == 0 && S_ISDIR(status.st_mode);
    const int error = fault(folder ? "fsyncdir" : "fsync", fd);
    return error ? failed(error) : next(fd);
}

int close(int fd) {
    NEXT("close", int (*)(int));
    const int error = fault("close", fd);
    const int rc = next(fd); // closed whatever it says, as Linux does
    return error ? failed(error) : rc;
}

// A call that fails where DAHDIT_FAIL names it for the file it works on (key: its path or its file), else works.
#define FAILING(type, name, parameters, key, arguments)                                                                \
    type name parameters {                                                                                             \
        NEXT(#name, type(*) parameters);                                                                               \
        if (const int error = fault(#name, key))                                                                       \
            return failed(error);                                                                                      \
        return next arguments;                                                                                         \
    }
int open(const char* path, int flags, ...) {
    NEXT("open", int (*)(const char*, int, ...));
    va_list rest;
    va_start(rest, flags);
    const mode_t mode = flags & O_CREAT || (flags & O_TMPFILE) == O_TMPFILE ? va_arg(rest, mode_t) : 0;
    va_end(rest);
    // Where an open is to fail, the disk is one without files that have no name yet, as some network disks are.
    const char* fail = std::getenv("DAHDIT_FAIL");
    const bool unnamed = (flags & O_TMPFILE) == O_TMPFILE && fail && !std::strncmp(fail, "open", 4);
    if (const int error = unnamed ? EOPNOTSUPP : fault("open", path))
        return failed(error);
    return next(path, flags, mode);
}

FAILING(int, access, (const char* path, int mode), path, (path, mode))
FAILING(int, mkdir, (const char* path, mode_t mode), path, (path, mode))
FAILING(ssize_t, write, (int fd, const void* buffer, size_t count), fd, (fd, buffer, count))
FAILING(ssize_t, read, (int fd, void* buffer, size_t count), fd, (fd, buffer, count))
FAILING(int, fdatasync, (int fd), fd, (fd))
FAILING(int, rename, (const char* from, const char* to), to, (from, to))
FAILING(int, linkat, (int at, const char* from, int in, const char* to, int flags), to, (at, from, in, to, flags))
FAILING(ssize_t, pread, (int fd, void* into, size_t n, off_t at), fd, (fd, into, n < 512 ? n : 512, at))
FAILING(ssize_t, pread64, (int fd, void* buffer, size_t count, off_t offset), fd, (fd, buffer, count, offset))
FAILING(ssize_t, pwrite64, (int fd, const void* buffer, size_t count, off_t offset), fd, (fd, buffer, count, offset))
}
