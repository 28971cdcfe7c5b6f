#pragma once
// The hidden temporary files that a new file is written to before it takes its name, and the
// cleaning up after a writer that was killed. A temporary file is named after its target (a
// short hash of the target's name) and held under an exclusive lock (flock) by its writer from
// its creation until it has taken its name or been removed: a temporary file that nobody holds
// is one whose writer is gone, and may be removed by anyone, while a live writer's file is
// never touched.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace k32 {

// An open descriptor that is closed with its owner.
class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { Reset(); }

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    int Release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    // Closes the descriptor; 0, or the error of close.
    int Reset();

  private:
    int fd_ = -1;
};

// The folder part of `path` with its final "/"; empty for a bare name.
std::string FolderOf(std::string_view path);

// A 64-bit hash (FNV-1a) of the file name of `path`, without its folder: what names the hidden
// files that belong to a file.
std::uint64_t FileNameHash(std::string_view path);

// A name for a temporary file in the folder of `path`: a fixed prefix, a short hash of the
// target's file name (so that the temporaries of one target can be found again), and a random
// part that another user cannot predict. Used with O_CREAT|O_EXCL, so a file or link planted
// under the name is never opened.
std::string TemporaryNameBeside(const std::string& path);

// A new temporary file for `target`, created exclusively and opened for writing under the
// writer's lock. Raises the input/output error naming `target`.
struct LockedTemporary {
    std::string path;
    UniqueFd fd;
};
LockedTemporary CreateLockedTemporary(const std::string& target, int mode = 0666);

// Removes the temporary files of `targets` that no writer holds (left behind by a writer that
// was killed) and returns their names. A file that cannot be examined is left alone.
std::vector<std::string> RemoveStaleTemporaries(const std::vector<std::string>& targets);

}  // namespace k32
