// The history store, the same cases on each back end: an SQLite file and a database on a
// PostgreSQL server that the tests start themselves.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <atomic>
#include <functional>
#include <future>
#include <memory>

#include "PgTestServer.h"
#include "SqliteQuery.h"
#include "TestSupport.h"
#include "history/HistoryStore.h"
#include "history/PgClient.h"
#include "text/Cp1252Utf8.h"
#include "text/Errors.h"

using namespace k32;
using namespace k32::test;

namespace {

// What the tests need of a back end besides the store itself: a fresh store, and plain SQL
// against it (rows as "a|b" lines, NULL as "NULL").
class Backend {
  public:
    virtual ~Backend() = default;
    // Empty when the back end cannot be had; SkipReason() or Problem() then says why.
    virtual std::string NewStore() = 0;
    virtual std::string Query(const std::string& where, const std::string& sql) = 0;
    virtual std::string SkipReason() const { return ""; }
    virtual std::string Problem() const { return ""; }
    // The statement that marks a store as written by a newer program.
    virtual const char* NewerVersionSql() const = 0;
};

class SqliteBackend : public Backend {
  public:
    std::string NewStore() override { return dir_ / ("h" + std::to_string(++count_) + ".sqlite"); }
    std::string Query(const std::string& where, const std::string& sql) override {
        return SqliteQuery(where, sql);
    }
    const char* NewerVersionSql() const override { return "PRAGMA user_version=7"; }

  private:
    TempDir dir_;
    int count_ = 0;
};

class PgBackend : public Backend {
  public:
    std::string NewStore() override {
        static std::atomic<int> count{0};
        return SharedPgTestServer().CreateDatabase("h" + std::to_string(++count));
    }
    std::string Query(const std::string& where, const std::string& sql) override {
        const PgClient& pq = LoadPgClient();
        std::unique_ptr<PGconn, void (*)(PGconn*)> conn(pq.connectdb(where.c_str()), pq.finish);
        std::unique_ptr<PGresult, void (*)(PGresult*)> r(pq.exec(conn.get(), sql.c_str()),
                                                         pq.clear);
        const auto status = pq.resultStatus(r.get());
        if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
            ADD_FAILURE() << sql << ": " << pq.resultErrorMessage(r.get());
            return "";
        }
        // The one function the store itself does not need, from the library it loaded.
        using Fields = int (*)(const PGresult*);
        void* library = ::dlopen("libpq.so.5", RTLD_NOW | RTLD_NOLOAD);
        const auto nfields = reinterpret_cast<Fields>(::dlsym(library, "PQnfields"));
        const int columns = nfields(r.get());
        ::dlclose(library);
        std::string out;
        for (int row = 0; row < pq.ntuples(r.get()); ++row) {
            for (int c = 0; c < columns; ++c)
                out += std::string(c ? "|" : "") +
                       (pq.getisnull(r.get(), row, c) ? "NULL" : pq.getvalue(r.get(), row, c));
            out += "\n";
        }
        return out;
    }
    std::string SkipReason() const override { return SharedPgTestServer().SkipReason(); }
    std::string Problem() const override { return SharedPgTestServer().Problem(); }
    const char* NewerVersionSql() const override { return "UPDATE history_schema SET version = 7"; }
};

struct BackendCase {
    const char* name;
    std::function<std::unique_ptr<Backend>()> make;
};

class HistoryStoreOn : public testing::TestWithParam<BackendCase> {
  protected:
    void SetUp() override {
        backend_ = GetParam().make();
        if (!backend_->SkipReason().empty())
            GTEST_SKIP() << backend_->SkipReason();
        where_ = backend_->NewStore();
        ASSERT_FALSE(where_.empty()) << backend_->Problem();
    }
    std::unique_ptr<HistoryStore> Open() { return OpenHistoryStore(where_); }
    std::string Query(const std::string& sql) { return backend_->Query(where_, sql); }

    std::unique_ptr<Backend> backend_;
    std::string where_;
};

HistorySnapshot Snapshot(const std::string& po, const std::string& processedOn,
                         const std::string& processedAt) {
    HistorySnapshot snap;
    snap.run = {0,           po,          "path",         "6.5.2", "English",
                processedOn, processedAt, "/logs/po.log", 10,      "2026-01-01T00:00:00",
                2,           300.5};
    snap.mailboxes = {{"A", "Anna", 100.5, 1, 2, 3, 200, 80, "No", "a1"},
                      {"B", "Bo", 200, 4, 5, 6, std::nullopt, std::nullopt, "", "b2"}};
    return snap;
}

std::int64_t Record(HistoryStore& store, const HistorySnapshot& snap) {
    HistoryStore::Transaction write = store.Begin();
    const std::int64_t id = write.RecordRun(snap);
    write.Commit();
    return id;
}

TEST_P(HistoryStoreOn, RoundTripReplacingARecordedRunAndDroppingAnUncommittedOne) {
    HistorySnapshot snap = Snapshot("PO", "Monday", "2005-03-07T02:15:00");
    {
        auto store = Open();
        Record(*store, snap);
        // The same post office and processed-on text again: replaced, not added.
        snap.mailboxes[0].sizeMb = 150.25;
        Record(*store, snap);
        // A recording dropped without its commit leaves nothing, not even the replacement of
        // a recorded run, and the store records the next one.
        HistorySnapshot other = snap;
        other.run.processedOn = "Tuesday";
        {
            HistoryStore::Transaction write = store->Begin();
            write.RecordRun(other);
            other.run.processedOn = "Monday";
            write.RecordRun(other);
        }
        EXPECT_EQ(Query("SELECT processed_on, mailboxes FROM runs"), "Monday|2\n");
        EXPECT_EQ(Query("SELECT count(*) FROM mailboxes"), "2\n");
        Record(*store, snap);
    }
    auto store = Open();  // an existing store opens again
    const auto runs = store->Runs("PO", "path");
    ASSERT_EQ(runs.size(), 1u);
    const HistoryRun& run = runs[0];
    EXPECT_EQ(run.processedOn, "Monday");
    EXPECT_EQ(run.processedAt, "2005-03-07T02:15:00");
    EXPECT_EQ(run.logPath, "/logs/po.log");
    EXPECT_EQ(run.logBytes, 10);
    EXPECT_EQ(run.mailboxes, 2);
    EXPECT_EQ(run.totalMb, 300.5);
    const auto boxes = store->Mailboxes(run.id);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].username, "A");
    EXPECT_EQ(boxes[0].sizeMb, 150.25);
    EXPECT_EQ(boxes[0].thresholdPct, 80);
    EXPECT_EQ(boxes[0].exceeded, "No");
    EXPECT_EQ(boxes[1].limitMb, std::nullopt);
    EXPECT_EQ(boxes[1].exceeded, "");
    EXPECT_EQ(boxes[1].uid, "b2");
    EXPECT_TRUE(store->Mailboxes(run.id + 1000).empty());
    // Numbers are stored as numbers, no figure as NULL: plain SQL sums and counts them.
    EXPECT_EQ(Query("SELECT count(*), sum(size_mb), count(limit_mb) FROM mailboxes"),
              "2|350.25|1\n");
    EXPECT_EQ(Query("SELECT count(*) FROM runs"), "1\n");
}

TEST_P(HistoryStoreOn, RunsInDateOrderAndTheLatestRunOfEachPostOffice) {
    auto store = Open();
    // Recorded out of order; two runs on the same date keep the order they were recorded in.
    const auto b2 = Record(*store, Snapshot("B", "b2", "2005-03-14T02:00:00"));
    const auto b1 = Record(*store, Snapshot("B", "b1", "2005-03-07T02:00:00"));
    const auto b1Again = Record(*store, Snapshot("B", "b1 again", "2005-03-07T02:00:00"));
    const auto a1 = Record(*store, Snapshot("A", "a1", "2005-01-01T00:00:00"));
    HistorySnapshot otherPath = Snapshot("A", "a2", "2006-01-01T00:00:00");
    otherPath.run.poPath = "elsewhere";
    const auto a2 = Record(*store, otherPath);

    std::vector<std::int64_t> ids;
    for (const HistoryRun& r : store->Runs("B", "path"))
        ids.push_back(r.id);
    EXPECT_EQ(ids, (std::vector<std::int64_t>{b1, b1Again, b2}));
    ids.clear();
    for (const HistoryRun& r : store->LatestRuns())
        ids.push_back(r.id);
    // By name, then path: one post office is its name and path together.
    EXPECT_EQ(ids, (std::vector<std::int64_t>{a2, a1, b2}));
    EXPECT_TRUE(store->Runs("C", "path").empty());
}

// The history's texts are UTF-8: a Windows-1252 log's in the stored form that gives back every
// byte, a UTF-8 log's as they are. Every store keeps them as they are, and gives them back so.
TEST_P(HistoryStoreOn, EveryTextComesBackAsItIs) {
    std::string everyByte;
    for (int b = 0; b < 256; ++b)
        everyByte += static_cast<char>(b);
    HistorySnapshot snap = Snapshot(Utf8FromWindows1252("M\xfcnchen \x80"),
                                    "Mittwoch, 9. M\xc3\xa4rz 2005", "2005-03-09T00:00:00");
    snap.run.logPath = "/home/j\xc3\xbcrgen/po.log";  // a file name of this system: UTF-8
    snap.mailboxes[0].username = Utf8FromWindows1252(everyByte);
    snap.mailboxes[0].fullname = "Tab\there, line\nend, back\\slash \\N";
    snap.mailboxes[1].username = "\xc5\x81UKASZ";
    snap.mailboxes[1].fullname =
        Utf8FromWindows1252("Fran\xe7oise \x93quoted\x94 \x81\x8d\x8f\x90\x9d") + " \xc5\x82";
    auto store = Open();
    Record(*store, snap);
    const auto runs = store->Runs(snap.run.poName, "path");
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].poName, snap.run.poName);
    EXPECT_EQ(runs[0].processedOn, snap.run.processedOn);
    EXPECT_EQ(runs[0].logPath, snap.run.logPath);
    const auto boxes = store->Mailboxes(runs[0].id);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].username, snap.mailboxes[0].username);
    EXPECT_EQ(Windows1252FromUtf8(boxes[0].username), everyByte);
    EXPECT_EQ(boxes[0].fullname, snap.mailboxes[0].fullname);
    EXPECT_EQ(boxes[1].username, snap.mailboxes[1].username);
    EXPECT_EQ(boxes[1].fullname, snap.mailboxes[1].fullname);
    std::vector<std::string> sizes;
    store->ForEachSize(runs[0].id, [&sizes](std::string_view username, std::optional<double>) {
        sizes.emplace_back(username);
    });
    EXPECT_EQ(sizes, (std::vector<std::string>{boxes[0].username, boxes[1].username}));
    // What an administrator's own query shows: readable text, as every store keeps UTF-8.
    EXPECT_EQ(Query("SELECT po_name FROM runs"), "M\xc3\xbcnchen \xe2\x82\xac\n");
}

TEST_P(HistoryStoreOn, ANewerSchemaIsRefusedAndLeftAsItWas) {
    {
        auto store = Open();
        Record(*store, Snapshot("PO", "Monday", "2005-03-07T02:15:00"));
    }
    Query(backend_->NewerVersionSql());
    try {
        Open();
        ADD_FAILURE() << "a store of a newer version opened";
    } catch (const KestramaError& e) {
        EXPECT_EQ(e.kind, ErrorKind::InputOutput);
        EXPECT_NE(std::string(e.what()).find("history database of a newer version (7)"),
                  std::string::npos)
            << e.what();
        EXPECT_EQ(e.where, where_);
    }
    EXPECT_EQ(Query("SELECT count(*) FROM runs"), "1\n");
    EXPECT_EQ(Query("SELECT count(*) FROM mailboxes"), "2\n");
}

TEST_P(HistoryStoreOn, TwoRecordersAtOnceBothSucceed) {
    // Both start on a new store, so both may create the schema at once; then each records its
    // own post office, and both record one same log (which is kept once).
    auto recorder = [this](const std::string& po) {
        auto store = Open();
        for (int week = 1; week <= 5; ++week)
            Record(*store, Snapshot(po, "week " + std::to_string(week),
                                    "2005-03-0" + std::to_string(week) + "T00:00:00"));
        Record(*store, Snapshot("Shared", "Monday", "2005-03-07T00:00:00"));
    };
    auto a = std::async(std::launch::async, recorder, "Harbour");
    auto b = std::async(std::launch::async, recorder, "Lighthouse");
    EXPECT_NO_THROW(a.get());
    EXPECT_NO_THROW(b.get());
    EXPECT_EQ(Query("SELECT po_name, count(*) FROM runs GROUP BY po_name ORDER BY po_name"),
              "Harbour|5\nLighthouse|5\nShared|1\n");
    EXPECT_EQ(Query("SELECT count(*) FROM mailboxes"), "22\n");
}

TEST_P(HistoryStoreOn, AllRunsForgettingOneAndOneMailboxOverTime) {
    auto store = Open();
    EXPECT_TRUE(store->AllRuns().empty());
    // Recorded out of date order, two post offices of one name, and a username whose letter case
    // changed between runs.
    HistorySnapshot b = Snapshot("B", "b", "2005-03-07T02:00:00");
    const auto bId = Record(*store, b);
    HistorySnapshot late = Snapshot("A", "late", "2005-03-14T02:00:00");
    late.mailboxes[0].username = "a";
    late.mailboxes[0].sizeMb = 120;
    const auto lateId = Record(*store, late);
    HistorySnapshot early = Snapshot("A", "early", "2005-03-07T02:00:00");
    early.mailboxes.push_back({"\xc4rger", "", 1, 0, 0, 0, 0, 0, "", ""});
    const auto earlyId = Record(*store, early);
    HistorySnapshot elsewhere = Snapshot("A", "elsewhere", "2005-01-01T00:00:00");
    elsewhere.run.poPath = "other";
    const auto elsewhereId = Record(*store, elsewhere);

    std::vector<std::int64_t> ids;
    for (const HistoryRun& r : store->AllRuns())
        ids.push_back(r.id);
    // By name, path, then date.
    EXPECT_EQ(ids, (std::vector<std::int64_t>{elsewhereId, earlyId, lateId, bId}));

    struct Case {
        const char* username;
        std::vector<std::pair<std::int64_t, double>> points;  // run id and size, in order
    };
    const Case cases[] = {
        {"A", {{earlyId, 100.5}, {lateId, 120}}},  // A to Z match whatever their case
        {"a", {{earlyId, 100.5}, {lateId, 120}}},
        {"\xc4rger", {{earlyId, 1}}},
        {"\xe4rger", {}},  // other letters as they are, on every store alike
        {"C", {}},
    };
    for (const Case& c : cases) {
        std::vector<std::pair<std::int64_t, double>> got;
        for (const MailboxPoint& p : store->MailboxOverTime("A", "path", c.username)) {
            got.emplace_back(p.run.id, p.mailbox.sizeMb.value_or(-1));
            EXPECT_EQ(p.run.poPath, "path");
        }
        EXPECT_EQ(got, c.points) << c.username;
    }
    const auto points = store->MailboxOverTime("A", "path", "a");
    ASSERT_EQ(points.size(), 2u);
    EXPECT_EQ(points[1].run, store->Runs("A", "path").back());
    EXPECT_EQ(points[1].mailbox.username, "a");
    EXPECT_EQ(points[1].mailbox.fullname, "Anna");

    // Forgetting one run takes its mailboxes with it and leaves every other run as it was.
    EXPECT_TRUE(store->ForgetRun(earlyId));
    EXPECT_FALSE(store->ForgetRun(earlyId));
    ids.clear();
    for (const HistoryRun& r : store->AllRuns())
        ids.push_back(r.id);
    EXPECT_EQ(ids, (std::vector<std::int64_t>{elsewhereId, lateId, bId}));
    EXPECT_EQ(Query("SELECT count(*) FROM mailboxes WHERE run_id = " + std::to_string(earlyId)),
              "0\n");
    EXPECT_EQ(Query("SELECT count(*) FROM mailboxes"), "6\n");
    EXPECT_EQ(store->MailboxOverTime("A", "path", "A").size(), 1u);
}

// Forgetting waits for a recorder of the same post office, as another recording would, and then
// deletes.
TEST_P(HistoryStoreOn, ForgettingWaitsForARecorder) {
    auto store = Open();
    const auto id = Record(*store, Snapshot("PO", "Monday", "2005-03-07T02:15:00"));
    auto recorder = Open();
    std::optional<HistoryStore::Transaction> write(recorder->Begin());
    write->RecordRun(Snapshot("PO", "Tuesday", "2005-03-08T02:15:00"));
    std::atomic<bool> noticed = false;
    store->SetWaiting([&noticed] { noticed = true; }, {});
    auto forget = std::async(std::launch::async, [&] { return store->ForgetRun(id); });
    EXPECT_EQ(forget.wait_for(std::chrono::milliseconds(700)), std::future_status::timeout);
    write->Commit();
    EXPECT_TRUE(forget.get());
    EXPECT_EQ(Query("SELECT processed_on FROM runs"), "Tuesday\n");
}

INSTANTIATE_TEST_SUITE_P(
    , HistoryStoreOn,
    testing::Values(BackendCase{"SQLite", [] { return std::make_unique<SqliteBackend>(); }},
                    BackendCase{"PostgreSQL", [] { return std::make_unique<PgBackend>(); }}),
    [](const testing::TestParamInfo<BackendCase>& info) { return info.param.name; });

}  // namespace
