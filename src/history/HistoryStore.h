#pragma once
// The history store: every recorded mailbox-statistics run and its mailboxes, in a database
// that administrators may query themselves. One post office is its name and path together;
// recording a log again (same post office, same processed-on text) replaces that run.
//
// Writing is one transaction: Begin, RecordRun, then Commit (or Rollback). The reports of the
// run are put in place between RecordRun and Commit, so that a run does all or nothing.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "history/HistoryTypes.h"

namespace k32 {

// The schema version this program writes; a store of a newer version is refused.
inline constexpr int kHistorySchemaVersion = 1;

// A store is used by one thread at a time (a thread may hand it to another and take it back).
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

    // Fills one mailbox row: the i-th of the run (0-based) into a row that is reused from one
    // call to the next, so that its texts keep their storage.
    using FillMailbox = std::function<void(std::size_t i, HistoryMailbox& row)>;
    // RecordRun for a run whose `count` mailboxes are handed over one at a time, without a
    // snapshot of them all in memory. `run.mailboxes` and `run.totalMb` are recorded as given.
    // This default builds the snapshot; a store may write each row as it comes.
    virtual std::int64_t RecordRunRows(const HistoryRun& run, std::size_t count,
                                       const FillMailbox& fill) {
        HistorySnapshot snapshot{run, std::vector<HistoryMailbox>(count)};
        for (std::size_t i = 0; i < count; ++i)
            fill(i, snapshot.mailboxes[i]);
        return RecordRun(snapshot);
    }

    // Hands each mailbox of the run, in the order of Mailboxes, to `each` with its username and
    // size only; the username is valid during the call. This default reads Mailboxes; a store
    // may read only these two columns.
    using EachSize = std::function<void(std::string_view username, std::optional<double> sizeMb)>;
    virtual void ForEachSize(std::int64_t runId, const EachSize& each) {
        for (const HistoryMailbox& m : Mailboxes(runId))
            each(m.username, m.sizeMb);
    }
};

// True when a history location (a /HISTORY: value, the Settings tab's history database) names a
// database on a PostgreSQL server, by a "postgresql://" or "postgres://" connection string;
// anything else is a file. The one test of it: opening a store, and the Trends tab, which names
// a server without its connection string, ask here.
constexpr bool IsServerLocation(std::string_view where) {
    return where.starts_with("postgresql://") || where.starts_with("postgres://");
}

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
