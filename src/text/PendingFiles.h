#pragma once
// Files that replace their targets together or not at all. Writers hand over their finished
// temporary files; CommitAll renames them over their targets one after the other and, when a
// rename fails, puts the targets already replaced back as they were. Whoever reads the targets
// then finds all the previous files or all the new ones.

#include <functional>
#include <string>
#include <vector>

#include "text/LineWriter.h"

namespace k32 {

class PendingFiles {
  public:
    PendingFiles() = default;
    PendingFiles(const PendingFiles&) = delete;
    PendingFiles& operator=(const PendingFiles&) = delete;
    // Removes the temporary files of a set that was never committed.
    ~PendingFiles();

    void Add(FinishedFile file) { files_.push_back(std::move(file)); }
    // Takes over the files and actions of `other`, which is left empty.
    void TakeFrom(PendingFiles& other) {
        for (auto& f : other.files_)
            files_.push_back(std::move(f));
        for (auto& a : other.afterCommit_)
            afterCommit_.push_back(std::move(a));
        other.files_.clear();
        other.afterCommit_.clear();
    }
    // An action that needs the new files in place (showing a report); runs after CommitAll.
    void AfterCommit(std::function<void()> action) { afterCommit_.push_back(std::move(action)); }

    // Puts every file in place, then runs the actions. Raises the input/output error naming the
    // target that could not be replaced; every target is then as it was before, and no
    // temporary file is left. On a file system without hard links a target replaced before the
    // failing one cannot be restored and keeps its new content. `lastStep`, when given, runs
    // once every file is in place (committing a database transaction that belongs with the
    // files); when it throws, the targets are put back as they were and its error passes on.
    void CommitAll(const std::function<void()>& lastStep = {});

  private:
    std::vector<FinishedFile> files_;
    std::vector<std::function<void()>> afterCommit_;
};

}  // namespace k32
