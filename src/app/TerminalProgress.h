#pragma once
// A progress line for a batch run whose standard error is a terminal: the percent of the log
// read, the rate in MB/s and the time left, redrawn in place at most ten times a second on a
// thread of its own, and cleared when the run ends. Nothing is drawn when standard error is not
// a terminal (a cron job stays silent) or the log is small.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace k32 {

// Logs up to this size are read too quickly for a progress line to help.
inline constexpr std::uint64_t kProgressFromBytes = 64ull * 1024 * 1024;

// "reading  42%  310.5 MB/s  0:03 left": `done` of `total` bytes after `seconds`. Until a rate
// is known (nothing read, or under a quarter of a second) rate and time read "--.-" and "--:--".
std::string ProgressText(std::uint64_t done, std::uint64_t total, double seconds);

class TerminalProgress {
  public:
    // Draws on `fd` while `counter` (bytes read, counted from its value now) grows towards
    // `total`, if `fd` is a terminal and `total` is above kProgressFromBytes.
    TerminalProgress(const std::atomic<std::uint64_t>& counter, std::uint64_t total, int fd);
    // Stops drawing and clears the line.
    ~TerminalProgress();
    TerminalProgress(const TerminalProgress&) = delete;
    // Writes `text` to `fd` (standard output, say) on a line of its own: the progress line is
    // cleared first and drawn again below it at its next redraw.
    void WriteAbove(int fd, std::string_view text);
    TerminalProgress& operator=(const TerminalProgress&) = delete;

  private:
    void Draw();

    const std::atomic<std::uint64_t>& counter_;
    std::uint64_t start_, total_;
    int fd_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace k32
