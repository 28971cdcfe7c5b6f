#include "text/FileJournal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>

#include "text/Errors.h"

namespace k32 {

namespace {

constexpr std::string_view kFirstLine = "kestrama32 journal 1";

// A value on one line without spaces: backslash, space and line ends escaped.
std::string Escaped(std::string_view s) {
    std::string out;
    for (char c : s) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case ' ':
                out += "\\s";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::optional<std::string> Unescaped(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\') {
            out += s[i];
            continue;
        }
        if (++i == s.size())
            return std::nullopt;
        switch (s[i]) {
            case '\\':
                out += '\\';
                break;
            case 's':
                out += ' ';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            default:
                return std::nullopt;
        }
    }
    return out;
}

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    while (!line.empty()) {
        const auto space = line.find(' ');
        words.push_back(line.substr(0, space));
        line = space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
    }
    return words;
}

// True when `temporary` is a name that TemporaryNameBeside gives for `target`.
bool IsTemporaryOf(const std::string& temporary, const std::string& target) {
    const std::string model = TemporaryNameBeside(target);
    // Everything but the random part agrees: the folder, the prefix and the target's tag.
    const std::size_t random = model.size() - 16 - 4;
    return temporary.size() == model.size() &&
           temporary.compare(0, random, model, 0, random) == 0 && temporary.ends_with(".tmp") &&
           temporary.find_first_not_of("0123456789abcdef", random) == model.size() - 4;
}

FileJournal Unreadable() {
    FileJournal j;
    j.readable = false;
    return j;
}

}  // namespace

std::string FileJournal::Fact(std::string_view key) const {
    for (const auto& [k, v] : facts)
        if (k == key)
            return v;
    return {};
}

std::string JournalPathOf(const std::string& basePath) {
    // Named by a hash of the base name, so that a long base name still leaves room for it.
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx",
                  static_cast<unsigned long long>(FileNameHash(basePath)));
    return FolderOf(basePath) + ".kestrama32-" + hex + ".journal";
}

void WriteJournal(const std::string& path, const FileJournal& journal) {
    std::string text(kFirstLine);
    text += '\n';
    for (const auto& [key, value] : journal.facts)
        text += "fact " + Escaped(key) + ' ' + Escaped(value) + '\n';
    for (const FileJournal::File& f : journal.files)
        text += "file " + Escaped(f.temporary) + ' ' + Escaped(f.target) + '\n';
    text += "end\n";
    // Readable by its owner only: the facts may name a database.
    LockedTemporary t = CreateLockedTemporary(path, 0600);
    auto fail = [&](int err) {
        ::unlink(t.path.c_str());
        ThrowIoError(err, path);
    };
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(t.fd.get(), text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            fail(n < 0 ? errno : ENOSPC);
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(t.fd.get()) != 0)
        fail(errno);
    if (std::rename(t.path.c_str(), path.c_str()) != 0)
        fail(errno);
    if (const int err = SyncFolderOf(path); err != 0) {
        ::unlink(path.c_str());
        ThrowIoError(err, path);
    }
}

std::optional<FileJournal> ReadJournal(const std::string& path,
                                       const std::vector<std::string>& targets) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd) {
        struct stat st {};
        if (errno == ENOENT || ::lstat(path.c_str(), &st) != 0)
            return std::nullopt;
        return Unreadable();
    }
    // Only a journal of this user's own is followed: another user who can write the folder
    // cannot make this run rename files.
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() ||
        st.st_size > (1 << 20))
        return Unreadable();
    std::string text(static_cast<std::size_t>(st.st_size), '\0');
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t n = ::read(fd.get(), text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return Unreadable();
        done += static_cast<std::size_t>(n);
    }
    FileJournal journal;
    std::string_view rest = text;
    bool first = true, ended = false;
    while (!rest.empty() && !ended) {
        const auto end = rest.find('\n');
        if (end == std::string_view::npos)
            return Unreadable();
        const std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end + 1);
        const std::vector<std::string_view> words = Words(line);
        if (first) {
            if (line != kFirstLine)
                return Unreadable();
            first = false;
        } else if (line == "end") {
            ended = true;
        } else if (words.size() == 3 && (words[0] == "fact" || words[0] == "file")) {
            const auto a = Unescaped(words[1]), b = Unescaped(words[2]);
            if (!a || !b)
                return Unreadable();
            if (words[0] == "fact")
                journal.facts.emplace_back(*a, *b);
            else
                journal.files.push_back({*a, *b});
        } else {
            return Unreadable();
        }
    }
    if (!ended || !rest.empty())
        return Unreadable();
    for (const FileJournal::File& f : journal.files) {
        bool known = false;
        for (const std::string& t : targets)
            known = known || f.target == t;
        if (!known || !IsTemporaryOf(f.temporary, f.target))
            return Unreadable();
    }
    return journal;
}

void RemoveJournal(const std::string& path) {
    if (::unlink(path.c_str()) == 0)
        SyncFolderOf(path);
}

int SyncFolderOf(const std::string& path) {
    const std::string folder = FolderOf(path);
    UniqueFd fd(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd)
        return errno;
    return ::fsync(fd.get()) == 0 ? 0 : errno;
}

FolderLock::FolderLock(const std::string& path) {
    const std::string folder = FolderOf(path);
    fd_ =
        UniqueFd(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd_)
        while (::flock(fd_.get(), LOCK_EX) != 0 && errno == EINTR) {
        }
}

}  // namespace k32
