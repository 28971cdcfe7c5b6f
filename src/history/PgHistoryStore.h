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

#include "history/HistoryStore.h"

typedef struct pg_conn PGconn;
typedef struct pg_result PGresult;

namespace k32 {

struct PgClient;

// True for a keyword of a connection string in the keyword=value form ("host", "dbname",
// "service", ...), in lower case as the client library spells them.
bool IsConnectionKeyword(std::string_view word);

// The connection string as the client library takes it: a URI's scheme, which may be typed in
// any letter case, in lower case, the only case the library knows. Anything else as it is.
std::string ClientConnectionString(const std::string& conninfo);

// The connection string as it may be shown, never with a password or any part of one. Read as
// the client library reads it (the library is loaded for that): a URI keeps its form without
// the password of its user information and without password parameters; a keyword=value string
// is rebuilt from its options without the password ones. A string that cannot be read, that the
// library reads otherwise than its text suggests (a password holding an unescaped "@" or "/"),
// or that would still show a password is shown only as "(connection string not shown)" after
// its scheme; so is a keyword=value string when the library cannot be loaded.
std::string ConnectionStringWithoutPassword(const std::string& conninfo);

// The byte ranges [first, second) of a server location that hold a password or may: the password
// of a URI's user information (up to the last "@" before the query, when the password itself
// holds an "@" or a "/"), and the values of password parameters and password keywords. Read
// from the text alone, without the client library; empty for a location without a password.
std::vector<std::pair<std::size_t, std::size_t>> PasswordSpans(std::string_view conninfo);

// True when a server location holds a password: one of PasswordSpans, or one that the client
// library (when it can be loaded) reads in it.
bool HasPassword(const std::string& conninfo);

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
