#include "text/TemporaryFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <string_view>

#include "text/Errors.h"

namespace k32 {

namespace {

constexpr std::string_view kPrefix = ".kestrama32-";
constexpr std::string_view kSuffix = ".tmp";
constexpr char kHex[] = "0123456789abcdef";

std::uint64_t RandomBits() {
    std::uint64_t bits = 0;
    if (::getrandom(&bits, sizeof bits, GRND_NONBLOCK) == static_cast<ssize_t>(sizeof bits))
        return bits;
    // No entropy yet (early boot): the name is still created exclusively, it is only easier to
    // guess, so a clash costs a retry and never opens someone else's file.
    static std::atomic<std::uint64_t> counter = 0;  // both reports are named at the same time
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    return static_cast<std::uint64_t>(now) * 0x9E3779B97F4A7C15ull ^
           (static_cast<std::uint64_t>(::getpid()) << 32) ^ ++counter;
}

void AppendHex(std::string& out, std::uint64_t bits, int digits) {
    for (int i = 0; i < digits; ++i, bits >>= 4)
        out.push_back(kHex[bits & 15]);
}

// What the temporaries of `target` are named by: 32 bits of the hash of its file name.
std::string TargetTag(std::string_view target) {
    const std::uint64_t h = FileNameHash(target);
    std::string tag;
    AppendHex(tag, h ^ (h >> 32), 8);
    return tag;
}

// True when `fd` is still the file named `path` (a cleaner may have removed the name between
// its creation and the lock).
bool StillNamed(int fd, const std::string& path) {
    struct stat open {
    }, named{};
    return ::fstat(fd, &open) == 0 && ::lstat(path.c_str(), &named) == 0 &&
           open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

}  // namespace

std::string FolderOf(std::string_view path) {
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

std::uint64_t FileNameHash(std::string_view path) {
    const auto slash = path.rfind('/');
    std::uint64_t h = 0xcbf29ce484222325ull;  // 64-bit FNV-1a
    for (unsigned char c : path.substr(slash == std::string_view::npos ? 0 : slash + 1)) {
        h ^= c;
        h *= 0x100000001b3ull;
    }
    return h;
}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        Reset();
        fd_ = other.Release();
    }
    return *this;
}

int UniqueFd::Reset() {
    if (fd_ < 0)
        return 0;
    const int result = ::close(Release());
    return result == 0 ? 0 : errno;
}

std::string TemporaryNameBeside(const std::string& path) {
    // Short, so that a target name near the length limit still leaves room for it, and in the
    // target's folder, so that the rename stays within one file system.
    std::string name = FolderOf(path);
    name += kPrefix;
    name += TargetTag(path);
    name += '-';
    AppendHex(name, RandomBits(), 16);
    name += kSuffix;
    return name;
}

LockedTemporary CreateLockedTemporary(const std::string& target, int mode) {
    for (int attempt = 0;; ++attempt) {
        LockedTemporary t{TemporaryNameBeside(target), {}};
        t.fd = UniqueFd(::open(t.path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                               static_cast<mode_t>(mode)));
        if (!t.fd) {
            if (errno != EEXIST || attempt > 100)
                ThrowIoError(errno, target, true);
            continue;
        }
        // Waits for a cleaner that took the new file for a stale one; it then has removed the
        // name, and another is chosen.
        while (::flock(t.fd.get(), LOCK_EX) != 0)
            if (errno != EINTR)
                ThrowIoError(errno, target, true);
        if (StillNamed(t.fd.get(), t.path))
            return t;
    }
}

std::vector<std::string> RemoveStaleTemporaries(const std::vector<std::string>& targets) {
    std::vector<std::string> removed;
    if (targets.empty())
        return removed;
    const std::string folder = FolderOf(targets.front());
    std::vector<std::string> tags;
    for (const std::string& t : targets)
        tags.push_back(TargetTag(t));
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return removed;
    while (const dirent* e = ::readdir(dir)) {
        const std::string_view name = e->d_name;
        if (!name.starts_with(kPrefix) || !name.ends_with(kSuffix))
            continue;
        const std::size_t middle = name.size() - kPrefix.size() - kSuffix.size();
        // .kestrama32-TTTTTTTT-RRRRRRRRRRRRRRRR.tmp, or the untagged name of earlier versions,
        // .kestrama32-RRRRRRRRRRRRRRRR.tmp, which says neither its target nor (without a lock)
        // whether its writer lives: such a file is taken for stale after an hour untouched.
        const bool untagged = middle == 16;
        if (middle != 8 + 1 + 16 && !untagged)
            continue;
        const std::string_view tag = name.substr(kPrefix.size(), 8);
        bool ours = untagged;
        for (const std::string& t : tags)
            ours = ours || tag == t;
        if (!ours)
            continue;
        const std::string path = folder + std::string(name);
        UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat st {};
        if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        if (untagged && std::time(nullptr) - st.st_mtime < 3600)
            continue;
        // Held by nobody: its writer is gone. The name is removed under the lock, so that a
        // writer that has just created it sees it gone and picks another.
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0 || !StillNamed(fd.get(), path))
            continue;
        if (::unlink(path.c_str()) == 0)
            removed.push_back(path);
    }
    ::closedir(dir);
    return removed;
}

}  // namespace k32
