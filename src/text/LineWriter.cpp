#include "text/LineWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <mutex>

#include "text/BackgroundJob.h"
#include "text/Errors.h"

namespace k32 {

namespace {

// Writes all of `bytes`; 0, or the error.
int WriteAll(int fd, std::string_view bytes) {
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : ENOSPC;
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return 0;
}

}  // namespace

// Writes one buffer at a time to the file on its own thread. A failed write stops the writing;
// its error is given to the writer at its next hand-over.
class LineWriter::Background {
  public:
    explicit Background(int fd) : fd_(fd), job_([this](std::stop_token stop) { Run(stop); }) {}
    // The last buffer handed over is written before the thread ends.
    ~Background() { job_.RequestStop(); }

    // Waits until the previous buffer is written, then takes `buffer` and gives back the
    // written one, empty. Returns the error of an earlier write (then takes nothing), else 0.
    int HandOver(std::string& buffer) {
        std::unique_lock lock(mutex_);
        idle_.wait(lock, [this] { return !busy_; });
        if (error_ != 0)
            return error_;
        writing_.swap(buffer);
        buffer.clear();
        busy_ = true;
        wake_.notify_all();
        return 0;
    }

    // Waits until everything handed over is written; the error of a failed write, else 0.
    int Drain() {
        std::unique_lock lock(mutex_);
        idle_.wait(lock, [this] { return !busy_; });
        return error_;
    }

  private:
    void Run(std::stop_token stop) {
        std::unique_lock lock(mutex_);
        // Ends once a stop is asked for and nothing is left to write.
        while (wake_.wait(lock, stop, [this] { return busy_; })) {
            lock.unlock();
            const int error = error_ == 0 ? WriteAll(fd_, writing_) : error_;
            lock.lock();
            error_ = error;
            busy_ = false;
            idle_.notify_all();
        }
    }

    const int fd_;
    std::mutex mutex_;
    std::condition_variable_any wake_;
    std::condition_variable idle_;
    std::string writing_;
    bool busy_ = false;
    int error_ = 0;
    BackgroundJob job_;  // last: starts once everything above exists
};

namespace {

// A file that replaces another keeps its permissions, and its group where the process may set
// it: a report that an administrator made private stays private. A new file keeps the umask's.
// A symbolic link at the name is replaced, not followed, so its target's mode is not taken.
void KeepModeOfTarget(int fd, const std::string& target) {
    struct stat old {};
    if (::lstat(target.c_str(), &old) != 0 || !S_ISREG(old.st_mode))
        return;
    // Only the group: the owner is the process's. Neither failure is fatal: the report is then
    // written with the group and mode it was created with.
    [[maybe_unused]] const int group = ::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
    [[maybe_unused]] const int mode = ::fchmod(fd, old.st_mode & 07777);
}

}  // namespace

LineWriter::LineWriter(const std::string& path, Mode mode) : path_(path), mode_(mode) {
    if (mode_ == Mode::Replace) {
        LockedTemporary temporary = CreateLockedTemporary(path_);
        writePath_ = std::move(temporary.path);
        fd_ = temporary.fd.Release();
    } else {
        writePath_ = path_;
        fd_ = ::open(writePath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd_ < 0)
            ThrowIoError(errno, path_, true);
    }
    buffer_.reserve(kFlushAt + 4096);
}

LineWriter::~LineWriter() {
    background_.reset();
    // Removed while still locked, so that no cleaner takes the name for a stale file meanwhile.
    if (!handedOver_ && mode_ == Mode::Replace)
        ::unlink(writePath_.c_str());
    if (fd_ >= 0)
        ::close(fd_);
}

void LineWriter::Flush() {
    if (!background_)
        background_ = std::make_unique<Background>(fd_);
    if (const int error = background_->HandOver(buffer_); error != 0)
        ThrowIoError(error, path_);
}

int LineWriter::StopBackground() {
    if (!background_)
        return 0;
    const int error = background_->Drain();
    background_.reset();
    return error;
}

void LineWriter::WriteOutAndClose() {
    // A small file is written here at once; a large one's last buffer goes the way of the others.
    int error = background_ ? 0 : WriteAll(fd_, buffer_);
    if (error == 0 && background_)
        error = background_->HandOver(buffer_);
    if (const int stopped = StopBackground(); error == 0)
        error = stopped;
    if (error != 0)
        ThrowIoError(error, path_);
    buffer_.clear();
    if (mode_ == Mode::Replace)
        KeepModeOfTarget(fd_, path_);
    // A replacing file must be on disk before its name replaces the previous report: a crash
    // after the rename must not leave an empty report in place of a good one.
    if (mode_ == Mode::Replace && ::fsync(fd_) != 0)
        ThrowIoError(errno, path_);
    // The lock stays with a second descriptor of the file until the file has taken its name.
    if (mode_ == Mode::Replace) {
        lock_ = UniqueFd(::fcntl(fd_, F_DUPFD_CLOEXEC, 0));
        if (!lock_)
            ThrowIoError(errno, path_);
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0)
        ThrowIoError(errno, path_);
}

void LineWriter::Commit() {
    WriteOutAndClose();
    if (mode_ == Mode::Replace && std::rename(writePath_.c_str(), path_.c_str()) != 0)
        ThrowIoError(errno, path_, true);
    handedOver_ = true;
}

FinishedFile LineWriter::Finish() {
    WriteOutAndClose();
    handedOver_ = true;
    return {writePath_, path_, std::move(lock_)};
}

}  // namespace k32
