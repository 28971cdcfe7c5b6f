#pragma once
// The history store: every recorded mailbox-statistics run and its mailboxes, in a database
// that administrators may query themselves. One post office is its name and path together;
// recording a log again (same post office, same processed-on text) replaces that run.
//
// Writing is one transaction: Begin returns it, RecordRun or RecordRunRows record through it,
// and Commit ends it; a transaction dropped without Commit is rolled back, so that a run that
// fails or is stopped on the way leaves the store as it was. The reports of the run are put in
// place between recording and Commit, so that a run does all or nothing.
//
// Reading hands the rows over one at a time as the database gives them: a run of many
// mailboxes is never held whole unless the caller keeps it (Mailboxes). A read that fails part
// way raises the store's error; it never passes for the end of the rows.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
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

    // Fills one mailbox row: the i-th of the run (0-based) into a row that is reused from one
    // call to the next, so that its texts keep their storage.
    using FillMailbox = std::function<void(std::size_t i, HistoryMailbox& row)>;

    // An open write transaction of a store, which must outlive it. Used by one thread at a
    // time, like the store.
    class Transaction {
      public:
        Transaction(Transaction&& other) noexcept;
        Transaction& operator=(Transaction&&) = delete;
        Transaction(const Transaction&) = delete;
        Transaction& operator=(const Transaction&) = delete;
        // Rolls back unless committed; never throws.
        ~Transaction();

        // Records the snapshot, replacing a run of the same post office and processed-on
        // text; returns the run's id.
        std::int64_t RecordRun(const HistorySnapshot& snapshot);
        // RecordRun for a run whose `count` mailboxes are handed over one at a time, without a
        // snapshot of them all in memory. `run.mailboxes` and `run.totalMb` are recorded as
        // given.
        std::int64_t RecordRunRows(const HistoryRun& run, std::size_t count,
                                   const FillMailbox& fill);
        // Makes the recorded runs permanent and closes the transaction. A commit that fails
        // raises the store's error and leaves the store as it was.
        void Commit();

      private:
        friend class HistoryStore;
        explicit Transaction(HistoryStore& store) : store_(&store) {}
        HistoryStore& Open() const;

        HistoryStore* store_;  // null once committed (or moved from)
    };

    // Opens a write transaction; raises the store's error when it cannot. While another
    // recorder holds the store, waits for it (a store in a file: up to kRecorderWaitSeconds),
    // calling the waiting notice once; a stop asked for through `stop` ends the wait with
    // RunStopped.
    [[nodiscard]] Transaction Begin();
    void SetWaiting(std::function<void()> notice, std::stop_token stop) {
        waitNotice_ = std::move(notice);
        waitStop_ = std::move(stop);
    }

    // The runs of one post office, oldest first (by processed_at, then id).
    virtual std::vector<HistoryRun> Runs(const std::string& poName, const std::string& poPath) = 0;
    // The newest run of every post office, by name.
    virtual std::vector<HistoryRun> LatestRuns() = 0;
    // Every run of every post office, by post office name, path, then processed_at and id.
    virtual std::vector<HistoryRun> AllRuns() = 0;
    // Deletes the run `runId` and its mailboxes in a write transaction of its own, waiting for
    // another recorder as Begin does; false when the store holds no such run. Raises the
    // store's error when it cannot, leaving the store as it was.
    virtual bool ForgetRun(std::int64_t runId) = 0;
    // The rows of `username` in every run of the post office where it appears, by processed_at,
    // then run id, then the order they were recorded in. Usernames match whatever the letter
    // case of A to Z (a mailbox's name is case-blind); other letters match as they are, on
    // every store alike.
    virtual std::vector<MailboxPoint> MailboxOverTime(const std::string& poName,
                                                      const std::string& poPath,
                                                      const std::string& username) = 0;
    // True when the store holds the run recorded as `run` (its id, post office, processed-on
    // text and time of recording): whether a run that was killed while committing got its
    // record in.
    virtual bool HoldsRun(const HistoryRun& run) = 0;

    // Hands each mailbox of the run, in the order it was recorded, to `each`: a fresh row that
    // the callee may keep or move from.
    using EachMailbox = std::function<void(HistoryMailbox& row)>;
    virtual void ForEachMailbox(std::int64_t runId, const EachMailbox& each) = 0;
    // Every mailbox of the run, in the order it was recorded, all in memory.
    std::vector<HistoryMailbox> Mailboxes(std::int64_t runId);

    // Hands each mailbox of the run, in the order of ForEachMailbox, to `each` with its
    // username and size only; the username is valid during the call. This default reads the
    // whole rows; a store may read only these two columns.
    using EachSize = std::function<void(std::string_view username, std::optional<double> sizeMb)>;
    virtual void ForEachSize(std::int64_t runId, const EachSize& each);

  protected:
    // Sorts runs as AllRuns hands them over, by the texts as the runs hold them, so that every
    // store orders them alike whatever its database's collation.
    static void SortByPostOffice(std::vector<HistoryRun>& runs);

    // What a transaction asks of its store. A write that fails rolls back before it raises.
    virtual void BeginWrite() = 0;
    virtual std::int64_t RecordRun(const HistorySnapshot& snapshot) = 0;
    // This default builds the snapshot; a store may write each row as it comes.
    virtual std::int64_t RecordRunRows(const HistoryRun& run, std::size_t count,
                                       const FillMailbox& fill);
    virtual void CommitWrite() = 0;
    // Rolls back the open transaction, if there is one.
    virtual void RollbackWrite() noexcept = 0;

    std::function<void()> waitNotice_;
    std::stop_token waitStop_;
};

// How long a recording waits for another that holds the store: a cron job of many post offices
// may start dozens of runs into one file at once.
inline constexpr int kRecorderWaitSeconds = 600;

// True when a history location (a /HISTORY: value, the Settings tab's history database) names a
// database on a PostgreSQL server: a "postgresql://" or "postgres://" connection string in any
// letter case, or a keyword=value one, whose first word is an option of the client library
// followed by "=" ("host=db1 dbname=k32", "service=k32"). Anything else is a file, a path with an
// "=" further on too. The one test of it: opening a store, and the Trends tab, which names a
// server without its connection string, ask here.
bool IsServerLocation(std::string_view where);

// Opens (creating when missing) the store that a /HISTORY: value names: a file path for
// SQLite; empty for the default file, whose folders are created; a connection string (see
// IsServerLocation) for a database on a PostgreSQL server. Raises the
// input/output error naming the file (or the connection string without its password) for a
// store that is no such database, a newer schema, or one that cannot be opened.
std::unique_ptr<HistoryStore> OpenHistoryStore(const std::string& where);

// The default store file: $XDG_DATA_HOME/kestrama32/history.sqlite, else
// ~/.local/share/kestrama32/history.sqlite.
std::string DefaultHistoryFile();

}  // namespace k32
