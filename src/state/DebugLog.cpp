#include "state/DebugLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "state/ParallelJobs.h"
#include "text/Errors.h"
#include "text/TextHelpers.h"

namespace k32 {

namespace {

bool DiskMode(std::uint8_t mode) {
    return mode == 0 || mode == 1;
}
bool ScreenMode(std::uint8_t mode) {
    return mode == 0 || mode == 2;
}

// Creates (or empties) the file; false with errno set when that is not possible. A symbolic
// link at the name is never followed (ELOOP): in a folder that others can write, it could send
// the log over any file the user may write. Nor is anything but a plain file with one name
// taken (EINVAL): a FIFO would hang the run, and a hard link would have its other name
// overwritten. The file is emptied only once it is known to be such a file.
bool CreateEmpty(const std::string& path) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    struct stat st {};
    int err = 0;
    if (::fstat(fd, &st) != 0)
        err = errno;
    else if (!S_ISREG(st.st_mode) || st.st_nlink != 1)
        err = EINVAL;
    else if (::ftruncate(fd, 0) != 0)
        err = errno;
    ::close(fd);
    errno = err;
    return err == 0;
}

}  // namespace

namespace {

// Formatting the local time costs more than writing a line; it changes once a second.
const Text& CachedTimeStamp() {
    static thread_local std::time_t cachedSecond = -1;
    static thread_local Text cached;
    std::time_t now = std::time(nullptr);
    if (now != cachedSecond) {
        std::tm local{};
        localtime_r(&now, &local);
        char time[64], date[64];
        std::strftime(time, sizeof time, "%X", &local);
        std::strftime(date, sizeof date, "%x", &local);
        cached = date;
        cached.append(" ");
        cached.append(time);
        cached.append(" ; ");
        cachedSecond = now;
    }
    return cached;
}

}  // namespace

std::string TimeStampPrefix() {
    return CachedTimeStamp().str();
}

bool ProgressLinesShown(const RunContext& ctx) {
    return ctx.windowMode && (ctx.screenLine || ctx.deferred);
}

void AddProgressLine(RunContext& ctx, std::string_view text) {
    if (!ProgressLinesShown(ctx))
        return;
    Text line(CachedTimeStamp());
    line.append(text);
    if (ctx.deferred)
        ctx.deferred->Push(DeferredLines::Kind::Progress, line.view());
    else
        ctx.screenLine(line.view());
}

void AddDebugLine(RunContext& ctx, std::string_view caption, std::string_view value) {
    const bool disk = DiskMode(ctx.debugMode) && (ctx.debugLog || ctx.deferred);
    const bool screen =
        ScreenMode(ctx.debugMode) && ctx.windowMode && (ctx.screenLine || ctx.deferred);
    if (!disk && !screen)
        return;
    Text line(CachedTimeStamp());
    line.append("DEBUG ; ");
    line.append(caption);
    for (std::size_t n = caption.size(); n < 30; ++n)
        line.append(" ");
    line.append(": ");
    line.append(value.empty() ? std::string_view("n/a") : value);
    if (ctx.deferred) {
        ctx.deferred->Push(DeferredLines::Kind::Debug, line.view());
        return;
    }
    if (disk)
        ctx.debugLog->Append(line.view());
    if (screen)
        ctx.screenLine(line.view());
}

void PassOnLines(RunContext& ctx, const std::vector<FinishedLine>& lines) {
    if (ctx.deferred) {
        for (const FinishedLine& line : lines)
            ctx.deferred->Push(
                line.debug ? DeferredLines::Kind::Debug : DeferredLines::Kind::Progress, line.text);
        return;
    }
    const bool disk = DiskMode(ctx.debugMode) && ctx.debugLog;
    const bool screen = ctx.windowMode && ctx.screenLine;
    bool checked = false;
    for (const FinishedLine& line : lines) {
        if (!line.debug) {
            if (screen)
                ctx.screenLine(line.text);
            continue;
        }
        if (disk) {
            if (!checked)
                ctx.debugLog->ReopenIfDeleted();
            checked = true;
            ctx.debugLog->AppendUnchecked(line.text);
        }
        if (screen && ScreenMode(ctx.debugMode))
            ctx.screenLine(line.text);
    }
}

std::string FallbackDebugLogPath() {
    std::string base;
    if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg && *xdg) {
        base = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        base = std::string(home) + "/.local/state";
    } else {
        base = "/tmp";
    }
    return base + "/kestrama32/debug32.txt";
}

// The append-only descriptor is kept between lines: opening and closing the file per line
// would cost more than the rest of a large run.
void DebugLogFile::ReopenIfDeleted() {
    struct stat st {};
    if (fd_ >= 0 && (::fstat(fd_, &st) != 0 || st.st_nlink == 0))
        Close();
    if (fd_ < 0) {
        // Never blocks on a FIFO put at the name since.
        fd_ = ::open(path.c_str(),
                     O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
        if (fd_ < 0)
            ThrowIoError(errno, path, true);
    }
}

void DebugLogFile::AppendUnchecked(std::string_view line) {
    char bytes[kTextMax + 2];
    std::memcpy(bytes, line.data(), line.size());
    bytes[line.size()] = '\r';
    bytes[line.size() + 1] = '\n';
    const std::size_t n = line.size() + 2;
    ssize_t written = ::write(fd_, bytes, n);
    if (written != static_cast<ssize_t>(n))
        ThrowIoError(written < 0 ? errno : ENOSPC, path);
}

void DebugLogFile::Close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool InSystemProgramFolder(std::string_view path) {
    for (std::string_view system : {"/usr/", "/opt/", "/bin/", "/sbin/", "/lib/", "/lib64/"})
        if (path.substr(0, system.size()) == system)
            return true;
    return false;
}

void StartDebugLogFile(DebugLogFile& file, std::uint8_t debugMode) {
    file.Close();
    if (!DiskMode(debugMode))
        return;
    // An installed program's folder is not the place for a user's log, even for root who could
    // write there. A folder we may not write, or a symbolic link planted at the log's name,
    // sends the log to the user's state folder as well.
    bool elsewhere = InSystemProgramFolder(file.path);
    if (!elsewhere && !CreateEmpty(file.path)) {
        const int err = errno;
        // ENXIO: a FIFO that no one reads; EINVAL: not a plain file with one name.
        if (err != EACCES && err != EPERM && err != EROFS && err != ELOOP && err != ENXIO &&
            err != EINVAL)
            ThrowIoError(err, file.path, true);
        elsewhere = true;
    }
    if (elsewhere) {
        std::string fallback = FallbackDebugLogPath();
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::path(fallback).parent_path(), ec);
        if (!CreateEmpty(fallback))
            ThrowIoError(errno, fallback, true);
        file.path = fallback;
    }
}

}  // namespace k32
