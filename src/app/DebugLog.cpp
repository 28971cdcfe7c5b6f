#include "app/DebugLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iostream>

#include "app/AppState.h"
#include "text/Errors.h"
#include "text/TextHelpers.h"

namespace k32 {

namespace {

bool DiskMode(const AppState& s) { return s.settings.DebugMode == 0 || s.settings.DebugMode == 1; }
bool ScreenMode(const AppState& s) {
    return (s.settings.DebugMode == 0 || s.settings.DebugMode == 2) && s.WindowMode;
}

// Appends one line to the file, opening and closing it around the write.
void AppendLine(const std::string& path, std::string_view line) {
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) ThrowIoError(errno, path, true);
    std::string bytes;
    bytes.reserve(line.size() + 2);
    bytes.append(line).append("\r\n");
    ssize_t written = ::write(fd, bytes.data(), bytes.size());
    int err = errno;
    ::close(fd);
    if (written != static_cast<ssize_t>(bytes.size())) ThrowIoError(written < 0 ? err : ENOSPC, path);
}

// Creates (or empties) the file; false with errno set when that is not possible.
bool CreateEmpty(const std::string& path) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

}  // namespace

std::string TimeStampPrefix() {
    // Formatting the local time costs more than a debug line; seconds change rarely.
    static thread_local std::time_t cachedSecond = -1;
    static thread_local std::string cached;
    std::time_t now = std::time(nullptr);
    if (now != cachedSecond) {
        std::tm local{};
        localtime_r(&now, &local);
        char time[64], date[64];
        std::strftime(time, sizeof time, "%X", &local);
        std::strftime(date, sizeof date, "%x", &local);
        cached = std::string(date) + " " + time + " ; ";
        cachedSecond = now;
    }
    return cached;
}

bool ProgressLinesShown(const AppState& state) {
    return state.WindowMode && static_cast<bool>(state.ui.progressLine);
}

void AddProgressLine(AppState& state, std::string_view text) {
    if (!ProgressLinesShown(state)) return;
    Text line(TimeStampPrefix());
    line.append(text);
    state.ui.progressLine(line.view());
}

void AddDebugLine(AppState& state, std::string_view caption, std::string_view value) {
    bool disk = DiskMode(state), screen = ScreenMode(state) && state.ui.progressLine;
    if (!disk && !screen) return;
    Text line(TimeStampPrefix());
    line.append("DEBUG ; ");
    line.append(PadRight(caption, 30).view());
    line.append(": ");
    line.append(value.empty() ? std::string_view("n/a") : value);
    if (disk) AppendLine(state.DebugLogPath.str(), line.view());
    if (screen) state.ui.progressLine(line.view());
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

void StartDebugLog(AppState& state) {
    if (DiskMode(state) && !CreateEmpty(state.DebugLogPath.str())) {
        int err = errno;
        if (err != EACCES && err != EPERM && err != EROFS)
            ThrowIoError(err, state.DebugLogPath.str(), true);
        // The program's folder is not ours to write (an installed program): use the user's
        // state folder instead.
        std::string fallback = FallbackDebugLogPath();
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::path(fallback).parent_path(), ec);
        if (!CreateEmpty(fallback)) ThrowIoError(errno, fallback, true);
        state.DebugLogPath = fallback;
    }
    AddDebugLine(state, "Start debug", state.DebugLogPath.view());
    AddDebugLine(state, "Debug mode", std::to_string(state.settings.DebugMode));
    AddDebugLine(state, state.StoreStatusText.view(), "");
}

void CloseDebugLog(AppState& state) {
    if (DiskMode(state)) AddDebugLine(state, "Close debug", "");
}

void ShowMessage(AppState& state, std::string_view text) {
    if (state.WindowMode && state.ui.messageBox) {
        state.ui.messageBox(text);
        return;
    }
    std::cerr << "kestrama32: " << text << '\n';
}

}  // namespace k32
