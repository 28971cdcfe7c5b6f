#pragma once
// The history store: every recorded mailbox-statistics run and its mailboxes, in a database
// that administrators may query themselves. One post office is its name and path together;
// recording a log again (same post office, same processed-on text) replaces that run.
//
// Writing is one transaction: Begin, RecordRun, then Commit (or Rollback). The reports of the
// run are put in place between RecordRun and Commit, so that a run does all or nothing.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "state/HistoryTypes.h"

namespace k32 {

// The schema version this program writes; a store of a newer version is refused.
inline constexpr int kHistorySchemaVersion = 1;

class HistoryStore {
  public:
    virtual ~HistoryStore() = default;

    virtual void Begin() = 0;
    // Records the snapshot, replacing a run of the same post office and processed-on text;
    // returns the run's id.
    virtual std::int64_t RecordRun(const HistorySnapshot& snapshot) = 0;
    virtual void Commit() = 0;
    virtual void Rollback() noexcept = 0;

    // The runs of one post office, oldest first (by processed_at, then id).
    virtual std::vector<HistoryRun> Runs(const std::string& poName, const std::string& poPath) = 0;
    // The newest run of every post office, by name.
    virtual std::vector<HistoryRun> LatestRuns() = 0;
    virtual std::vector<HistoryMailbox> Mailboxes(std::int64_t runId) = 0;
};

// Opens (creating when missing) the store that a /HISTORY: value names: a file path for
// SQLite; empty for the default file, whose folders are created; a "postgresql://" or
// "postgres://" connection string for a database on a PostgreSQL server. Raises the
// input/output error naming the file (or the connection string without its password) for a
// store that is no such database, a newer schema, or one that cannot be opened.
std::unique_ptr<HistoryStore> OpenHistoryStore(const std::string& where);

// The default store file: $XDG_DATA_HOME/kestrama32/history.sqlite, else
// ~/.local/share/kestrama32/history.sqlite.
std::string DefaultHistoryFile();

}  // namespace k32
