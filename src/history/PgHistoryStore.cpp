#include "history/PgHistoryStore.h"

#include <libpq-fe.h>

#include <algorithm>
#include <charconv>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <tuple>

#include "history/PgClient.h"
#include "text/Cp1252Utf8.h"
#include "text/Errors.h"

namespace k32 {

namespace {

// The tables of the file store, with the server's types. `seq` is the mailbox's place in its
// log (the file store keeps that order in its row ids); the schema version has a table of its
// own. The mailbox rows carry no foreign key: the server would check it row by row, which
// doubles the time of storing a large run. The store removes a run's mailboxes with the run.
constexpr const char* kSchema = R"(
CREATE TABLE history_schema (version integer NOT NULL);
INSERT INTO history_schema (version) VALUES (1);
CREATE TABLE runs (
    id           bigserial PRIMARY KEY,
    po_name      text NOT NULL,
    po_path      text NOT NULL,
    gw_version   text NOT NULL,
    language     text NOT NULL,
    processed_on text NOT NULL,
    processed_at text NOT NULL,
    log_path     text NOT NULL,
    log_bytes    bigint NOT NULL,
    recorded_at  text NOT NULL,
    mailboxes    bigint NOT NULL,
    total_mb     double precision NOT NULL,
    UNIQUE (po_name, po_path, processed_on)
);
CREATE TABLE mailboxes (
    run_id        bigint NOT NULL,
    seq           integer NOT NULL,
    username      text NOT NULL,
    fullname      text NOT NULL,
    size_mb       double precision,
    inbox         double precision,
    outbox        double precision,
    wastebin      double precision,
    limit_mb      double precision,
    threshold_pct double precision,
    exceeded      text NOT NULL,
    uid           text NOT NULL
);
CREATE INDEX mailboxes_by_run ON mailboxes (run_id, seq);
CREATE INDEX runs_by_post_office ON runs (po_name, po_path, processed_at);
)";

// Advisory lock keys: one for creating the schema, and a class of keys for recording the runs
// of one post office (two recorders of the same log must not both insert it).
constexpr const char* kSchemaLock = "SELECT pg_advisory_xact_lock(1261646664)";
constexpr const char* kPostOfficeLock =
    "SELECT pg_advisory_xact_lock(1261646665, hashtext($1 || E'\\n' || $2))";

constexpr const char* kRunColumns =
    "id, po_name, po_path, gw_version, language, processed_on, processed_at, log_path, "
    "log_bytes, recorded_at, mailboxes, total_mb";

// A message of the server or the client library on one line.
std::string OneLine(const char* message) {
    std::string s = message ? message : "";
    std::string out;
    bool space = false;
    for (char c : s) {
        if (c == '\n' || c == '\r' || c == '\t' || c == ' ') {
            space = !out.empty();
            continue;
        }
        if (space)
            out += ' ';
        space = false;
        out += c;
    }
    return out;
}

std::int64_t IntOf(const char* text) {
    std::int64_t v = 0;
    std::string_view s(text);
    std::from_chars(s.data(), s.data() + s.size(), v);
    return v;
}

std::optional<double> RealOf(const PgClient& pq, const PGresult* r, int row, int col) {
    if (pq.getisnull(r, row, col))
        return std::nullopt;
    std::string_view s(pq.getvalue(r, row, col));
    double v = 0;
    if (std::from_chars(s.data(), s.data() + s.size(), v).ec != std::errc())
        return std::nullopt;
    return v;
}

void AppendNumber(std::string& out, std::int64_t v) {
    char buffer[24];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, v).ptr;
    out.append(buffer, end);
}

// The shortest text that reads back as the same number.
void AppendNumber(std::string& out, double v) {
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, v).ptr;
    out.append(buffer, end);
}

std::string NumberText(std::int64_t v) {
    std::string s;
    AppendNumber(s, v);
    return s;
}

std::string NumberText(double v) {
    std::string s;
    AppendNumber(s, v);
    return s;
}

bool IsUtf8(std::string_view s);

// Appends `bytes` as the server takes them (see ServerText).
void AppendServerText(std::string& out, std::string_view bytes) {
    if (IsUtf8(bytes))
        out.append(bytes);
    else
        AppendUtf8FromWindows1252(out, bytes);
}

// One field of a bulk-copy line: the text in UTF-8 with the copy format's escapes.
void AppendCopyText(std::string& line, std::string_view bytes) {
    const std::size_t start = line.size();
    AppendServerText(line, bytes);
    if (line.find_first_of("\\\t\n\r", start) == std::string::npos)
        return;
    std::string escaped;
    for (std::size_t i = start; i < line.size(); ++i) {
        switch (line[i]) {
            case '\\':
                escaped += "\\\\";
                break;
            case '\t':
                escaped += "\\t";
                break;
            case '\n':
                escaped += "\\n";
                break;
            case '\r':
                escaped += "\\r";
                break;
            default:
                escaped += line[i];
        }
    }
    line.resize(start);
    line += escaped;
}

void AppendCopyReal(std::string& line, const std::optional<double>& v) {
    if (v)
        AppendNumber(line, *v);
    else
        line += "\\N";
}

// Well-formed UTF-8 that the server takes: no NUL, no overlong forms, no surrogates.
bool IsUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto lead = static_cast<unsigned char>(s[i]);
        if (lead == 0)
            return false;
        if (lead < 0x80) {
            ++i;
            continue;
        }
        const std::size_t extra = lead < 0xC2   ? 0
                                  : lead < 0xE0 ? 1
                                  : lead < 0xF0 ? 2
                                  : lead < 0xF5 ? 3
                                                : 0;
        if (extra == 0 || i + extra >= s.size())
            return false;
        const auto second = static_cast<unsigned char>(s[i + 1]);
        if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0) ||
            (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second >= 0x90))
            return false;
        for (std::size_t k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return false;
        i += extra + 1;
    }
    return true;
}

// The history's texts are UTF-8 (history/HistoryRows.h) and go to the server as they are. The
// server refuses a text that is not well-formed UTF-8 or holds NUL, which a caller that made a
// text by hand may still pass: such a text is read as Windows-1252 rather than refused.
std::string ServerText(const std::string& text) {
    return IsUtf8(text) ? text : Utf8FromWindows1252(text);
}

}  // namespace

void PgHistoryStore::Finish::operator()(PGconn* c) const noexcept {
    pq->finish(c);
}

void PgHistoryStore::Clear::operator()(PGresult* r) const noexcept {
    pq->clear(r);
}

PgHistoryStore::PgHistoryStore(const std::string& conninfo)
    : pq_(LoadPgClient()), conn_(nullptr, Finish{&pq_}) {
    const ConnectionShown shown = ShowConnection(conninfo);
    where_ = shown.text;
    // The connection is owned from here on: a constructor that throws closes it with its
    // members.
    conn_.reset(pq_.connectdb(ClientConnectionString(conninfo).c_str()));
    if (!conn_)
        Fail("cannot open the history database", "out of memory");
    if (pq_.status(conn_.get()) != CONNECTION_OK)
        Fail("cannot open the history database",
             WithoutSecrets(OneLine(pq_.errorMessage(conn_.get())), shown));
    // The server's notices ("already exists, skipping") are no concern of the user's.
    pq_.setNoticeProcessor(
        conn_.get(), [](void*, const char*) {}, nullptr);
    Exec("SET client_encoding TO 'UTF8'", PGRES_COMMAND_OK, false);
    CreateOrCheckSchema();
}

PgHistoryStore::~PgHistoryStore() {
    RollbackWrite();
}

void PgHistoryStore::CreateOrCheckSchema() {
    Exec("BEGIN", PGRES_COMMAND_OK, false);
    inTransaction_ = true;
    // Two first runs at once: the second waits here and then finds the schema made.
    Exec(kSchemaLock, PGRES_TUPLES_OK, true);
    const Result found = Exec(
        "SELECT to_regclass('history_schema') IS NOT NULL, "
        "to_regclass('runs') IS NOT NULL OR to_regclass('mailboxes') IS NOT NULL",
        PGRES_TUPLES_OK, true);
    const bool versioned = *pq_.getvalue(found.get(), 0, 0) == 't';
    const bool tables = *pq_.getvalue(found.get(), 0, 1) == 't';
    if (versioned) {
        const Result v = Exec("SELECT max(version) FROM history_schema", PGRES_TUPLES_OK, true);
        const bool none = pq_.getisnull(v.get(), 0, 0);
        const std::int64_t version = none ? 0 : IntOf(pq_.getvalue(v.get(), 0, 0));
        RollbackWrite();
        if (none)
            Fail("not a history database", "its schema version is missing");
        if (version > kHistorySchemaVersion)
            Fail("history database of a newer version (" + std::to_string(version) +
                     "); this program reads version " + std::to_string(kHistorySchemaVersion),
                 "");
        return;
    }
    if (tables) {
        // Tables of the same names but no version: another program's, which are left alone.
        RollbackWrite();
        Fail("not a history database",
             "it holds a table runs or mailboxes without a history schema version");
    }
    Exec(kSchema, PGRES_COMMAND_OK, true);
    Exec("COMMIT", PGRES_COMMAND_OK, true);
    inTransaction_ = false;
}

void PgHistoryStore::Fail(const std::string& what, const std::string& detail) const {
    throw KestramaError(ErrorKind::InputOutput, detail.empty() ? what : what + ": " + detail,
                        where_);
}

void PgHistoryStore::FailWrite(const std::string& detail) {
    RollbackWrite();
    Fail("cannot write the history database", detail);
}

PgHistoryStore::Result PgHistoryStore::Checked(PGresult* raw, int want, bool writing) {
    Result r(raw, Clear{&pq_});
    if (r && pq_.resultStatus(r.get()) == want)
        return r;
    std::string detail;
    if (!r) {
        detail = OneLine(pq_.errorMessage(conn_.get()));
    } else {
        const char* state = pq_.resultErrorField(r.get(), PG_DIAG_SQLSTATE);
        // The server's disk is full (or its quota is used up).
        if (state && std::string_view(state) == "53100") {
            if (writing)
                RollbackWrite();
            throw KestramaError(ErrorKind::InputOutput, "Disk full", where_);
        }
        detail = OneLine(pq_.resultErrorMessage(r.get()));
    }
    r.reset();
    if (writing)
        FailWrite(detail);
    Fail("cannot read the history database", detail);
}

PgHistoryStore::Result PgHistoryStore::Exec(const char* sql, int want, bool writing) {
    return Checked(pq_.exec(conn_.get(), sql), want, writing);
}

PgHistoryStore::Result PgHistoryStore::Params(const char* sql,
                                              const std::vector<std::string>& values, int want,
                                              bool writing) {
    std::vector<const char*> p;
    p.reserve(values.size());
    for (const std::string& v : values)
        p.push_back(v.c_str());
    return Checked(pq_.execParams(conn_.get(), sql, static_cast<int>(p.size()), nullptr, p.data(),
                                  nullptr, nullptr, 0),
                   want, writing);
}

void PgHistoryStore::BeginWrite() {
    Exec("BEGIN", PGRES_COMMAND_OK, true);
    inTransaction_ = true;
}

std::int64_t PgHistoryStore::RecordRun(const HistorySnapshot& snap) {
    return PgHistoryStore::RecordRunRows(
        snap.run, snap.mailboxes.size(),
        [&snap](std::size_t i, HistoryMailbox& m) { m = snap.mailboxes[i]; });
}

std::int64_t PgHistoryStore::RecordRunRows(const HistoryRun& r, std::size_t count,
                                           const FillMailbox& fill) {
    const std::string poName = ServerText(r.poName);
    const std::string poPath = ServerText(r.poPath);
    const std::string processedOn = ServerText(r.processedOn);
    Params(kPostOfficeLock, {poName, poPath}, PGRES_TUPLES_OK, true);
    Params(
        "WITH gone AS (DELETE FROM runs WHERE po_name=$1 AND po_path=$2 AND processed_on=$3 "
        "RETURNING id) DELETE FROM mailboxes WHERE run_id IN (SELECT id FROM gone)",
        {poName, poPath, processedOn}, PGRES_COMMAND_OK, true);
    const Result inserted = Params(
        "INSERT INTO runs (po_name, po_path, gw_version, language, processed_on, "
        "processed_at, log_path, log_bytes, recorded_at, mailboxes, total_mb) "
        "VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11) RETURNING id",
        {poName, poPath, ServerText(r.gwVersion), ServerText(r.language), processedOn,
         ServerText(r.processedAt), ServerText(r.logPath), NumberText(r.logBytes),
         ServerText(r.recordedAt), NumberText(r.mailboxes), NumberText(r.totalMb)},
        PGRES_TUPLES_OK, true);
    const std::int64_t id = IntOf(pq_.getvalue(inserted.get(), 0, 0));
    CopyMailboxes(id, count, fill);
    return id;
}

// The rows go to the server as they are filled, a quarter of a megabyte at a time: a run's
// mailboxes are never all in memory.
void PgHistoryStore::CopyMailboxes(std::int64_t runId, std::size_t count, const FillMailbox& fill) {
    Exec(
        "COPY mailboxes (run_id, seq, username, fullname, size_mb, inbox, outbox, wastebin, "
        "limit_mb, threshold_pct, exceeded, uid) FROM STDIN",
        PGRES_COPY_IN, true);
    PGconn* conn = conn_.get();
    // Ends the copy when it cannot go on, so that the connection can roll back.
    auto abandon = [&] {
        pq_.putCopyEnd(conn, "the history store was not written");
        while (PGresult* extra = pq_.getResult(conn))
            pq_.clear(extra);
    };
    std::string failure;
    try {
        std::string chunk;
        chunk.reserve(1 << 18);
        const std::string id = NumberText(runId);
        std::int64_t seq = 0;
        HistoryMailbox m;
        for (std::size_t i = 0; i < count; ++i) {
            fill(i, m);
            chunk += id;
            chunk += '\t';
            AppendNumber(chunk, ++seq);
            chunk += '\t';
            AppendCopyText(chunk, m.username);
            chunk += '\t';
            AppendCopyText(chunk, m.fullname);
            for (const auto* v :
                 {&m.sizeMb, &m.inbox, &m.outbox, &m.wastebin, &m.limitMb, &m.thresholdPct}) {
                chunk += '\t';
                AppendCopyReal(chunk, *v);
            }
            chunk += '\t';
            AppendCopyText(chunk, m.exceeded);
            chunk += '\t';
            AppendCopyText(chunk, m.uid);
            chunk += '\n';
            if (chunk.size() >= (1 << 18) || i + 1 == count) {
                if (pq_.putCopyData(conn, chunk.data(), static_cast<int>(chunk.size())) != 1) {
                    failure = OneLine(pq_.errorMessage(conn));
                    break;
                }
                chunk.clear();
            }
        }
    } catch (...) {
        abandon();
        RollbackWrite();
        throw;
    }
    if (!failure.empty()) {
        abandon();
        FailWrite(failure);
    }
    if (pq_.putCopyEnd(conn, nullptr) != 1) {
        failure = OneLine(pq_.errorMessage(conn));
        abandon();
        FailWrite(failure);
    }
    // The copy's own result, then nothing more.
    PGresult* end = pq_.getResult(conn);
    while (PGresult* extra = pq_.getResult(conn))
        pq_.clear(extra);
    Checked(end, PGRES_COMMAND_OK, true);
}

void PgHistoryStore::CommitWrite() {
    Exec("COMMIT", PGRES_COMMAND_OK, true);
    inTransaction_ = false;
}

void PgHistoryStore::RollbackWrite() noexcept {
    if (inTransaction_ && conn_)
        pq_.clear(pq_.exec(conn_.get(), "ROLLBACK"));
    inTransaction_ = false;
}

void PgHistoryStore::Drain() noexcept {
    while (PGresult* extra = pq_.getResult(conn_.get()))
        pq_.clear(extra);
}

void PgHistoryStore::ForEachRow(const std::string& sql, const std::vector<std::string>& values,
                                const std::function<void(const PGresult* row)>& each) {
    PGconn* conn = conn_.get();
    std::vector<const char*> p;
    p.reserve(values.size());
    for (const std::string& v : values)
        p.push_back(v.c_str());
    if (pq_.sendQueryParams(conn, sql.c_str(), static_cast<int>(p.size()), nullptr, p.data(),
                            nullptr, nullptr, 0) != 1)
        Fail("cannot read the history database", OneLine(pq_.errorMessage(conn)));
    try {
        // Without it the rows would come as one result, all of them in memory.
        if (pq_.setSingleRowMode(conn) != 1)
            Fail("cannot read the history database", OneLine(pq_.errorMessage(conn)));
        for (;;) {
            Result r(pq_.getResult(conn), Clear{&pq_});
            if (r && pq_.resultStatus(r.get()) == PGRES_SINGLE_TUPLE) {
                each(r.get());
                continue;
            }
            // The end of the rows, or the error that ended them.
            Checked(r.release(), PGRES_TUPLES_OK, false);
            break;
        }
    } catch (...) {
        Drain();
        throw;
    }
    Drain();
}

namespace {

HistoryRun RunOf(const PgClient& pq, const PGresult* r) {
    auto text = [&](int c) { return std::string(pq.getvalue(r, 0, c)); };
    HistoryRun run;
    run.id = IntOf(pq.getvalue(r, 0, 0));
    run.poName = text(1);
    run.poPath = text(2);
    run.gwVersion = text(3);
    run.language = text(4);
    run.processedOn = text(5);
    run.processedAt = text(6);
    run.logPath = pq.getvalue(r, 0, 7);
    run.logBytes = IntOf(pq.getvalue(r, 0, 8));
    run.recordedAt = text(9);
    run.mailboxes = IntOf(pq.getvalue(r, 0, 10));
    run.totalMb = RealOf(pq, r, 0, 11).value_or(0);
    return run;
}

// The mailbox whose columns (username to uid, as ForEachMailbox reads them) start at `first`.
HistoryMailbox MailboxOf(const PgClient& pq, const PGresult* r, int first) {
    auto text = [&](int c) { return std::string(pq.getvalue(r, 0, first + c)); };
    HistoryMailbox m;
    m.username = text(0);
    m.fullname = text(1);
    m.sizeMb = RealOf(pq, r, 0, first + 2);
    m.inbox = RealOf(pq, r, 0, first + 3);
    m.outbox = RealOf(pq, r, 0, first + 4);
    m.wastebin = RealOf(pq, r, 0, first + 5);
    m.limitMb = RealOf(pq, r, 0, first + 6);
    m.thresholdPct = RealOf(pq, r, 0, first + 7);
    m.exceeded = text(8);
    m.uid = text(9);
    return m;
}

// A username with A to Z made small, and nothing else changed, as the file store's NOCASE does:
// the server's lower() would follow its locale.
constexpr const char* kFoldedUsername =
    "translate(%s, 'ABCDEFGHIJKLMNOPQRSTUVWXYZ', 'abcdefghijklmnopqrstuvwxyz')";

std::string Folded(const char* what) {
    std::string s = kFoldedUsername;
    return s.replace(s.find("%s"), 2, what);
}

}  // namespace

std::vector<HistoryRun> PgHistoryStore::AllRuns() {
    const std::string sql = std::string("SELECT ") + kRunColumns + " FROM runs";
    std::vector<HistoryRun> runs;
    ForEachRow(sql, {}, [&](const PGresult* r) { runs.push_back(RunOf(pq_, r)); });
    SortByPostOffice(runs);
    return runs;
}

bool PgHistoryStore::ForgetRun(std::int64_t runId) {
    Transaction write = Begin();
    const std::string id = NumberText(runId);
    const Result po =
        Params("SELECT po_name, po_path FROM runs WHERE id=$1", {id}, PGRES_TUPLES_OK, true);
    if (pq_.ntuples(po.get()) == 0)
        return false;
    // The post office's lock, as a recording takes it: a recording of its runs under way is
    // waited for, and none starts until this one has committed.
    Params(kPostOfficeLock, {pq_.getvalue(po.get(), 0, 0), pq_.getvalue(po.get(), 0, 1)},
           PGRES_TUPLES_OK, true);
    const Result gone =
        Params("DELETE FROM runs WHERE id=$1 RETURNING id", {id}, PGRES_TUPLES_OK, true);
    const bool found = pq_.ntuples(gone.get()) > 0;
    Params("DELETE FROM mailboxes WHERE run_id=$1", {id}, PGRES_COMMAND_OK, true);
    write.Commit();
    return found;
}

std::vector<MailboxPoint> PgHistoryStore::MailboxOverTime(const std::string& poName,
                                                          const std::string& poPath,
                                                          const std::string& username) {
    const std::string sql =
        "SELECT r.id, r.po_name, r.po_path, r.gw_version, r.language, r.processed_on, "
        "r.processed_at, r.log_path, r.log_bytes, r.recorded_at, r.mailboxes, r.total_mb, "
        "m.username, m.fullname, m.size_mb, m.inbox, m.outbox, m.wastebin, m.limit_mb, "
        "m.threshold_pct, m.exceeded, m.uid FROM runs r JOIN mailboxes m ON m.run_id = r.id "
        "WHERE r.po_name=$1 AND r.po_path=$2 AND " +
        Folded("m.username") + " = " + Folded("$3") +
        " ORDER BY r.processed_at COLLATE \"C\", r.id, m.seq";
    std::vector<MailboxPoint> points;
    ForEachRow(sql, {ServerText(poName), ServerText(poPath), ServerText(username)},
               [&](const PGresult* r) {
                   points.push_back({RunOf(pq_, r), MailboxOf(pq_, r, 12)});
               });
    return points;
}

std::vector<HistoryRun> PgHistoryStore::Runs(const std::string& poName, const std::string& poPath) {
    // Ordered by bytes, as the file store orders its texts, whatever the database's collation.
    const std::string sql = std::string("SELECT ") + kRunColumns +
                            " FROM runs WHERE po_name=$1 AND po_path=$2 "
                            "ORDER BY processed_at COLLATE \"C\", id";
    std::vector<HistoryRun> runs;
    ForEachRow(sql, {ServerText(poName), ServerText(poPath)},
               [&](const PGresult* r) { runs.push_back(RunOf(pq_, r)); });
    return runs;
}

std::vector<HistoryRun> PgHistoryStore::LatestRuns() {
    const std::string sql = std::string("SELECT DISTINCT ON (po_name, po_path) ") + kRunColumns +
                            " FROM runs ORDER BY po_name, po_path, processed_at COLLATE \"C\" "
                            "DESC, id DESC";
    std::vector<HistoryRun> runs;
    ForEachRow(sql, {}, [&](const PGresult* r) { runs.push_back(RunOf(pq_, r)); });
    // By the log's own bytes, as the file store sorts them.
    std::sort(runs.begin(), runs.end(), [](const HistoryRun& a, const HistoryRun& b) {
        return std::tie(a.poName, a.poPath) < std::tie(b.poName, b.poPath);
    });
    return runs;
}

bool PgHistoryStore::HoldsRun(const HistoryRun& r) {
    bool found = false;
    ForEachRow(
        "SELECT 1 FROM runs WHERE id=$1 AND po_name=$2 AND po_path=$3 AND processed_on=$4 AND "
        "recorded_at=$5",
        {NumberText(r.id), ServerText(r.poName), ServerText(r.poPath), ServerText(r.processedOn),
         ServerText(r.recordedAt)},
        [&found](const PGresult*) { found = true; });
    return found;
}

// One query reads a run in one snapshot: a run recorded again meanwhile is read whole or not at
// all.
void PgHistoryStore::ForEachMailbox(std::int64_t runId, const EachMailbox& each) {
    ForEachRow(
        "SELECT username, fullname, size_mb, inbox, outbox, wastebin, limit_mb, threshold_pct, "
        "exceeded, uid FROM mailboxes WHERE run_id=$1 ORDER BY seq",
        {NumberText(runId)}, [&](const PGresult* r) {
            HistoryMailbox m = MailboxOf(pq_, r, 0);
            each(m);
        });
}

void PgHistoryStore::ForEachSize(std::int64_t runId, const EachSize& each) {
    ForEachRow("SELECT username, size_mb FROM mailboxes WHERE run_id=$1 ORDER BY seq",
               {NumberText(runId)},
               [&](const PGresult* r) { each(pq_.getvalue(r, 0, 0), RealOf(pq_, r, 0, 1)); });
}

}  // namespace k32
