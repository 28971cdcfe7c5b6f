#include "history/SqliteHistoryStore.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "state/StopCheck.h"
#include "text/Errors.h"
#include "text/TemporaryFiles.h"

namespace k32 {

namespace {

constexpr const char* kSchema = R"(
CREATE TABLE IF NOT EXISTS runs (
    id           INTEGER PRIMARY KEY,
    po_name      TEXT NOT NULL,
    po_path      TEXT NOT NULL,
    gw_version   TEXT NOT NULL,
    language     TEXT NOT NULL,
    processed_on TEXT NOT NULL,
    processed_at TEXT NOT NULL,
    log_path     TEXT NOT NULL,
    log_bytes    INTEGER NOT NULL,
    recorded_at  TEXT NOT NULL,
    mailboxes    INTEGER NOT NULL,
    total_mb     REAL NOT NULL,
    UNIQUE (po_name, po_path, processed_on)
);
CREATE TABLE IF NOT EXISTS mailboxes (
    run_id        INTEGER NOT NULL REFERENCES runs(id) ON DELETE CASCADE,
    username      TEXT NOT NULL,
    fullname      TEXT NOT NULL,
    size_mb       REAL,
    inbox         REAL,
    outbox        REAL,
    wastebin      REAL,
    limit_mb      REAL,
    threshold_pct REAL,
    exceeded      TEXT NOT NULL,
    uid           TEXT NOT NULL
);
CREATE INDEX IF NOT EXISTS mailboxes_by_run ON mailboxes (run_id);
CREATE INDEX IF NOT EXISTS runs_by_post_office ON runs (po_name, po_path, processed_at);
)";

// The history's texts are UTF-8 (history/HistoryRows.h); the file keeps them as they are, so
// that names read right in any SQLite tool, and gives them back as it holds them.
std::string FromStoredText(std::string_view s) {
    return std::string(s);
}

// A prepared statement that finalizes itself.
class Statement {
  public:
    Statement(sqlite3* db, const char* sql) {
        if (sqlite3_prepare_v2(db, sql, -1, &st_, nullptr) != SQLITE_OK)
            st_ = nullptr;
    }
    ~Statement() { sqlite3_finalize(st_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    explicit operator bool() const { return st_ != nullptr; }
    sqlite3_stmt* get() const { return st_; }

    void Text(int i, const std::string& s) {
        sqlite3_bind_text(st_, i, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
    }
    void Int(int i, std::int64_t v) { sqlite3_bind_int64(st_, i, v); }
    void Real(int i, std::optional<double> v) {
        if (v)
            sqlite3_bind_double(st_, i, *v);
        else
            sqlite3_bind_null(st_, i);
    }
    std::string ColumnText(int i) const {
        const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st_, i));
        return t ? FromStoredText({t, static_cast<std::size_t>(sqlite3_column_bytes(st_, i))}) : "";
    }
    std::optional<double> ColumnReal(int i) const {
        if (sqlite3_column_type(st_, i) == SQLITE_NULL)
            return std::nullopt;
        return sqlite3_column_double(st_, i);
    }

  private:
    sqlite3_stmt* st_ = nullptr;
};

constexpr const char* kRunColumns =
    "id, po_name, po_path, gw_version, language, processed_on, processed_at, log_path, "
    "log_bytes, recorded_at, mailboxes, total_mb";
constexpr const char* kMailboxColumns =
    "username, fullname, size_mb, inbox, outbox, wastebin, limit_mb, threshold_pct, exceeded, uid";

HistoryRun RunFrom(const Statement& s) {
    HistoryRun r;
    r.id = sqlite3_column_int64(s.get(), 0);
    r.poName = s.ColumnText(1);
    r.poPath = s.ColumnText(2);
    r.gwVersion = s.ColumnText(3);
    r.language = s.ColumnText(4);
    r.processedOn = s.ColumnText(5);
    r.processedAt = s.ColumnText(6);
    r.logPath = s.ColumnText(7);
    r.logBytes = sqlite3_column_int64(s.get(), 8);
    r.recordedAt = s.ColumnText(9);
    r.mailboxes = sqlite3_column_int64(s.get(), 10);
    r.totalMb = sqlite3_column_double(s.get(), 11);
    return r;
}

// The mailbox whose columns (kMailboxColumns) start at column `first`.
HistoryMailbox MailboxFrom(const Statement& s, int first) {
    HistoryMailbox m;
    m.username = s.ColumnText(first);
    m.fullname = s.ColumnText(first + 1);
    m.sizeMb = s.ColumnReal(first + 2);
    m.inbox = s.ColumnReal(first + 3);
    m.outbox = s.ColumnReal(first + 4);
    m.wastebin = s.ColumnReal(first + 5);
    m.limitMb = s.ColumnReal(first + 6);
    m.thresholdPct = s.ColumnReal(first + 7);
    m.exceeded = s.ColumnText(first + 8);
    m.uid = s.ColumnText(first + 9);
    return m;
}

// Rows per INSERT statement: the statement's own work (its start, end and reset) is then done
// once for many rows.
constexpr std::size_t kRowsPerInsert = 64;
constexpr int kMailboxFields = 11;

// An INSERT of `rows` mailboxes; the parameters are numbered row after row.
std::string InsertMailboxesSql(std::size_t rows) {
    std::string sql =
        "INSERT INTO mailboxes (run_id, username, fullname, size_mb, inbox, outbox, wastebin, "
        "limit_mb, threshold_pct, exceeded, uid) VALUES ";
    for (std::size_t r = 0; r < rows; ++r)
        sql += r ? ",(?,?,?,?,?,?,?,?,?,?,?)" : "(?,?,?,?,?,?,?,?,?,?,?)";
    return sql;
}

// Binds a text that outlives the statement's next step, without copying it.
void BindStatic(sqlite3_stmt* st, int i, const std::string& s) {
    sqlite3_bind_text(st, i, s.data(), static_cast<int>(s.size()), SQLITE_STATIC);
}
void BindReal(sqlite3_stmt* st, int i, const std::optional<double>& v) {
    if (v)
        sqlite3_bind_double(st, i, *v);
    else
        sqlite3_bind_null(st, i);
}

// Binds mailbox `m` as the row whose first parameter is `first`.
void BindMailbox(sqlite3_stmt* st, int first, std::int64_t runId, const HistoryMailbox& m) {
    sqlite3_bind_int64(st, first, runId);
    BindStatic(st, first + 1, m.username);
    BindStatic(st, first + 2, m.fullname);
    BindReal(st, first + 3, m.sizeMb);
    BindReal(st, first + 4, m.inbox);
    BindReal(st, first + 5, m.outbox);
    BindReal(st, first + 6, m.wastebin);
    BindReal(st, first + 7, m.limitMb);
    BindReal(st, first + 8, m.thresholdPct);
    BindStatic(st, first + 9, m.exceeded);
    BindStatic(st, first + 10, m.uid);
}

}  // namespace

SqliteHistoryStore::SqliteHistoryStore(const std::string& path) : path_(path) {
    struct stat st {};
    if (::lstat(path_.c_str(), &st) != 0 && errno == ENOENT)
        CreateNew();
    // A constructor that throws runs no destructor: the connection is closed here, which also
    // rolls back a schema transaction left open.
    try {
        Open();
    } catch (...) {
        sqlite3_close_v2(db_);
        throw;
    }
}

void SqliteHistoryStore::CreateNew() {
    // The new store is made whole in a temporary file beside it and then given its name, so
    // that a store that cannot be made (a full disk) leaves nothing behind, and two first runs
    // at once end up with one store: the second name is refused, and that run opens the first.
    const std::string temporary = TemporaryNameBeside(path_);
    sqlite3* db = nullptr;
    auto fail = [&](const std::string& what) {
        const int code = db ? sqlite3_errcode(db) : SQLITE_CANTOPEN;
        std::string why = db ? sqlite3_errmsg(db) : "out of memory";
        if (const int err = db ? sqlite3_system_errno(db) : 0; err != 0)
            why = std::strerror(err);
        sqlite3_close_v2(db);
        for (const char* end : {"", "-journal"})
            ::unlink((temporary + end).c_str());
        if (code == SQLITE_FULL)
            throw KestramaError(ErrorKind::InputOutput, "Disk full", path_);
        if (!why.empty())
            why[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(why[0])));
        throw KestramaError(ErrorKind::InputOutput, what + ": " + why, path_);
    };
    if (sqlite3_open_v2(temporary.c_str(), &db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK)
        fail("cannot open the history database");
    const std::string sql = std::string("BEGIN;") + kSchema +
                            "PRAGMA user_version=" + std::to_string(kHistorySchemaVersion) +
                            ";COMMIT;";
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
        fail("cannot write the history database");
    if (sqlite3_close(db) != SQLITE_OK)
        fail("cannot write the history database");
    db = nullptr;
    // A name taken meanwhile is another run's new store, which is used instead. A file system
    // without hard links gets the name by a rename.
    if (::link(temporary.c_str(), path_.c_str()) != 0 && errno != EEXIST) {
        struct stat st {};
        if (::lstat(path_.c_str(), &st) != 0 &&
            std::rename(temporary.c_str(), path_.c_str()) != 0) {
            const int err = errno;
            ::unlink(temporary.c_str());
            ThrowIoError(err, path_, true);
        }
    }
    ::unlink(temporary.c_str());
}

void SqliteHistoryStore::Open() {
    // One thread at a time uses a store, so the connection goes without its own locking.
    if (sqlite3_open_v2(path_.c_str(), &db_,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK)
        Fail("cannot open the history database");
    // A store that cannot be written is found now, before the log is read, and before a first
    // read leaves the write-ahead log's files beside it.
    if (sqlite3_db_readonly(db_, "main") == 1)
        throw KestramaError(ErrorKind::InputOutput,
                            "cannot write the history database: the file is read-only", path_);
    if (const std::string folder = FolderOf(path_);
        ::access(folder.empty() ? "." : folder.c_str(), W_OK) != 0 &&
        (errno == EACCES || errno == EROFS) && ::access((path_ + "-wal").c_str(), W_OK) != 0)
        throw KestramaError(ErrorKind::InputOutput,
                            "cannot write the history database: its folder is read-only", path_);
    sqlite3_busy_handler(db_, &SqliteHistoryStore::Busy, this);
    // Reading the schema version is the first read of the file: a file that is no database
    // fails here, before anything is written to it.
    int version = 0;
    {
        Statement s(db_, "PRAGMA user_version");
        if (!s || sqlite3_step(s.get()) != SQLITE_ROW)
            Fail("cannot read the history database");
        version = sqlite3_column_int(s.get(), 0);
    }
    // A database of another program's is left as it is: nothing is written to it. Its tables
    // and its version are read in one snapshot, as another run may be creating the store right
    // now: its tables and its version appear together.
    if (version == 0) {
        Statement s(db_,
                    "SELECT (SELECT count(*) FROM sqlite_master WHERE name NOT LIKE 'sqlite\\_%' "
                    "ESCAPE '\\'), (SELECT user_version FROM pragma_user_version)");
        if (!s || sqlite3_step(s.get()) != SQLITE_ROW)
            Fail("cannot read the history database");
        version = sqlite3_column_int(s.get(), 1);
        if (version == 0 && sqlite3_column_int(s.get(), 0) > 0)
            throw KestramaError(ErrorKind::InputOutput,
                                "not a history database: it holds tables of another program",
                                path_);
    }
    if (version > kHistorySchemaVersion)
        Fail("history database of a newer version (" + std::to_string(version) +
             "); this program reads version " + std::to_string(kHistorySchemaVersion));
    // The journal mode changes only with the file to itself, and the busy timeout does not
    // cover that wait: another run that is creating the store is waited for here.
    for (int attempt = 0;; ++attempt) {
        Statement s(db_, "PRAGMA journal_mode=WAL");
        const int rc = s ? sqlite3_step(s.get()) : sqlite3_errcode(db_);
        if (rc == SQLITE_ROW)
            break;
        if ((rc != SQLITE_BUSY && rc != SQLITE_LOCKED) || attempt == 3000)
            Fail("cannot use the history database");
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    Exec("PRAGMA foreign_keys=ON");
    // A run's rows are one transaction; with the default page cache (2 MB) the pages of the
    // tables' and index's growing edges spill to the write-ahead log over and over, which
    // writes a third more than the rows themselves take. 16 MB keeps them until the commit.
    Exec("PRAGMA cache_size=-16384");
    if (version < kHistorySchemaVersion) {
        Exec("BEGIN IMMEDIATE");
        inTransaction_ = true;
        Exec(kSchema);
        Exec("PRAGMA user_version=1");
        Exec("COMMIT");
        inTransaction_ = false;
    }
}

SqliteHistoryStore::~SqliteHistoryStore() {
    RollbackWrite();
    sqlite3_close_v2(db_);
}

void SqliteHistoryStore::Fail(const std::string& what) const {
    std::string reason = what;
    if (db_ && sqlite3_errcode(db_) != SQLITE_OK) {
        const int code = sqlite3_errcode(db_);
        if (code == SQLITE_FULL)
            throw KestramaError(ErrorKind::InputOutput, "Disk full", path_);
        // "not a history database" only for a file that is none: an administrator told so
        // might delete a good file that could not be read or written for another reason.
        if (code == SQLITE_NOTADB) {
            reason = "not a history database";
        } else {
            // The system's reason where there is one ("read-only file system"), else SQLite's.
            std::string why = sqlite3_errmsg(db_);
            if (const int err = sqlite3_system_errno(db_); err != 0) {
                why = std::strerror(err);
                if (!why.empty())
                    why[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(why[0])));
            }
            reason = (code == SQLITE_READONLY ? std::string("cannot write the history database")
                                              : what) +
                     ": " + why;
        }
    }
    throw KestramaError(ErrorKind::InputOutput, reason, path_);
}

void SqliteHistoryStore::FailWrite() {
    const int code = sqlite3_errcode(db_);
    const std::string message = sqlite3_errmsg(db_);
    RollbackWrite();
    if (code == SQLITE_FULL)
        throw KestramaError(ErrorKind::InputOutput, "Disk full", path_);
    throw KestramaError(ErrorKind::InputOutput, "cannot write the history database: " + message,
                        path_);
}

void SqliteHistoryStore::Exec(const char* sql) {
    if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        FailWrite();
}

bool SqliteHistoryStore::Step(sqlite3_stmt* st, bool writing) {
    const int rc = sqlite3_step(st);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    if (writing)
        FailWrite();
    Fail("cannot read the history database");
}

int SqliteHistoryStore::Busy(void* self, int count) {
    using namespace std::chrono;
    auto& s = *static_cast<SqliteHistoryStore*>(self);
    const auto now = steady_clock::now();
    if (count == 0)
        s.busySince_ = now;
    if (s.waitStop_.stop_requested()) {
        s.waitStopped_ = true;
        return 0;
    }
    const auto waited = now - s.busySince_;
    if (waited >= seconds(kRecorderWaitSeconds))
        return 0;
    if (waited >= milliseconds(500) && !s.waitNoticed_) {
        s.waitNoticed_ = true;
        if (s.waitNotice_)
            s.waitNotice_();
    }
    std::this_thread::sleep_for(milliseconds(std::min(1 + count, 50)));
    return 1;
}

void SqliteHistoryStore::BeginWrite() {
    waitNoticed_ = waitStopped_ = false;
    if (sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
        if (waitStopped_)
            throw RunStopped{};
        if (sqlite3_errcode(db_) == SQLITE_BUSY)
            throw KestramaError(ErrorKind::InputOutput,
                                "cannot write the history database: another run has held it for " +
                                    std::to_string(kRecorderWaitSeconds / 60) + " minutes",
                                path_);
        FailWrite();
    }
    inTransaction_ = true;
}

std::int64_t SqliteHistoryStore::RecordRun(const HistorySnapshot& snap) {
    return SqliteHistoryStore::RecordRunRows(
        snap.run, snap.mailboxes.size(),
        [&snap](std::size_t i, HistoryMailbox& m) { m = snap.mailboxes[i]; });
}

std::int64_t SqliteHistoryStore::RecordRunRows(const HistoryRun& run, std::size_t count,
                                               const FillMailbox& fill) {
    const std::int64_t id = RecordRunOnly(run);
    std::vector<HistoryMailbox> rows(std::min(count, kRowsPerInsert));
    std::unique_ptr<Statement> full;  // for kRowsPerInsert rows, prepared when first needed
    for (std::size_t done = 0; done < count;) {
        const std::size_t n = std::min(count - done, kRowsPerInsert);
        std::unique_ptr<Statement> rest;
        std::unique_ptr<Statement>& ins = n == kRowsPerInsert ? full : rest;
        if (!ins)
            ins = std::make_unique<Statement>(db_, InsertMailboxesSql(n).c_str());
        if (!*ins)
            FailWrite();
        for (std::size_t r = 0; r < n; ++r) {
            HistoryMailbox& m = rows[r];
            fill(done + r, m);
            BindMailbox(ins->get(), static_cast<int>(r) * kMailboxFields + 1, id, rows[r]);
        }
        Step(ins->get(), true);
        sqlite3_reset(ins->get());
        done += n;
    }
    return id;
}

std::int64_t SqliteHistoryStore::RecordRunOnly(const HistoryRun& r) {
    {
        Statement del(db_, "DELETE FROM runs WHERE po_name=?1 AND po_path=?2 AND processed_on=?3");
        if (!del)
            FailWrite();
        del.Text(1, r.poName);
        del.Text(2, r.poPath);
        del.Text(3, r.processedOn);
        Step(del.get(), true);
    }
    Statement ins(db_,
                  "INSERT INTO runs (po_name, po_path, gw_version, language, processed_on, "
                  "processed_at, log_path, log_bytes, recorded_at, mailboxes, total_mb) "
                  "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11)");
    if (!ins)
        FailWrite();
    ins.Text(1, r.poName);
    ins.Text(2, r.poPath);
    ins.Text(3, r.gwVersion);
    ins.Text(4, r.language);
    ins.Text(5, r.processedOn);
    ins.Text(6, r.processedAt);
    ins.Text(7, r.logPath);
    ins.Int(8, r.logBytes);
    ins.Text(9, r.recordedAt);
    ins.Int(10, r.mailboxes);
    ins.Real(11, r.totalMb);
    Step(ins.get(), true);
    return sqlite3_last_insert_rowid(db_);
}

void SqliteHistoryStore::CommitWrite() {
    Exec("COMMIT");
    inTransaction_ = false;
}

void SqliteHistoryStore::RollbackWrite() noexcept {
    if (inTransaction_ && db_)
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    inTransaction_ = false;
}

std::vector<HistoryRun> SqliteHistoryStore::Runs(const std::string& poName,
                                                 const std::string& poPath) {
    const std::string sql = std::string("SELECT ") + kRunColumns +
                            " FROM runs WHERE po_name=?1 AND po_path=?2 ORDER BY processed_at, id";
    Statement s(db_, sql.c_str());
    if (!s)
        Fail("cannot read the history database");
    s.Text(1, poName);
    s.Text(2, poPath);
    std::vector<HistoryRun> runs;
    while (Step(s.get(), false))
        runs.push_back(RunFrom(s));
    return runs;
}

std::vector<HistoryRun> SqliteHistoryStore::LatestRuns() {
    const std::string sql = std::string("SELECT ") + kRunColumns +
                            " FROM runs r WHERE id = (SELECT id FROM runs q WHERE q.po_name = "
                            "r.po_name AND q.po_path = r.po_path ORDER BY processed_at DESC, id "
                            "DESC LIMIT 1) ORDER BY po_name, po_path";
    Statement s(db_, sql.c_str());
    if (!s)
        Fail("cannot read the history database");
    std::vector<HistoryRun> runs;
    while (Step(s.get(), false))
        runs.push_back(RunFrom(s));
    return runs;
}

bool SqliteHistoryStore::HoldsRun(const HistoryRun& r) {
    Statement s(db_,
                "SELECT 1 FROM runs WHERE id=?1 AND po_name=?2 AND po_path=?3 AND processed_on=?4 "
                "AND recorded_at=?5");
    if (!s)
        Fail("cannot read the history database");
    s.Int(1, r.id);
    s.Text(2, r.poName);
    s.Text(3, r.poPath);
    s.Text(4, r.processedOn);
    s.Text(5, r.recordedAt);
    return Step(s.get(), false);
}

void SqliteHistoryStore::ForEachMailbox(std::int64_t runId, const EachMailbox& each) {
    const std::string sql =
        std::string("SELECT ") + kMailboxColumns + " FROM mailboxes WHERE run_id=?1 ORDER BY rowid";
    Statement s(db_, sql.c_str());
    if (!s)
        Fail("cannot read the history database");
    s.Int(1, runId);
    while (Step(s.get(), false)) {
        HistoryMailbox m = MailboxFrom(s, 0);
        each(m);
    }
}

std::vector<HistoryRun> SqliteHistoryStore::AllRuns() {
    const std::string sql = std::string("SELECT ") + kRunColumns + " FROM runs";
    Statement s(db_, sql.c_str());
    if (!s)
        Fail("cannot read the history database");
    std::vector<HistoryRun> runs;
    while (Step(s.get(), false))
        runs.push_back(RunFrom(s));
    SortByPostOffice(runs);
    return runs;
}

bool SqliteHistoryStore::ForgetRun(std::int64_t runId) {
    Transaction write = Begin();
    bool found = false;
    for (const char* sql :
         {"DELETE FROM mailboxes WHERE run_id=?1", "DELETE FROM runs WHERE id=?1"}) {
        Statement del(db_, sql);
        if (!del)
            FailWrite();
        del.Int(1, runId);
        Step(del.get(), true);
        found = sqlite3_changes(db_) > 0;
    }
    write.Commit();
    return found;
}

std::vector<MailboxPoint> SqliteHistoryStore::MailboxOverTime(const std::string& poName,
                                                              const std::string& poPath,
                                                              const std::string& username) {
    // The runs of the post office through their index, and each run's rows through theirs.
    // NOCASE folds A to Z only, which the stored UTF-8 leaves as they are.
    const std::string sql =
        "SELECT r.id, r.po_name, r.po_path, r.gw_version, r.language, r.processed_on, "
        "r.processed_at, r.log_path, r.log_bytes, r.recorded_at, r.mailboxes, r.total_mb, "
        "m.username, m.fullname, m.size_mb, m.inbox, m.outbox, m.wastebin, m.limit_mb, "
        "m.threshold_pct, m.exceeded, m.uid FROM runs r JOIN mailboxes m ON m.run_id = r.id "
        "WHERE r.po_name=?1 AND r.po_path=?2 AND m.username=?3 COLLATE NOCASE "
        "ORDER BY r.processed_at, r.id, m.rowid";
    Statement s(db_, sql.c_str());
    if (!s)
        Fail("cannot read the history database");
    s.Text(1, poName);
    s.Text(2, poPath);
    s.Text(3, username);
    std::vector<MailboxPoint> points;
    while (Step(s.get(), false))
        points.push_back({RunFrom(s), MailboxFrom(s, 12)});
    return points;
}

void SqliteHistoryStore::ForEachSize(std::int64_t runId, const EachSize& each) {
    Statement s(db_, "SELECT username, size_mb FROM mailboxes WHERE run_id=?1 ORDER BY rowid");
    if (!s)
        Fail("cannot read the history database");
    s.Int(1, runId);
    while (Step(s.get(), false)) {
        const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(s.get(), 0));
        const std::string_view stored =
            t ? std::string_view(t, static_cast<std::size_t>(sqlite3_column_bytes(s.get(), 0)))
              : std::string_view();
        each(stored, s.ColumnReal(1));
    }
}

}  // namespace k32
