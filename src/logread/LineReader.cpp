#include "logread/LineReader.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "text/Errors.h"

namespace k32 {

namespace {
constexpr std::size_t kBlockSize = 1 << 20;
}

LineReader::LineReader(const std::string& path, std::size_t lineCap)
    : path_(path), cap_(lineCap), block_(kBlockSize) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) ThrowIoError(errno, path);
    ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
    longLine_.reserve(cap_ + 1);
}

LineReader::~LineReader() {
    if (fd_ >= 0) ::close(fd_);
}

bool LineReader::Refill() {
    pos_ = end_ = 0;
    if (eof_) return false;
    for (;;) {
        ssize_t n = ::read(fd_, block_.data(), block_.size());
        if (n > 0) {
            end_ = static_cast<std::size_t>(n);
            return true;
        }
        if (n == 0) {
            eof_ = true;
            return false;
        }
        if (errno != EINTR) ThrowIoError(errno, path_);
    }
}

bool LineReader::AtEnd() { return pos_ == end_ && !Refill(); }

bool LineReader::Next(std::string_view& line) {
    if (pos_ == end_ && !Refill()) return false;
    ++lineNumber_;
    const char* start = block_.data() + pos_;
    if (const void* nl = std::memchr(start, '\n', end_ - pos_)) {
        // The common case: the whole line lies in the block.
        std::size_t len = static_cast<const char*>(nl) - start;
        pos_ += len + 1;
        if (len > 0 && start[len - 1] == '\r') --len;
        line = std::string_view(start, len < cap_ ? len : cap_);
        return true;
    }
    // The line runs past the block: keep its first cap_ + 1 bytes and skip the rest.
    longLine_.clear();
    std::uint64_t total = 0;
    char last = 0;
    bool endedByLf = false;
    for (;;) {
        const char* s = block_.data() + pos_;
        std::size_t avail = end_ - pos_;
        const void* nl = std::memchr(s, '\n', avail);
        std::size_t take = nl ? static_cast<std::size_t>(static_cast<const char*>(nl) - s) : avail;
        std::size_t room = cap_ + 1 - longLine_.size();
        longLine_.insert(longLine_.end(), s, s + (take < room ? take : room));
        if (take > 0) last = s[take - 1];
        total += take;
        if (nl) {
            pos_ += take + 1;
            endedByLf = true;
            break;
        }
        if (!Refill()) break;
    }
    if (endedByLf && total > 0 && last == '\r') --total;
    std::size_t len = total < cap_ ? static_cast<std::size_t>(total) : cap_;
    line = std::string_view(longLine_.data(), len);
    return true;
}

}  // namespace k32
