#pragma once
// The history store in a PostgreSQL database, for several machines that share one history: the
// same tables and columns as the file store, the texts kept as UTF-8. The client library is
// loaded at run time (history/PgClient.h).

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "history/ConnectionString.h"
#include "history/HistoryStore.h"

typedef struct pg_conn PGconn;
typedef struct pg_result PGresult;

namespace k32 {

struct PgClient;

class PgHistoryStore : public HistoryStore {
  public:
    // Connects, checks the schema version and creates the schema on first use; raises the
    // input/output error naming the connection string (without its password) on failure.
    explicit PgHistoryStore(const std::string& conninfo);
    ~PgHistoryStore() override;
    PgHistoryStore(const PgHistoryStore&) = delete;
    PgHistoryStore& operator=(const PgHistoryStore&) = delete;

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
    struct Finish {
        const PgClient* pq;
        void operator()(PGconn* c) const noexcept;
    };
    struct Clear {
        const PgClient* pq;
        void operator()(PGresult* r) const noexcept;
    };
    using Result = std::unique_ptr<PGresult, Clear>;

    void CreateOrCheckSchema();
    // Raises the input/output error: what failed, then the server's or the library's reason.
    // A failed write rolls back the open transaction first.
    [[noreturn]] void Fail(const std::string& what, const std::string& detail) const;
    [[noreturn]] void FailWrite(const std::string& detail);
    // Runs a statement and checks that it ends as `want`; on any other end raises the error
    // (read or write, as `writing` says).
    Result Exec(const char* sql, int want, bool writing);
    Result Params(const char* sql, const std::vector<std::string>& values, int want, bool writing);
    // Every result of a statement passes here: returns it when its status is `want`, else
    // raises the error with the server's or the library's reason.
    Result Checked(PGresult* r, int want, bool writing);
    // Runs a query and hands its rows to `each` one at a time as they arrive (each a result of
    // one row), so that a large result is never held whole. A query that fails, at its start
    // or after some rows, raises the read error; the connection then takes the next statement.
    void ForEachRow(const std::string& sql, const std::vector<std::string>& values,
                    const std::function<void(const PGresult* row)>& each);
    // Reads and drops what is left of the statement sent last.
    void Drain() noexcept;
    void CopyMailboxes(std::int64_t runId, std::size_t count, const FillMailbox& fill);

    const PgClient& pq_;
    std::string where_;
    std::unique_ptr<PGconn, Finish> conn_;
    bool inTransaction_ = false;
};

}  // namespace k32
