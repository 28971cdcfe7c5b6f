#include "state/DebugLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <iostream>

#include "state/AppState.h"
#include "text/Errors.h"
#include "text/TextHelpers.h"

namespace k32 {

namespace {

bool DiskMode(const AppState& s) {
    return s.settings.DebugMode == 0 || s.settings.DebugMode == 1;
}
bool ScreenMode(const AppState& s) {
    return (s.settings.DebugMode == 0 || s.settings.DebugMode == 2) && s.WindowMode;
}

// Appends one line and its CR LF to the debug log in a single unbuffered write, so that the
// line is in the file, for any reader, when this returns. The append-only descriptor is kept
// between lines (opening and closing the file per line would cost more than the rest of a
// large run); if the file was deleted meanwhile, it is created again.
void AppendLine(AppState& state, std::string_view line) {
    DebugLogFile& file = state.debugFile;
    struct stat st {};
    if (file.fd >= 0 && (::fstat(file.fd, &st) != 0 || st.st_nlink == 0))
        file.Close();
    if (file.fd < 0) {
        file.fd = ::open(state.DebugLogPath.str().c_str(),
                         O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (file.fd < 0)
            ThrowIoError(errno, state.DebugLogPath.str(), true);
    }
    char bytes[kTextMax + 2];
    std::memcpy(bytes, line.data(), line.size());
    bytes[line.size()] = '\r';
    bytes[line.size() + 1] = '\n';
    const std::size_t n = line.size() + 2;
    ssize_t written = ::write(file.fd, bytes, n);
    if (written != static_cast<ssize_t>(n))
        ThrowIoError(written < 0 ? errno : ENOSPC, state.DebugLogPath.str());
}

// Creates (or empties) the file; false with errno set when that is not possible. A symbolic
// link at the name is never followed (ELOOP): in a folder that others can write, it could send
// the log over any file the user may write.
bool CreateEmpty(const std::string& path) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
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

bool ProgressLinesShown(const AppState& state) {
    return state.WindowMode && static_cast<bool>(state.ui.progressLine);
}

void AddProgressLine(AppState& state, std::string_view text) {
    if (!ProgressLinesShown(state))
        return;
    Text line(CachedTimeStamp());
    line.append(text);
    state.ui.progressLine(line.view());
}

void AddDebugLine(AppState& state, std::string_view caption, std::string_view value) {
    bool disk = DiskMode(state), screen = ScreenMode(state) && state.ui.progressLine;
    if (!disk && !screen)
        return;
    Text line(CachedTimeStamp());
    line.append("DEBUG ; ");
    line.append(caption);
    for (std::size_t n = caption.size(); n < 30; ++n)
        line.append(" ");
    line.append(": ");
    line.append(value.empty() ? std::string_view("n/a") : value);
    if (disk)
        AppendLine(state, line.view());
    if (screen)
        state.ui.progressLine(line.view());
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

void DebugLogFile::Close() {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

void StartDebugLog(AppState& state) {
    state.debugFile.Close();
    if (DiskMode(state) && !CreateEmpty(state.DebugLogPath.str())) {
        int err = errno;
        if (err != EACCES && err != EPERM && err != EROFS && err != ELOOP)
            ThrowIoError(err, state.DebugLogPath.str(), true);
        // The program's folder is not ours to write (an installed program), or someone planted
        // a symbolic link there: use the user's state folder instead.
        std::string fallback = FallbackDebugLogPath();
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::path(fallback).parent_path(), ec);
        if (!CreateEmpty(fallback))
            ThrowIoError(errno, fallback, true);
        state.DebugLogPath = fallback;
    }
    AddDebugLine(state, "Start debug", state.DebugLogPath.view());
    AddDebugLine(state, "Debug mode", std::to_string(state.settings.DebugMode));
    AddDebugLine(state, state.StoreStatusText.view(), "");
}

void CloseDebugLog(AppState& state) {
    if (DiskMode(state))
        AddDebugLine(state, "Close debug", "");
    state.debugFile.Close();
}

void ShowMessage(AppState& state, std::string_view text) {
    if (state.WindowMode && state.ui.messageBox) {
        state.ui.messageBox(text);
        return;
    }
    std::cerr << "kestrama32: " << text << '\n';
}

}  // namespace k32
