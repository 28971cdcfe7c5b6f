/* Injected file-system faults, loaded with LD_PRELOAD into a program under test.
 *
 * Every call of open, open64, openat, openat64, read, write, rename, renameat, close and fsync
 * is counted, over all of them together. Configured by environment variables:
 *   IOFAULT_AT=N         the Nth such call (from 1) fails; 0 or unset: none fails
 *   IOFAULT_ERRNO=NAME   its errno: ENOSPC, EIO or EACCES (default EIO); KILL: the process is
 *                        killed (SIGKILL) instead, before the call is made
 *   IOFAULT_REPORT=PATH  at exit, write the number of calls made to PATH
 *   IOFAULT_TRACE=PATH   append one line per call: number, name, path or descriptor, result
 * A failing call does nothing, except close, which closes the descriptor and then reports the
 * error, as the kernel does. The shim's own files go through the real calls, uncounted. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdarg.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <unistd.h>

typedef int (*open_fn)(const char*, int, ...);
typedef int (*openat_fn)(int, const char*, int, ...);

static atomic_long calls;
static long fail_at;
static int fail_errno = EIO;
static int kill_instead;
static int trace_fd = -1;

static open_fn real_open, real_open64;
static openat_fn real_openat, real_openat64;
static ssize_t (*real_read)(int, void*, size_t);
static ssize_t (*real_write)(int, const void*, size_t);
static int (*real_rename)(const char*, const char*);
static int (*real_renameat)(int, const char*, int, const char*);
static int (*real_close)(int);
static int (*real_fsync)(int);

static void resolve(void) {
    if (real_close)
        return;
    real_open = (open_fn)dlsym(RTLD_NEXT, "open");
    real_open64 = (open_fn)dlsym(RTLD_NEXT, "open64");
    real_openat = (openat_fn)dlsym(RTLD_NEXT, "openat");
    real_openat64 = (openat_fn)dlsym(RTLD_NEXT, "openat64");
    real_read = dlsym(RTLD_NEXT, "read");
    real_write = dlsym(RTLD_NEXT, "write");
    real_rename = dlsym(RTLD_NEXT, "rename");
    real_renameat = dlsym(RTLD_NEXT, "renameat");
    real_fsync = dlsym(RTLD_NEXT, "fsync");
    real_close = dlsym(RTLD_NEXT, "close");
}

/* Also called by the first counted call: libraries loaded after the shim may make calls from their
 * own constructors before this one runs. */
__attribute__((constructor)) static void start(void) {
    static int started;
    if (started)
        return;
    started = 1;
    resolve();
    const char* at = getenv("IOFAULT_AT");
    fail_at = at ? atol(at) : 0;
    const char* name = getenv("IOFAULT_ERRNO");
    if (name && strcmp(name, "ENOSPC") == 0)
        fail_errno = ENOSPC;
    else if (name && strcmp(name, "EACCES") == 0)
        fail_errno = EACCES;
    else if (name && strcmp(name, "KILL") == 0)
        kill_instead = 1;
    const char* trace = getenv("IOFAULT_TRACE");
    if (trace)
        trace_fd = real_open(trace, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
}

__attribute__((destructor)) static void finish(void) {
    const char* report = getenv("IOFAULT_REPORT");
    if (!report)
        return;
    int fd = real_open(report, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    char line[32];
    int n = snprintf(line, sizeof line, "%ld\n", (long)atomic_load(&calls));
    (void)!real_write(fd, line, (size_t)n);
    real_close(fd);
}

/* Counts a call; true when this one is to fail (errno is then set). */
static int fails(long* number) {
    start();
    *number = atomic_fetch_add(&calls, 1) + 1;
    if (*number != fail_at)
        return 0;
    if (kill_instead)
        raise(SIGKILL);
    errno = fail_errno;
    return 1;
}

static void trace(long number, const char* call, const char* what, long fd, long result,
                  int failed) {
    if (trace_fd < 0)
        return;
    char line[4200];
    int n = what ? snprintf(line, sizeof line, "%ld %s %s %ld%s\n", number, call, what, result,
                            failed ? " FAULT" : "")
                 : snprintf(line, sizeof line, "%ld %s fd=%ld %ld%s\n", number, call, fd, result,
                            failed ? " FAULT" : "");
    if (n > 0)
        (void)!real_write(trace_fd, line, (size_t)n < sizeof line ? (size_t)n : sizeof line - 1);
}

static mode_t mode_of(int flags, va_list ap) {
    return (flags & O_CREAT) || (flags & __O_TMPFILE) == __O_TMPFILE ? va_arg(ap, mode_t) : 0;
}

#define OPEN_WRAPPER(name, realfn)                             \
    int name(const char* path, int flags, ...) {               \
        va_list ap;                                            \
        va_start(ap, flags);                                   \
        mode_t mode = mode_of(flags, ap);                      \
        va_end(ap);                                            \
        long number;                                           \
        int failed = fails(&number), result = -1, err = errno; \
        if (!failed) {                                         \
            result = realfn(path, flags, mode);                \
            err = errno;                                       \
        }                                                      \
        trace(number, #name, path, -1, result, failed);        \
        errno = err;                                           \
        return result;                                         \
    }
OPEN_WRAPPER(open, real_open)
OPEN_WRAPPER(open64, real_open64)

#define OPENAT_WRAPPER(name, realfn)                           \
    int name(int dirfd, const char* path, int flags, ...) {    \
        va_list ap;                                            \
        va_start(ap, flags);                                   \
        mode_t mode = mode_of(flags, ap);                      \
        va_end(ap);                                            \
        long number;                                           \
        int failed = fails(&number), result = -1, err = errno; \
        if (!failed) {                                         \
            result = realfn(dirfd, path, flags, mode);         \
            err = errno;                                       \
        }                                                      \
        trace(number, #name, path, -1, result, failed);        \
        errno = err;                                           \
        return result;                                         \
    }
OPENAT_WRAPPER(openat, real_openat)
OPENAT_WRAPPER(openat64, real_openat64)

ssize_t read(int fd, void* buf, size_t count) {
    long number;
    int failed = fails(&number), err = errno;
    ssize_t result = -1;
    if (!failed) {
        result = real_read(fd, buf, count);
        err = errno;
    }
    trace(number, "read", NULL, fd, result, failed);
    errno = err;
    return result;
}

ssize_t write(int fd, const void* buf, size_t count) {
    long number;
    int failed = fails(&number), err = errno;
    ssize_t result = -1;
    if (!failed) {
        result = real_write(fd, buf, count);
        err = errno;
    }
    trace(number, "write", NULL, fd, result, failed);
    errno = err;
    return result;
}

int rename(const char* from, const char* to) {
    long number;
    int failed = fails(&number), result = -1, err = errno;
    if (!failed) {
        result = real_rename(from, to);
        err = errno;
    }
    trace(number, "rename", to, -1, result, failed);
    errno = err;
    return result;
}

int renameat(int fromdir, const char* from, int todir, const char* to) {
    long number;
    int failed = fails(&number), result = -1, err = errno;
    if (!failed) {
        result = real_renameat(fromdir, from, todir, to);
        err = errno;
    }
    trace(number, "renameat", to, -1, result, failed);
    errno = err;
    return result;
}

int fsync(int fd) {
    long number;
    int failed = fails(&number), result = -1, err = errno;
    if (!failed) {
        result = real_fsync(fd);
        err = errno;
    }
    trace(number, "fsync", NULL, fd, result, failed);
    errno = err;
    return result;
}

int close(int fd) {
    long number;
    int failed = fails(&number);
    int result = real_close(fd), err = errno;
    if (failed) {
        result = -1;
        err = fail_errno;
    }
    trace(number, "close", NULL, fd, result, failed);
    errno = err;
    return result;
}
