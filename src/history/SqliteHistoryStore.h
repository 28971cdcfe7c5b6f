#pragma once
// The history store in an SQLite file, in WAL mode, so that runs read it while another records.
// Recordings into one file take turns: each holds the file's write lock from its first row to
// its commit, and the others wait for it (HistoryStore::Begin).

#include <chrono>
#include <string>

#include "history/HistoryStore.h"

struct sqlite3;
struct sqlite3_stmt;

namespace k32 {

class SqliteHistoryStore : public HistoryStore {
  public:
    // Opens or creates the file; raises the input/output error naming it on failure.
    explicit SqliteHistoryStore(const std::string& path);
    ~SqliteHistoryStore() override;
    SqliteHistoryStore(const SqliteHistoryStore&) = delete;
    SqliteHistoryStore& operator=(const SqliteHistoryStore&) = delete;

    std::vector<HistoryRun> Runs(const std::string& poName, const std::string& poPath) override;
    std::vector<HistoryRun> LatestRuns() override;
    std::vector<HistoryRun> AllRuns() override;
    bool ForgetRun(std::int64_t runId) override;
    std::vector<MailboxPoint> MailboxOverTime(const std::string& poName, const std::string& poPath,
                                              const std::string& username) override;
    bool HoldsRun(const HistoryRun& run) override;
    void ForEachMailbox(std::int64_t runId, const EachMailbox& each) override;
    void ForEachSize(std::int64_t runId, const EachSize& each) override;

  protected:
    void BeginWrite() override;
    std::int64_t RecordRun(const HistorySnapshot& snapshot) override;
    std::int64_t RecordRunRows(const HistoryRun& run, std::size_t count,
                               const FillMailbox& fill) override;
    void CommitWrite() override;
    void RollbackWrite() noexcept override;

  private:
    // Makes a new store file with its schema at the path, which does not exist.
    void CreateNew();
    // Opens the connection, checks the schema version and creates or upgrades the schema.
    void Open();
    [[noreturn]] void Fail(const std::string& what) const;
    // Rolls back an open transaction and raises the write error ("Disk full" for a full disk).
    [[noreturn]] void FailWrite();
    void Exec(const char* sql);
    // Steps a statement: true for a row, false at its end. Any other result raises the error
    // with SQLite's reason (the write error, after rolling back, when `writing`), so that a
    // failed read never passes for the end of the rows.
    bool Step(sqlite3_stmt* st, bool writing);
    // Replaces a run of the same post office and processed-on text by `run`, without its
    // mailboxes; returns its id.
    std::int64_t RecordRunOnly(const HistoryRun& run);

    // Waits while another connection holds the file (see HistoryStore::Begin); 0 gives up.
    static int Busy(void* self, int count);

    std::string path_;
    sqlite3* db_ = nullptr;
    bool inTransaction_ = false;
    std::chrono::steady_clock::time_point busySince_;
    bool waitNoticed_ = false, waitStopped_ = false;
};

}  // namespace k32
