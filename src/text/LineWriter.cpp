#include "text/LineWriter.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>

#include "text/Errors.h"

namespace k32 {

namespace {

std::uint64_t RandomBits() {
    std::uint64_t bits = 0;
    if (::getrandom(&bits, sizeof bits, GRND_NONBLOCK) == static_cast<ssize_t>(sizeof bits))
        return bits;
    // No entropy yet (early boot): the name is still created exclusively, it is only easier to
    // guess, so a clash costs a retry and never opens someone else's file.
    static std::uint64_t counter = 0;
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    return static_cast<std::uint64_t>(now) * 0x9E3779B97F4A7C15ull ^
           (static_cast<std::uint64_t>(::getpid()) << 32) ^ ++counter;
}

}  // namespace

std::string TemporaryNameBeside(const std::string& path) {
    // Short, so that a target name near the length limit still leaves room for it, and in the
    // target's folder, so that the rename stays within one file system.
    static constexpr char kHex[] = "0123456789abcdef";
    const auto slash = path.rfind('/');
    std::string name = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    name += ".kestrama32-";
    std::uint64_t bits = RandomBits();
    for (int i = 0; i < 16; ++i, bits >>= 4)
        name.push_back(kHex[bits & 15]);
    name += ".tmp";
    return name;
}

LineWriter::LineWriter(const std::string& path, Mode mode) : path_(path), mode_(mode) {
    if (mode_ == Mode::Replace) {
        for (int attempt = 0; fd_ < 0; ++attempt) {
            writePath_ = TemporaryNameBeside(path_);
            fd_ = ::open(writePath_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                         0666);
            if (fd_ < 0 && (errno != EEXIST || attempt > 100))
                ThrowIoError(errno, path_, true);
        }
    } else {
        writePath_ = path_;
        fd_ = ::open(writePath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd_ < 0)
            ThrowIoError(errno, path_, true);
    }
    buffer_.reserve(kFlushAt + 4096);
}

LineWriter::~LineWriter() {
    if (fd_ >= 0)
        ::close(fd_);
    if (!handedOver_ && mode_ == Mode::Replace)
        ::unlink(writePath_.c_str());
}

void LineWriter::Flush() {
    const char* p = buffer_.data();
    std::size_t left = buffer_.size();
    while (left > 0) {
        ssize_t n = ::write(fd_, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            ThrowIoError(n < 0 ? errno : ENOSPC, path_);
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    buffer_.clear();
}

void LineWriter::WriteOutAndClose() {
    Flush();
    // A replacing file must be on disk before its name replaces the previous report: a crash
    // after the rename must not leave an empty report in place of a good one.
    if (mode_ == Mode::Replace && ::fsync(fd_) != 0)
        ThrowIoError(errno, path_);
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
    return {writePath_, path_};
}

}  // namespace k32
