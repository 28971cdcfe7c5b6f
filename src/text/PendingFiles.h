#pragma once
// Files that replace their targets together or not at all. Writers hand over their finished
// temporary files; CommitAll renames them over their targets one after the other. With a
// journal (SetJournal), a run killed at any moment of the commit leaves the next run on the same
// targets what it needs to finish the commit or undo it (RecoverFiles), so that whoever reads
// the targets finds all the previous files or all the new ones.

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "text/FileJournal.h"
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
    // Commits through the journal at `path` (JournalPathOf), which records `facts` for the
    // recovery beside the files.
    void SetJournal(std::string path, std::vector<std::pair<std::string, std::string>> facts = {}) {
        journalPath_ = std::move(path);
        journalFacts_ = std::move(facts);
    }

    // Puts every file in place, then runs the actions. Raises the input/output error naming the
    // target that could not be replaced.
    //
    // `lastStep`, when given, commits what the files belong with (a database transaction); it
    // runs once every file is complete and the journal is written, before any target changes.
    // When it throws, no target has changed, no temporary file is left and its error passes
    // on. Once it has returned, the files must follow: a rename that fails is tried again, and
    // one that still fails leaves the journal and the temporary files for the next run and
    // raises its error.
    //
    // Without `lastStep`, a target that cannot be replaced puts every target replaced before it
    // back as it was (on a file system without hard links such a target keeps its new content)
    // and leaves no temporary file.
    void CommitAll(const std::function<void()>& lastStep = {});

  private:
    void RenameAllOrUndo();
    void RenameAllAfterCommit();

    std::vector<FinishedFile> files_;
    std::vector<std::function<void()>> afterCommit_;
    std::string journalPath_;
    std::vector<std::pair<std::string, std::string>> journalFacts_;
};

// What RecoverFiles did with a journal left by a killed run.
enum class Recovery { None, Finished, Undone, Unreadable };

// Reads the journal at `journalPath` that a killed commit of `targets` left, if there is one,
// and puts its remaining files in place (`finish` decides from the journal's facts, and is not
// asked when there are none) or removes them; then removes the journal. Holds the folder's
// lock meanwhile. A file that cannot be put in place is removed.
Recovery RecoverFiles(const std::string& journalPath, const std::vector<std::string>& targets,
                      const std::function<bool(const FileJournal&)>& finish);

}  // namespace k32
