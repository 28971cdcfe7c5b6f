#include "text/PendingFiles.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "text/Errors.h"

namespace k32 {

namespace {

// Keeps a second name for the file at `target` (a link, so the file itself is untouched, and a
// symbolic link stays a link): the way back if a later file of the set cannot be put in place.
// Empty when there is no such file, or when the file system has no hard links.
std::string KeepPrevious(const std::string& target) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string keep = TemporaryNameBeside(target);
        if (::link(target.c_str(), keep.c_str()) == 0)
            return keep;
        if (errno != EEXIST)
            return {};
    }
    return {};
}

struct Replaced {
    std::string target, previous;  // previous: its kept name, empty when there was none
    bool hadPrevious;
};

}  // namespace

PendingFiles::~PendingFiles() {
    for (const FinishedFile& f : files_)
        ::unlink(f.temporary.c_str());
}

void PendingFiles::CommitAll(const std::function<void()>& lastStep) {
    std::vector<Replaced> done;
    // Puts back every target replaced so far.
    auto undo = [&done] {
        for (auto it = done.rbegin(); it != done.rend(); ++it) {
            // A way back that cannot be taken is kept: it holds the previous content.
            if (!it->previous.empty())
                std::rename(it->previous.c_str(), it->target.c_str());
            else if (!it->hadPrevious)
                ::unlink(it->target.c_str());
        }
    };
    for (std::size_t i = 0; i < files_.size(); ++i) {
        const FinishedFile& f = files_[i];
        struct stat st {};
        Replaced r{f.target, {}, ::lstat(f.target.c_str(), &st) == 0};
        // The last file needs no way back when nothing after it can fail.
        if (i + 1 < files_.size() || lastStep)
            r.previous = KeepPrevious(f.target);
        if (std::rename(f.temporary.c_str(), f.target.c_str()) != 0) {
            const int err = errno;
            ::unlink(r.previous.c_str());
            undo();
            ThrowIoError(err, f.target, true);  // the destructor removes the temporaries
        }
        done.push_back(std::move(r));
        files_[i].temporary.clear();
    }
    if (lastStep) {
        try {
            lastStep();
        } catch (...) {
            undo();
            files_.clear();
            throw;
        }
    }
    for (const Replaced& r : done)
        if (!r.previous.empty())
            ::unlink(r.previous.c_str());
    files_.clear();
    for (auto& action : afterCommit_)
        action();
    afterCommit_.clear();
}

}  // namespace k32
