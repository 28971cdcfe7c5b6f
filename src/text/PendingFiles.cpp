#include "text/PendingFiles.h"

#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fcntl.h>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <optional>

#include "text/Errors.h"

namespace k32 {

namespace {

// A second name for the file at `target` (a link, so the file itself is untouched, and a
// symbolic link stays a link): the way back if a later file of the set cannot be put in place.
// The link is a temporary file of the target and is held under its lock like one, so that no
// cleaner takes it for a stale file. Empty when there is no such file, or when the file system
// has no hard links.
struct Previous {
    std::string name;
    UniqueFd lock;
};

Previous KeepPrevious(const std::string& target) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        Previous keep{TemporaryNameBeside(target), {}};
        if (::link(target.c_str(), keep.name.c_str()) != 0) {
            if (errno != EEXIST)
                return {};
            continue;
        }
        // A symbolic link cannot be opened without following it; no cleaner opens it either.
        keep.lock =
            UniqueFd(::open(keep.name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        if (!keep.lock)
            return keep;
        while (::flock(keep.lock.get(), LOCK_EX) != 0 && errno == EINTR) {
        }
        struct stat named {};
        if (::lstat(keep.name.c_str(), &named) == 0)
            return keep;  // still there: no cleaner took it before the lock
    }
    return {};
}

struct Replaced {
    std::string target;
    Previous previous;  // its kept name, empty when there was none
    bool hadPrevious;
};

// Renames `from` over `to`; a failure is tried twice more, as after a commit the rename must
// happen. 0 or the error.
int RenameInsisting(const std::string& from, const std::string& to, int tries) {
    int err = 0;
    for (int i = 0; i < tries; ++i) {
        if (std::rename(from.c_str(), to.c_str()) == 0)
            return 0;
        err = errno;
        if (err == ENOENT || err == EISDIR || err == ENOTDIR)
            break;
    }
    return err;
}

}  // namespace

PendingFiles::~PendingFiles() {
    for (const FinishedFile& f : files_)
        if (!f.temporary.empty())
            ::unlink(f.temporary.c_str());
}

void PendingFiles::CommitAll(const std::function<void()>& lastStep) {
    const bool journal = !journalPath_.empty();
    std::optional<FolderLock> folderLock;
    if (journal)
        folderLock.emplace(journalPath_);
    // A folder at a target's name cannot be replaced: found before anything is committed.
    for (const FinishedFile& f : files_) {
        struct stat st {};
        if (::lstat(f.target.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            ThrowIoError(EISDIR, f.target, true);
    }
    if (journal) {
        FileJournal j{journalFacts_, {}, true};
        for (const FinishedFile& f : files_)
            j.files.push_back({f.temporary, f.target});
        WriteJournal(journalPath_, j);
    }
    if (lastStep) {
        try {
            lastStep();
        } catch (...) {
            if (journal)
                RemoveJournal(journalPath_);
            throw;
        }
        RenameAllAfterCommit();
    } else {
        RenameAllOrUndo();
    }
    if (journal) {
        // The new names on disk before the journal goes: a power cut then finds one or the other.
        SyncFolderOf(journalPath_);
        RemoveJournal(journalPath_);
    }
    files_.clear();
    for (auto& action : afterCommit_)
        action();
    afterCommit_.clear();
}

void PendingFiles::RenameAllOrUndo() {
    std::vector<Replaced> done;
    // Puts back every target replaced so far.
    auto undo = [&done] {
        for (auto it = done.rbegin(); it != done.rend(); ++it) {
            // A way back that cannot be taken is kept: it holds the previous content.
            if (!it->previous.name.empty())
                std::rename(it->previous.name.c_str(), it->target.c_str());
            else if (!it->hadPrevious)
                ::unlink(it->target.c_str());
        }
    };
    for (std::size_t i = 0; i < files_.size(); ++i) {
        FinishedFile& f = files_[i];
        struct stat st {};
        Replaced r{f.target, {}, ::lstat(f.target.c_str(), &st) == 0};
        // The last file needs no way back when nothing after it can fail.
        if (i + 1 < files_.size())
            r.previous = KeepPrevious(f.target);
        if (const int err = RenameInsisting(f.temporary, f.target, 1); err != 0) {
            if (!r.previous.name.empty())
                ::unlink(r.previous.name.c_str());
            undo();
            if (!journalPath_.empty())
                RemoveJournal(journalPath_);
            ThrowIoError(err, f.target, true);  // the destructor removes the temporaries
        }
        done.push_back(std::move(r));
        f.temporary.clear();
        f.lock.Reset();
    }
    for (const Replaced& r : done)
        if (!r.previous.name.empty())
            ::unlink(r.previous.name.c_str());
}

void PendingFiles::RenameAllAfterCommit() {
    int firstError = 0;
    std::string failed;
    for (FinishedFile& f : files_) {
        if (const int err = RenameInsisting(f.temporary, f.target, 3); err != 0) {
            if (firstError == 0) {
                firstError = err;
                failed = f.target;
            }
            continue;
        }
        f.temporary.clear();
        f.lock.Reset();
    }
    if (firstError == 0)
        return;
    // The record is committed: the files that could not follow stay, with the journal, for
    // the next run to put in place. Without a journal they are removed.
    if (!journalPath_.empty())
        for (FinishedFile& f : files_)
            f.temporary.clear();
    ThrowIoError(firstError, failed, true);
}

Recovery RecoverFiles(const std::string& journalPath, const std::vector<std::string>& targets,
                      const std::function<bool(const FileJournal&)>& finish) {
    FolderLock lock(journalPath);
    const std::optional<FileJournal> journal = ReadJournal(journalPath, targets);
    if (!journal)
        return Recovery::None;
    if (!journal->readable) {
        // Not ours to follow; removed only when it is a file of this user's.
        struct stat st {};
        if (::lstat(journalPath.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            st.st_uid == ::geteuid())
            RemoveJournal(journalPath);
        return Recovery::Unreadable;
    }
    // With facts but nobody to weigh them, the files are removed: the safe way when in doubt.
    const bool forward = journal->facts.empty() || (finish && finish(*journal));
    for (const FileJournal::File& f : journal->files) {
        struct stat st {};
        if (::lstat(f.temporary.c_str(), &st) != 0)
            continue;  // already in place
        if (!forward || RenameInsisting(f.temporary, f.target, 3) != 0)
            ::unlink(f.temporary.c_str());
    }
    SyncFolderOf(journalPath);
    RemoveJournal(journalPath);
    return forward ? Recovery::Finished : Recovery::Undone;
}

}  // namespace k32
