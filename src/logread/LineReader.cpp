#include "logread/LineReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "text/Errors.h"
#include "text/KeywordSearcher.h"

namespace k32 {

namespace {
constexpr std::size_t kBlockSize = 1 << 20;
}

LineReader::LineReader(const std::string& path, std::size_t lineCap, std::uint64_t begin,
                       std::uint64_t end)
    : path_(path), cap_(lineCap), block_(kBlockSize) {
    // Non-blocking, so that a FIFO without a writer cannot hang the run before its type is
    // known; a log is a regular file, for which the flag changes nothing.
    fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0)
        ThrowIoError(errno, path);
    struct stat st {};
    const int err = ::fstat(fd_, &st) != 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : 0;
    if (err != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd_);  // the destructor does not run for a constructor that raises
        if (err != 0)
            ThrowIoError(err, path);
        throw KestramaError(ErrorKind::InputOutput, "Not a regular file", path);
    }
    if (begin > 0 && ::lseek(fd_, static_cast<off_t>(begin), SEEK_SET) < 0) {
        const int seekErr = errno;
        ::close(fd_);
        ThrowIoError(seekErr, path);
    }
    blockOffset_ = begin;
    unread_ = end > begin ? end - begin : 0;
    ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
}

LineReader::~LineReader() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool LineReader::FillMore() {
    if (pos_ > 0) {
        std::memmove(block_.data(), block_.data() + pos_, end_ - pos_);
        end_ -= pos_;
        blockOffset_ += pos_;
        pos_ = 0;
    }
    if (unread_ == 0)
        ReachEnd();
    if (eof_ || end_ == block_.size())
        return false;
    for (;;) {
        const std::size_t room = block_.size() - end_;
        ssize_t n = ::read(fd_, block_.data() + end_, unread_ < room ? unread_ : room);
        if (n > 0) {
            if (evidence_)
                scan_.Feed(std::string_view(block_.data() + end_, static_cast<std::size_t>(n)));
            end_ += static_cast<std::size_t>(n);
            unread_ -= static_cast<std::uint64_t>(n);
            if (counted_)
                counted_->fetch_add(static_cast<std::uint64_t>(n), std::memory_order_relaxed);
            return true;
        }
        if (n == 0) {
            ReachEnd();
            return false;
        }
        if (errno != EINTR)
            ThrowIoError(errno, path_);
    }
}

void LineReader::ReachEnd() {
    if (eof_)
        return;
    eof_ = true;
    if (evidence_) {
        scan_.End();
        evidence_->Add(scan_);
    }
}

std::string_view LineReader::Peek() {
    if (pos_ == end_)
        FillMore();
    return std::string_view(block_.data() + pos_, end_ - pos_);
}

std::string_view LineReader::MakeLine(std::size_t start, std::size_t stop, bool endedByLf) {
    std::size_t len = stop - start;
    if (endedByLf && len > 0 && block_[stop - 1] == '\r')
        --len;
    lineOffset_ = blockOffset_ + start;
    anyLine_ = true;
    return std::string_view(block_.data() + start, len < cap_ ? len : cap_);
}

std::string_view LineReader::TakeLongLine() {
    lineOffset_ = blockOffset_ + pos_;
    anyLine_ = true;
    std::size_t keep = cap_ < end_ - pos_ ? cap_ : end_ - pos_;
    longLine_.assign(block_.data() + pos_, block_.data() + pos_ + keep);
    // Skip the rest of the line without holding it.
    for (;;) {
        if (const void* nl = std::memchr(block_.data() + pos_, '\n', end_ - pos_)) {
            pos_ = static_cast<std::size_t>(static_cast<const char*>(nl) - block_.data()) + 1;
            break;
        }
        pos_ = end_;
        if (!FillMore())
            break;
    }
    return std::string_view(longLine_.data(), longLine_.size());
}

bool LineReader::Next(std::string_view& line) {
    for (;;) {
        if (const void* nl = std::memchr(block_.data() + pos_, '\n', end_ - pos_)) {
            std::size_t stop =
                static_cast<std::size_t>(static_cast<const char*>(nl) - block_.data());
            line = MakeLine(pos_, stop, true);
            pos_ = stop + 1;
            return true;
        }
        if (!FillMore()) {
            if (pos_ == end_)
                return false;
            if (eof_) {  // text after the last LF
                line = MakeLine(pos_, end_, false);
                pos_ = end_;
                return true;
            }
            line = TakeLongLine();
            return true;
        }
    }
}

bool LineReader::NextWith(const KeywordSetSearcher& keywords, std::string_view& line,
                          std::uint32_t& found) {
    for (;;) {
        // The complete lines in the buffer: up to the last LF, or all of it at the end of file.
        const char* base = block_.data();
        std::size_t limit = pos_;
        if (const void* last = ::memrchr(base + pos_, '\n', end_ - pos_))
            limit = static_cast<std::size_t>(static_cast<const char*>(last) - base) + 1;
        else if (eof_)
            limit = end_;
        if (pos_ < limit) {
            const auto hit =
                keywords.FirstLineWith(std::string_view(base + pos_, limit - pos_), cap_);
            if (hit.found != 0) {
                const std::size_t start = pos_ + hit.start, stop = pos_ + hit.stop;
                const bool endedByLf = stop < limit;
                line = MakeLine(start, stop, endedByLf);
                pos_ = endedByLf ? stop + 1 : limit;
                found = hit.found;
                return true;
            }
            pos_ = limit;
        }
        if (!FillMore()) {
            if (pos_ == end_)
                return false;
            if (eof_)
                continue;  // the last line, without an LF, is now complete
            line = TakeLongLine();
            if ((found = keywords.Found(line)) != 0)
                return true;
        }
    }
}

std::uint64_t LineReader::LineNumber() const {
    if (!anyLine_)
        return 0;
    // Count the line ends before the line, reading the file again: only errors ask for it.
    int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    std::vector<char> buf(1 << 16);
    std::uint64_t offset = 0, lines = 1;
    while (offset < lineOffset_) {
        std::size_t want = static_cast<std::size_t>(
            lineOffset_ - offset < buf.size() ? lineOffset_ - offset : buf.size());
        ssize_t n = ::pread(fd, buf.data(), want, static_cast<off_t>(offset));
        if (n <= 0)
            break;
        for (ssize_t i = 0; i < n; ++i)
            lines += buf[static_cast<std::size_t>(i)] == '\n';
        offset += static_cast<std::uint64_t>(n);
    }
    ::close(fd);
    return lines;
}

}  // namespace k32
