#include "app/TerminalProgress.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>

namespace k32 {

namespace {

void WriteAll(int fd, std::string_view text) {
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n <= 0)
            return;  // a display that fails must not end the run
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace

std::string ProgressText(std::uint64_t done, std::uint64_t total, double seconds) {
    if (done > total)
        done = total;  // a second pass over the log (expire statistics) stays at 100%
    const int percent = total == 0 ? 100 : static_cast<int>(done * 100 / total);
    const double mb = static_cast<double>(done) / (1024.0 * 1024.0);
    // Over the first fraction of a second the rate would be noise.
    const double rate = seconds >= 0.25 ? mb / seconds : 0;
    char buf[96];
    if (done == 0 || rate <= 0) {
        std::snprintf(buf, sizeof buf, "reading %3d%%   --.- MB/s --:-- left", percent);
    } else {
        const double left = static_cast<double>(total - done) / (1024.0 * 1024.0) / rate;
        const long secs = static_cast<long>(left + 0.5);
        std::snprintf(buf, sizeof buf, "reading %3d%% %6.1f MB/s %2ld:%02ld left", percent, rate,
                      secs / 60, secs % 60);
    }
    return buf;
}

TerminalProgress::TerminalProgress(const std::atomic<std::uint64_t>& counter, std::uint64_t total,
                                   int fd)
    : counter_(counter), start_(counter.load()), total_(total), fd_(fd) {
    if (total_ <= kProgressFromBytes || ::isatty(fd_) != 1)
        return;
    thread_ = std::thread([this] { Draw(); });
}

TerminalProgress::~TerminalProgress() {
    if (!thread_.joinable())
        return;
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void TerminalProgress::WriteAbove(int fd, std::string_view text) {
    std::lock_guard lock(mutex_);
    if (thread_.joinable())
        WriteAll(fd_, "\r\x1b[K");
    WriteAll(fd, text);
}

void TerminalProgress::Draw() {
    using Clock = std::chrono::steady_clock;
    const auto began = Clock::now();
    std::unique_lock lock(mutex_);
    for (;;) {
        const double seconds = std::chrono::duration<double>(Clock::now() - began).count();
        const std::uint64_t done = counter_.load(std::memory_order_relaxed) - start_;
        // "\r" returns to the line's start, "\x1b[K" clears what a longer text left behind.
        WriteAll(fd_, "\rkestrama32: " + ProgressText(done, total_, seconds) + "\x1b[K");
        if (wake_.wait_for(lock, std::chrono::milliseconds(100), [this] { return stop_; }))
            break;
    }
    WriteAll(fd_, "\r\x1b[K");
}

}  // namespace k32
