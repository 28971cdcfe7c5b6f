#include "text/LineWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "text/Errors.h"

namespace k32 {

LineWriter::LineWriter(const std::string& path, Mode mode) : path_(path), mode_(mode) {
    if (mode_ == Mode::Replace) {
        // A short unique name in the target's folder, so that the rename stays within one file
        // system and a target name near the length limit still leaves room for it.
        const auto slash = path_.rfind('/');
        const std::string folder = slash == std::string::npos ? "" : path_.substr(0, slash + 1);
        for (int attempt = 0; fd_ < 0; ++attempt) {
            writePath_ = folder + ".kestrama32-" + std::to_string(::getpid()) + "-" +
                         std::to_string(attempt) + ".tmp";
            fd_ = ::open(writePath_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
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
    if (!committed_ && mode_ == Mode::Replace)
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

void LineWriter::Commit() {
    Flush();
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0)
        ThrowIoError(errno, path_);
    if (mode_ == Mode::Replace && std::rename(writePath_.c_str(), path_.c_str()) != 0)
        ThrowIoError(errno, path_, true);
    committed_ = true;
}

}  // namespace k32
