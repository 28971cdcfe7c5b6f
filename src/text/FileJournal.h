#pragma once
// The journal of a set of files that replace their targets together. It is written, complete
// and on disk, before the first target changes, and removed once every target is in place; a
// run killed in between leaves it for the next run on the same reports, which reads it first
// and either puts the remaining files in place or removes them (see PendingFiles.h). Besides
// the files it holds facts that decide which of the two (which history record the files belong
// to); this layer keeps them without reading them.
//
// Commits and recoveries in one folder hold the folder's lock (FolderLock), so that a journal
// found by a run is never one that a live run is still working through.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "text/TemporaryFiles.h"

namespace k32 {

struct FileJournal {
    struct File {
        std::string temporary, target;
    };
    std::vector<std::pair<std::string, std::string>> facts;
    std::vector<File> files;
    // False for a file at the journal's name that is not a whole journal of this program.
    bool readable = true;

    // The value of a fact; empty when there is none.
    std::string Fact(std::string_view key) const;
};

// Where the journal of the reports of `basePath` lies: a hidden file beside them.
std::string JournalPathOf(const std::string& basePath);

// Writes the journal at `path` through a temporary file, on disk before it takes its name.
// Raises the input/output error naming `path`.
void WriteJournal(const std::string& path, const FileJournal& journal);

// The journal at `path`; none when there is no such file. A journal that is not the program's
// own whole journal, or one whose files lie outside its folder or are not temporary files of
// `targets`, is not readable: nothing is done after it.
std::optional<FileJournal> ReadJournal(const std::string& path,
                                       const std::vector<std::string>& targets);

// Removes the journal and makes the removal durable; never throws.
void RemoveJournal(const std::string& path);

// Makes the renames and removals in the folder of `path` durable; 0 or the error.
int SyncFolderOf(const std::string& path);

// The exclusive lock of the folder of `path`, held while the object lives. A folder that
// cannot be opened for it goes without: the lock only orders runs of the same reports.
class FolderLock {
  public:
    explicit FolderLock(const std::string& path);

  private:
    UniqueFd fd_;
};

}  // namespace k32
