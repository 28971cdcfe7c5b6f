// The history store and the trend reports: dates of the three languages, the projection and
// the quota bands on tables of cases, the store's round trip and its refusals, and batch runs
// with /HISTORY: (same reports, growth over runs, all or nothing, two runs at once).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <functional>
#include <future>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <mutex>

#include "SqliteQuery.h"
#include "TestSupport.h"
#include "history/HistoryStore.h"
#include "history/RecordHistory.h"
#include "history/SqliteHistoryStore.h"
#include "history/Trends.h"
#include "history/TrendsReport.h"
#include "testlog/DummyLog.h"
#include "text/Cp1252Utf8.h"
#include "text/Errors.h"
#include "text/LogDates.h"
#include "text/PendingFiles.h"

using namespace k32;
using namespace k32::test;
namespace fs = std::filesystem;

namespace {

const std::string kOptions = "/OPTIONS:5130;.";

std::string Sample(const std::string& name) {
    return std::string(KESTRAMA_SAMPLES) + "/" + name;
}

// A table of one mailbox, ANNA, of `sizeMb` MB, her limit 300 MB at an 80% threshold.
MailboxTable AnnaTable(const std::string& sizeMb = "100") {
    const MailboxRecord anna = {Text("ANNA"), Text("Anna"), Text("1"),   Text("2"),   Text("3"),
                                Text(sizeMb), Text("a1"),   Text("300"), Text("80%"), Text("No")};
    MailboxTable table;
// GCC 12 warns of an out-of-bounds store inside the table's vector growth that cannot happen
// (a known false positive of -Warray-bounds with -O3).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
    table.Append(anna);
#pragma GCC diagnostic pop
    return table;
}

// Records `table` with its trend reports beside `base`, committed as a mailbox run commits.
void RecordWithTrends(HistoryStore& store, const MailboxTable& table, const RunSummary& summary,
                      const std::string& logPath, const std::string& base, RunContext& ctx) {
    PendingFiles pending;
    HistoryRecording recording(store, table, summary, logPath);
    recording.Stage(ctx, base, ";", pending);
    pending.CommitAll([&recording] { recording.Commit(); });
}

// The English sample with another date and Anna Morgan's size (in MB), for runs over time.
std::string SampleOn(const std::string& date, int annaMb, bool withBo = true) {
    std::string log = ReadFile(Sample("english-gw652.log"));
    auto replace = [&](const std::string& from, const std::string& to) {
        const auto at = log.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        log.replace(at, from.size(), to);
    };
    replace("Monday, March 7, 2005 - 2:15 am", date);
    replace("210944 kbytes", std::to_string(annaMb * 1024) + " kbytes");
    if (!withBo)
        replace("Checking user = BCHEN", "Checking user = BCHEN2");
    return log;
}

ProcessResult Batch(const std::string& in, const std::string& out, const std::string& history) {
    return RunProcess({Kestrama32(), "/IN:" + in, "/OUT:" + out, kOptions, "/HISTORY:" + history});
}

std::vector<std::string> CsvLines(const std::string& path) {
    return SplitCrLf(ReadFile(path));
}

}  // namespace

TEST(LogDates, HeaderDatesOfEachLanguage) {
    struct Case {
        std::string text;
        std::optional<std::string> iso;
    };
    const std::vector<Case> cases = {
        {"Monday, March 7, 2005 - 2:15 am", "2005-03-07T02:15:00"},
        {"Saturday, May 31, 2003 - 1:00 pm", "2003-05-31T13:00:00"},
        {"Monday, March 7, 2005 - 12:05 am", "2005-03-07T00:05:00"},
        {"Dienstag, 14. M\xe4rz 2006 - 03:00", "2006-03-14T03:00:00"},
        {"Freitag, 1. Dezember 2006 - 23:10", "2006-12-01T23:10:00"},
        {"mercredi 9 avril 2008 - 4:30", "2008-04-09T04:30:00"},
        {"samedi 16 ao\xfbt 2008 - 18:00", "2008-08-16T18:00:00"},
        {"jeudi 28 f\xe9vrier 2008", "2008-02-28T00:00:00"},
        {"Friday, February 30, 2007 - 1:00 am", std::nullopt},  // no such day
        {"Monday", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseLogDate(c.text), c.iso) << c.text;
}

TEST(Trends, DaysToLimitByLeastSquares) {
    using Points = std::vector<std::pair<double, double>>;
    struct Case {
        const char* what;
        Points points;
        double limit, today;
        std::optional<double> days, mbPerDay;
    };
    const std::vector<Case> cases = {
        {"10 MB a day, 50 MB left", {{0, 100}, {7, 170}, {14, 240}}, 290, 14, 5.0, 10.0},
        {"already at the limit", {{0, 100}, {7, 170}, {14, 240}}, 200, 14, 0.0, 10.0},
        {"two runs are too few", {{0, 100}, {14, 240}}, 290, 14, std::nullopt, std::nullopt},
        {"three runs within a week",
         {{0, 100}, {3, 130}, {6, 160}},
         290,
         6,
         std::nullopt,
         std::nullopt},
        {"not growing", {{0, 100}, {7, 100}, {14, 100}}, 290, 14, std::nullopt, 0.0},
        {"shrinking", {{0, 200}, {7, 150}, {14, 100}}, 290, 14, std::nullopt, -50.0 / 7},
    };
    for (const Case& c : cases) {
        const auto got = DaysToLimit(c.points, c.limit, c.today);
        ASSERT_EQ(got.has_value(), c.days.has_value()) << c.what;
        if (got) {
            EXPECT_NEAR(*got, *c.days, 1e-9) << c.what;
        }
        const LimitProjection p = ProjectToLimit(c.points, c.limit, c.today);
        ASSERT_EQ(p.mbPerDay.has_value(), c.mbPerDay.has_value()) << c.what;
        if (p.mbPerDay) {
            EXPECT_NEAR(*p.mbPerDay, *c.mbPerDay, 1e-9) << c.what;
        }
    }
    // The noisy line: slope 9.14 MB a day through the mean (10.5 days, 195 MB).
    const auto noisy = DaysToLimit({{0, 100}, {7, 180}, {14, 200}, {21, 300}}, 400, 21);
    ASSERT_TRUE(noisy);
    const double slope =
        (-10.5 * -95 + -3.5 * -15 + 3.5 * 5 + 10.5 * 105) / (2 * (10.5 * 10.5 + 3.5 * 3.5));
    EXPECT_NEAR(*noisy, (400 - (195 + slope * 10.5)) / slope, 1e-9);
}

TEST(Trends, IsoDateOfDay) {
    const std::vector<std::pair<double, std::string>> cases = {
        {0, "1970-01-01"},       {0.999, "1970-01-01"},
        {-0.25, "1969-12-31"},   {20467.5, "2026-01-14"},
        {-719162, "0001-01-01"}, {2932896.9, "9999-12-31"},
        {2932897, ""},           {1e300, ""},
        {std::nan(""), ""},
    };
    for (const auto& [day, iso] : cases)
        EXPECT_EQ(IsoDateOfDay(day), iso) << day;
}

// The growth per week and the date of the limit come from the line that gives the days to the
// limit: the day it reaches the limit counted from this run's time, no date beyond ten years.
TEST(Trends, LimitDateAndGrowthPerWeekFollowTheProjection) {
    struct Case {
        const char* what;
        std::vector<const char*> times;
        std::vector<double> sizes;
        double limit;
        std::optional<double> days, perWeek;
        std::string date;
    };
    const std::vector<Case> cases = {
        {"10 MB a day, 50 MB left",
         {"2026-01-05T02:00:00", "2026-01-12T02:00:00", "2026-01-19T02:00:00"},
         {100, 170, 240},
         290,
         5.0,
         70.0,
         "2026-01-24"},
        {"the limit late in the day after",
         {"2026-01-05T18:00:00", "2026-01-12T18:00:00", "2026-01-19T18:00:00"},
         {100, 170, 240},
         255,
         1.5,
         70.0,
         "2026-01-21"},
        {"over the limit on the line: reached today",
         {"2026-01-05T02:00:00", "2026-01-12T02:00:00", "2026-01-19T02:00:00"},
         {100, 170, 240},
         200,
         0.0,
         70.0,
         "2026-01-19"},
        {"shrinking: a weekly figure, no date",
         {"2026-01-05T02:00:00", "2026-01-12T02:00:00", "2026-01-19T02:00:00"},
         {240, 170, 100},
         290,
         std::nullopt,
         -70.0,
         ""},
        {"beyond ten years: no date",
         {"2026-01-05T02:00:00", "2026-01-12T02:00:00", "2026-01-19T02:00:00"},
         {100, 100.7, 101.4},
         1000,
         8986.0,
         0.7,
         ""},
        {"two runs: no line",
         {"2026-01-05T02:00:00", "2026-01-19T02:00:00"},
         {100, 240},
         290,
         std::nullopt,
         std::nullopt,
         ""},
    };
    for (const Case& c : cases) {
        std::vector<HistoryRun> runs(c.times.size());
        std::vector<std::vector<HistoryMailbox>> mailboxesOf(c.times.size());
        for (std::size_t i = 0; i < c.times.size(); ++i) {
            runs[i].processedAt = c.times[i];
            HistoryMailbox m;
            m.username = "ANNA";
            m.sizeMb = c.sizes[i];
            m.limitMb = c.limit;
            mailboxesOf[i] = {m};
        }
        const PostOfficeTrends t = ComputeTrends(runs, mailboxesOf);
        ASSERT_EQ(t.sincePrevious.size(), 1u) << c.what;
        const GrowthRow& r = t.sincePrevious[0];
        ASSERT_EQ(r.daysToLimit.has_value(), c.days.has_value()) << c.what;
        if (c.days) {
            EXPECT_NEAR(*r.daysToLimit, *c.days, 1e-6) << c.what;
        }
        ASSERT_EQ(r.growthPerWeekMb.has_value(), c.perWeek.has_value()) << c.what;
        if (c.perWeek) {
            EXPECT_NEAR(*r.growthPerWeekMb, *c.perWeek, 1e-9) << c.what;
        }
        EXPECT_EQ(r.limitDate, c.date) << c.what;
    }
}

TEST(Trends, QuotaBands) {
    struct Case {
        std::optional<double> size, limit, threshold;
        const char* exceeded;
        QuotaBand band;
    };
    const std::vector<Case> cases = {
        {100, 200, 80, "No", QuotaBand::Green},
        {160, 200, 80, "No", QuotaBand::Amber},
        {200, 200, 80, "No", QuotaBand::Red},
        // Over the threshold and under the limit: the log says Exceeded, the band is amber.
        {188, 200, 90, "Threshold", QuotaBand::Amber},
        {188, 200, 90, "Size", QuotaBand::Amber},
        {210, 200, 90, "Size", QuotaBand::Red},
        {10, std::nullopt, 80, "No", QuotaBand::NoLimit},
        {10, std::nullopt, std::nullopt, "", QuotaBand::NoLimit},
        {10, std::nullopt, 80, "Size", QuotaBand::NoLimit},
        {170, 200, std::nullopt, "No", QuotaBand::Green},
        {170, 200, std::nullopt, "Threshold", QuotaBand::Amber},
        // No size: the Exceeded text is all there is.
        {std::nullopt, 200, 80, "Size", QuotaBand::Red},
        {std::nullopt, 200, 80, "Threshold", QuotaBand::Amber},
        {std::nullopt, 200, 80, "No", QuotaBand::Green},
    };
    for (const Case& c : cases) {
        HistoryMailbox m;
        m.sizeMb = c.size;
        m.limitMb = c.limit;
        m.thresholdPct = c.threshold;
        m.exceeded = c.exceeded;
        EXPECT_EQ(BandOf(m), c.band) << c.size.value_or(-1) << " of " << c.limit.value_or(-1);
    }
}

// Growth matches each username of the last run with its first mailbox with a size in an
// earlier run; mailboxes of a username repeated in the last run share that size. Of equal
// growth, the earlier row ranks first.
TEST(Trends, GrowthMatchesUsernamesAndRanksTiesInRowOrder) {
    auto box = [](const char* user, std::optional<double> size) {
        HistoryMailbox m;
        m.username = user;
        m.fullname = std::string("Full ") + user;
        m.sizeMb = size;
        return m;
    };
    std::vector<HistoryRun> runs(3);
    runs[0].processedAt = "2005-02-05T02:15:00";  // 30 days before the last
    runs[1].processedAt = "2005-02-28T02:15:00";
    runs[2].processedAt = "2005-03-07T02:15:00";
    const std::vector<std::vector<HistoryMailbox>> mailboxesOf = {
        {box("A", 100), box("B", 50), box("C", 10)},
        {box("A", std::nullopt), box("A", 110), box("A", 999), box("X", 5), box("B", std::nullopt),
         box("C", 10), box("Y", std::nullopt)},
        {box("A", 120), box("B", 60), box("C", 20), box("D", 1), box("C", 30)}};
    const PostOfficeTrends t = ComputeTrends(runs, mailboxesOf);
    ASSERT_EQ(t.previous, 1u);
    ASSERT_EQ(t.monthAgo, 0u);
    auto growth = [](const std::vector<GrowthRow>& rows) {
        std::string s;
        for (const GrowthRow& r : rows)
            s += r.username + ":" +
                 (r.sizeThen ? std::to_string(static_cast<int>(*r.sizeThen)) : "-") + ">" +
                 (r.growthMb ? std::to_string(static_cast<int>(*r.growthMb)) : "-") + " ";
        return s;
    };
    EXPECT_EQ(growth(t.sincePrevious), "A:110>10 B:->- C:10>10 D:->- C:10>20 ");
    EXPECT_EQ(growth(t.topSincePrevious), "C:10>20 A:110>10 C:10>10 ");
    EXPECT_EQ(growth(t.topSinceMonthAgo), "A:100>20 C:10>20 B:50>10 C:10>10 ");
    EXPECT_EQ(growth(TopGrowers(t.sincePrevious, 2)), "C:10>20 A:110>10 ");
    EXPECT_EQ(t.topSinceMonthAgo[0].fullname, "Full A");
    // B was in the previous run without a size: neither new nor gone.
    EXPECT_EQ(t.newMailboxes, std::vector<std::string>{"D"});
    // A gone mailbox keeps its size in the previous run, where it had one.
    EXPECT_EQ(t.goneMailboxes, (std::vector<GoneMailbox>{{"X", 5.0}, {"Y", std::nullopt}}));
}

// The SQLite store with the defaults that other stores inherit for writing rows one at a time
// and reading sizes alone.
class PlainStore : public SqliteHistoryStore {
  public:
    using SqliteHistoryStore::SqliteHistoryStore;
    void ForEachSize(std::int64_t id, const EachSize& each) override {
        HistoryStore::ForEachSize(id, each);
    }

  protected:
    std::int64_t RecordRunRows(const HistoryRun& run, std::size_t count,
                               const FillMailbox& fill) override {
        return HistoryStore::RecordRunRows(run, count, fill);
    }
};

// Rows handed over one at a time, and sizes read back alone, by the SQLite store and by the
// defaults that other stores inherit.
TEST(HistoryStore, RowsOneAtATimeAndSizesAlone) {
    TempDir dir;
    SqliteHistoryStore sqlite(dir / "h.sqlite");
    PlainStore plain(dir / "h.sqlite");
    const std::vector<HistoryMailbox> rows = {
        {"A", "Anna", 100, 1, 2, 3, 200, 80, "No", "a1"},
        {"B", "Bo", std::nullopt, 4, 5, 6, std::nullopt, std::nullopt, "", "b2"},
        {"A", "Anna again", 7, 0, 0, 0, 200, 80, "No", "a3"}};
    int n = 0;
    for (HistoryStore* store : std::vector<HistoryStore*>{&sqlite, &plain}) {
        HistoryRun run;
        run.poName = "PO";
        run.poPath = "path";
        run.processedOn = "run " + std::to_string(++n);
        run.processedAt = "2005-03-0" + std::to_string(n) + "T00:00:00";
        run.mailboxes = 3;
        HistoryStore::Transaction write = store->Begin();
        const std::int64_t id = write.RecordRunRows(
            run, rows.size(), [&](std::size_t i, HistoryMailbox& m) { m = rows[i]; });
        write.Commit();
        const auto back = store->Mailboxes(id);
        ASSERT_EQ(back.size(), 3u) << n;
        EXPECT_EQ(back[2].fullname, "Anna again") << n;
        EXPECT_EQ(back[1].sizeMb, std::nullopt) << n;
        EXPECT_EQ(back[1].uid, "b2") << n;
        std::string sizes;
        store->ForEachSize(id, [&](std::string_view user, std::optional<double> mb) {
            sizes +=
                std::string(user) + "=" + (mb ? std::to_string(static_cast<int>(*mb)) : "-") + " ";
        });
        EXPECT_EQ(sizes, "A=100 B=- A=7 ") << n;
    }
    EXPECT_EQ(sqlite.Runs("PO", "path").size(), 2u);
}

// The store's round trip, order and concurrency cases run on every back end: tests/store.
TEST(HistoryStore, RefusesFilesItCannotUseAndLeavesThemAsTheyWere) {
    TempDir dir;
    const std::string notDb = dir / "notes.txt";
    WriteFile(notDb, std::string(4096, 'x'));
    const std::string newer = dir / "newer.sqlite";
    { SqliteHistoryStore store(newer); }
    SqliteQuery(newer, "PRAGMA user_version=7");
    const std::string newerBytes = ReadFile(newer);
    // Another program's database: its tables are not the history's.
    const std::string foreign = dir / "other.db";
    {
        sqlite3* h = nullptr;
        sqlite3_open(foreign.c_str(), &h);
        sqlite3_exec(h, "CREATE TABLE notes (x TEXT); INSERT INTO notes VALUES ('mine')", nullptr,
                     nullptr, nullptr);
        sqlite3_close(h);
    }
    const std::string foreignBytes = ReadFile(foreign);
    // A good store whose write-ahead log cannot be opened: the file is not blamed.
    const std::string blocked = dir / "blocked.sqlite";
    { SqliteHistoryStore store(blocked); }
    fs::create_directory(blocked + "-wal");
    const std::string blockedBytes = ReadFile(blocked);
    struct Case {
        std::string file, message;
    };
    for (const Case& c :
         {Case{notDb, "not a history database"},
          Case{foreign, "not a history database: it holds tables of another program"},
          Case{newer, "history database of a newer version (7)"},
          Case{blocked, "cannot read the history database: "},
          Case{dir / "missing/h.sqlite", "cannot open the history database"}}) {
        try {
            SqliteHistoryStore store(c.file);
            ADD_FAILURE() << c.file << " opened";
        } catch (const KestramaError& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
            EXPECT_EQ(e.where, c.file);
        }
    }
    EXPECT_EQ(ReadFile(notDb), std::string(4096, 'x'));
    EXPECT_EQ(ReadFile(newer), newerBytes);
    EXPECT_EQ(ReadFile(foreign), foreignBytes);
    EXPECT_EQ(ReadFile(blocked), blockedBytes);
    EXPECT_EQ(SqliteQuery(foreign, "PRAGMA journal_mode"), "delete\n");
    EXPECT_FALSE(fs::exists(foreign + "-wal"));
}

// A store that cannot be written is found when it is opened, before any log is read, and
// leaves no files of its write-ahead log beside it. Tried as a user other than the file's
// owner (the super-user writes any file).
TEST(HistoryStore, AStoreThatCannotBeWrittenIsFoundWhenOpened) {
    TempDir dir;
    fs::permissions(dir.path(), fs::perms::all);
    const std::string file = dir / "h.sqlite";
    { SqliteHistoryStore store(file); }
    const std::string bytes = ReadFile(file);
    fs::permissions(file, static_cast<fs::perms>(0444));
    // The answer comes back as the child's exit status: 0 found at open, 1 not found, 2 found
    // but files were left.
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::geteuid() == 0 &&
            (::setresgid(65534, 65534, 65534) != 0 || ::setresuid(65534, 65534, 65534) != 0))
            ::_exit(3);
        try {
            SqliteHistoryStore store(file);
            ::_exit(1);
        } catch (const KestramaError& e) {
            if (std::string(e.what()) != "cannot write the history database: the file is read-only")
                ::_exit(1);
        }
        ::_exit(fs::exists(file + "-wal") || fs::exists(file + "-shm") ? 2 : 0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadFile(file), bytes);
}

// Two runs recording into one file at once: the second waits while the first holds the store,
// says so, and records once the first has committed.
TEST(HistoryStore, ARecordingWaitsForAnotherAndSaysSo) {
    TempDir dir;
    const std::string file = dir / "h.sqlite";
    WriteDummyLog(dir / "po.log", kDummyGW65, 20, false);
    SqliteHistoryStore first(file);
    std::optional<HistoryStore::Transaction> holding(first.Begin());
    AppState state;
    PrepareBatchState(state, dir / "po.log", dir / "po");
    state.WindowMode = true;
    state.settings.KeepHistory = true;
    state.settings.HistoryFile = file;
    std::mutex mutex;
    std::vector<std::string> lines;
    std::promise<void> waiting;
    state.screenLine = [&](std::string_view line) {
        std::lock_guard lock(mutex);
        lines.emplace_back(line);
        if (line.find("Waiting for another run that is recording into the history") !=
            std::string_view::npos)
            waiting.set_value();
    };
    auto second = std::async(std::launch::async, [&] { return RunProcessing(state); });
    ASSERT_EQ(waiting.get_future().wait_for(std::chrono::seconds(60)), std::future_status::ready);
    holding->Commit();
    EXPECT_EQ(second.get(), RunOutcome::ReportsWritten);
    // The Log tab says where the record and the trend reports went.
    auto said = [&lines](const std::string& text) {
        return std::any_of(lines.begin(), lines.end(),
                           [&](const std::string& l) { return l.find(text) != std::string::npos; });
    };
    EXPECT_TRUE(said("Recorded in the history: " + file));
    EXPECT_TRUE(said("Trend reports written: " + dir / "po-trends.html, " + dir / "po-trends.csv"));
    EXPECT_EQ(first.Runs("Kestrama PO Name", first.LatestRuns().at(0).poPath).size(), 1u);
}

// A run's recording dropped before its commit (the run failed or was stopped, while recording
// or once its reports were staged) leaves the store as it was.
TEST(HistoryStore, ARecordingDroppedBeforeItsCommitLeavesNoRun) {
    TempDir dir;
    SqliteHistoryStore store(dir / "h.sqlite");
    const MailboxTable table = AnnaTable();
    RunSummary summary;
    summary.postOfficeName = "PO";
    summary.processedOn = "Monday, March 7, 2005 - 2:15 am";
    enum class End { Dropped, DroppedAfterStage, Committed };
    for (End end : {End::Dropped, End::DroppedAfterStage, End::Committed}) {
        PendingFiles pending;
        {
            HistoryRecording recording(store, table, summary, dir / "po.log");
            RunContext ctx;
            if (end != End::Dropped)
                recording.Stage(ctx, dir / "po", ";", pending);
            if (end == End::Committed)
                pending.CommitAll([&recording] { recording.Commit(); });
        }
        EXPECT_EQ(store.Runs("PO", "").size(), end == End::Committed ? 1u : 0u)
            << static_cast<int>(end);
    }
}

// Old logs recorded after newer ones: each run's trends compare it with the runs before its
// own date, however the logs were handed over.
TEST(HistoryRecording, ARunRecordedOutOfOrderComparesWithTheRunsBeforeItsDate) {
    TempDir dir;
    SqliteHistoryStore store(dir / "h.sqlite");
    const char* days[] = {"January 5",  "January 12", "January 19",  "January 26",
                          "February 2", "February 9", "February 16", "February 23"};
    auto record = [&](int week) {
        RunSummary summary;
        summary.postOfficeName = "PO";
        summary.processedOn = std::string("Monday, ") + days[week - 1] + ", 2026 - 2:00 am";
        RunContext ctx;
        // ANNA grows 10 MB a week.
        RecordWithTrends(store, AnnaTable(std::to_string(100 + 10 * week)), summary, dir / "po.log",
                         dir / "po", ctx);
        return ReadFile(dir / "po-trends.html");
    };
    for (int week : {1, 2, 3, 5, 6, 7, 8})
        record(week);
    const std::string page = record(4);
    EXPECT_NE(page.find("Compared with the run of 2026-01-19."), std::string::npos) << page;
    EXPECT_NE(page.find("Recorded runs of this post office: 4"), std::string::npos);
    // The week before grew 10 MB, not the -40 MB against the newest run.
    const std::string csv = ReadFile(dir / "po-trends.csv");
    EXPECT_NE(csv.find("ANNA;Anna;130;140;10"), std::string::npos) << csv;
    EXPECT_EQ(store.Runs("PO", "").size(), 8u);
}

// Logs whose header gives no date are dated by their files' times and said to be: two such logs
// are two runs, never one replacing the other.
TEST(HistoryRecording, ALogWithoutADateIsDatedByItsFile) {
    TempDir dir;
    SqliteHistoryStore store(dir / "h.sqlite");
    const MailboxTable table = AnnaTable();
    RunSummary summary;
    summary.postOfficeName = "PO";
    std::vector<std::string> lines;
    for (const char* name : {"week1.log", "week2.log"}) {
        WriteFile(dir / name, "a log");
        const auto age = std::string(name) == "week1.log" ? std::chrono::hours(24 * 14)
                                                          : std::chrono::hours(24 * 7);
        fs::last_write_time(dir / name, fs::file_time_type::clock::now() - age);
        RunContext ctx;
        ctx.windowMode = true;
        ctx.screenLine = [&lines](std::string_view l) { lines.emplace_back(l); };
        RecordWithTrends(store, table, summary, dir / name, dir / "po", ctx);
    }
    const std::vector<HistoryRun> runs = store.Runs("PO", "");
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_LT(runs[0].processedAt, runs[1].processedAt);
    for (const HistoryRun& r : runs)
        EXPECT_EQ(r.processedOn, r.processedAt);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[1].find("The log gives no date: the run is recorded at its file's time, " +
                            runs[1].processedAt),
              std::string::npos)
        << lines[1];
}

// A file damaged in the pages of the mailboxes: each read of them is an error, never a run cut
// short.
TEST(HistoryStore, ADamagedFileIsAReadErrorNotAShortRun) {
    TempDir dir;
    const std::string file = dir / "h.sqlite";
    std::int64_t id = 0;
    {
        SqliteHistoryStore store(file);
        HistoryRun run;
        run.poName = "PO";
        HistoryStore::Transaction write = store.Begin();
        id = write.RecordRunRows(run, 20000, [](std::size_t i, HistoryMailbox& m) {
            m.username = "USER" + std::to_string(i);
            m.fullname = "Person " + std::to_string(i);
            m.sizeMb = static_cast<double>(i);
        });
        write.Commit();
    }
    // Ten pages two thirds into the file, among the rows and their index, overwritten.
    std::string bytes = ReadFile(file);
    const std::size_t page =
        (static_cast<unsigned char>(bytes[16]) << 8) | static_cast<unsigned char>(bytes[17]);
    const std::size_t from = bytes.size() / page * 2 / 3 * page;
    ASSERT_LT(from + 10 * page, bytes.size());
    bytes.replace(from, 10 * page, 10 * page, 'x');
    WriteFile(file, bytes);

    SqliteHistoryStore store(file);
    ASSERT_EQ(store.Runs("PO", "").size(), 1u);
    struct Case {
        const char* what;
        std::function<void()> read;
    };
    std::size_t rows = 0;
    const std::vector<Case> cases = {
        {"Mailboxes", [&] { rows = store.Mailboxes(id).size(); }},
        {"ForEachSize",
         [&] { store.ForEachSize(id, [&](std::string_view, std::optional<double>) { ++rows; }); }},
    };
    for (const Case& c : cases) {
        rows = 0;
        try {
            c.read();
            ADD_FAILURE() << c.what << " read " << rows << " rows";
        } catch (const KestramaError& e) {
            EXPECT_NE(std::string(e.what()).find("cannot read the history database: "),
                      std::string::npos)
                << c.what << ": " << e.what();
            EXPECT_EQ(e.where, file) << c.what;
        }
    }
}

// The history's texts on the trend page: HTML-escaped and readable, a Windows-1252 byte without
// a character showing as the replacement character, and so does a byte of no UTF-8 sequence in
// a store made by hand.
TEST(HistoryTrendsPage, TextsAreEscapedAndReadable) {
    PostOfficeTrends t;
    HistoryRun run;
    run.poName = "R&D <\"Nord\">";
    run.poPath = Utf8FromWindows1252("/srv/M\xfcller\x80\x81");
    run.processedAt = "2005-03-07T02:15:00";
    t.runs = {run};
    t.fullest = {GrowthRow{"A<B", "Jos\xc3\xa9 & \"Bo\"", {}, 5.0, {}, {}, 10.0, 50.0, {}},
                 GrowthRow{"\xc5\x81UKASZ", "M\xfcller", {}, 4.0, {}, {}, 10.0, 40.0, {}}};
    const std::string html = TrendsHtml(TrendsReportData{t, {}, ";"});
    for (const char* part : {"<h1>Trends of post office R&amp;D &lt;&quot;Nord&quot;&gt;</h1>",
                             "<p>Path: /srv/M\xc3\xbcller\xe2\x82\xac\xef\xbf\xbd<br>",
                             "<tr><td>A&lt;B</td><td>Jos\xc3\xa9 &amp; &quot;Bo&quot;</td>",
                             "<tr><td>\xc5\x81UKASZ</td><td>M\xef\xbf\xbdller</td>"})
        EXPECT_NE(html.find(part), std::string::npos) << part;
}

// The page's figures read as a reader expects: growth in % with one decimal, days to a limit
// beyond ten years said so, and the "about 30 days" section named by the span it covers.
TEST(HistoryTrendsPage, FiguresAndSpansReadAsMeant) {
    PostOfficeTrends t;
    HistoryRun first, second;
    first.processedAt = "2026-01-05T02:00:00";
    second.processedAt = "2026-01-12T02:00:00";
    t.runs = {first, second};
    t.previous = t.monthAgo = 0;
    const GrowthRow grew{"ANNA", "Anna", 100.0, 200.0, 100.0, 100.0, 3000.0, 6.7, 51500.0};
    t.topSincePrevious = t.topSinceMonthAgo = t.reachingLimit = {grew};
    const std::string html = TrendsHtml(TrendsReportData{t, {}, ";"});
    for (const char* part : {"<h2>Growth over 7 days</h2>", "<td class=\"n\">100.0</td>",
                             "<td class=\"n\">over 10 years</td>"})
        EXPECT_NE(html.find(part), std::string::npos) << part;
    EXPECT_EQ(html.find("about 30 days"), std::string::npos);
    EXPECT_EQ(html.find("51500"), std::string::npos);
}

// The page groups its figures as the web report groups its numbers, with the same separator; with
// "." between the groups the decimal mark is ",". Texts and the CSV are never grouped.
TEST(HistoryTrendsPage, FiguresAreGroupedWithTheWebReportsSeparator) {
    PostOfficeTrends t;
    HistoryRun first, second;
    first.processedAt = "2026-01-05T02:00:00";
    second.processedAt = "2026-01-12T02:00:00";
    second.poName = "PO1234567";
    second.mailboxes = 12345;
    second.totalMb = 1234567.5;
    t.runs = {first, second};
    t.previous = t.monthAgo = 0;
    GrowthRow grew{"U1234", "Anna", 100.0, 1334.0, -1234.0, 1234.5, 2000.0, 66.7, 3.0};
    grew.growthPerWeekMb = 1400.0;
    grew.limitDate = "2026-01-15";
    t.topSincePrevious = t.reachingLimit = {grew};
    t.goneMailboxes = {{"GONE", 4321.5}};
    struct Case {
        std::string separator;
        std::vector<std::string> parts;
    };
    const std::vector<Case> cases = {
        {"",
         {"12345 mailboxes, 1234567.5 MB", ">1334<", ">-1234<", ">1234.5<", ">1400.0<",
          "GONE (4321.5 MB)"}},
        {".",
         {"12.345 mailboxes, 1.234.567,5 MB", ">1.334<", ">-1.234<", ">1.234,5<", ">1.400,0<",
          "GONE (4.321,5 MB)", ">2026-01-15<"}},
        {",",
         {"12,345 mailboxes, 1,234,567.5 MB", ">1,334<", ">-1,234<", ">1,234.5<",
          "GONE (4,321.5 MB)"}},
        {"'", {"12'345 mailboxes, 1'234'567.5 MB", ">1'334<"}},
        // A byte of the settings is Windows-1252 and HTML on the page.
        {"\xa0",
         {"12\xc2\xa0"
          "345 mailboxes"}},
        {"&", {"12&amp;345 mailboxes"}},
    };
    for (const Case& c : cases) {
        TrendsReportData data{t, {}, ";", c.separator};
        const std::string html = TrendsHtml(data);
        for (const std::string& part : c.parts)
            EXPECT_NE(html.find(part), std::string::npos) << "\"" << c.separator << "\": " << part;
        EXPECT_NE(html.find("PO1234567"), std::string::npos) << c.separator;
        EXPECT_NE(html.find("U1234"), std::string::npos) << c.separator;
    }
    // The axis of the total size: ticks of 500.000 MB.
    const std::string dotted = TrendsHtml(TrendsReportData{t, {}, ";", "."});
    EXPECT_NE(dotted.find(">1.500.000</text>"), std::string::npos);
    t.sincePrevious = {grew};
    EXPECT_EQ(TrendsCsvLines(TrendsReportData{t, {}, ";", "."})[1],
              "U1234;Anna;100;1334;-1234;1234.5;2000;66.7;3;1400;2026-01-15");
}

// Printed, a heading stays with what follows it, charts and short tables are not split and a
// long table repeats its header: the rules are on the page and the short tables are marked. (The
// web-engine test prints the page and reads the pages back.)
TEST(HistoryTrendsPage, PrintedSectionsKeepTogether) {
    PostOfficeTrends t;
    HistoryRun first, second;
    first.processedAt = "2026-01-05T02:00:00";
    second.processedAt = "2026-01-12T02:00:00";
    t.runs = {first, second};
    t.previous = t.monthAgo = 0;
    const GrowthRow row{"ANNA", "Anna", 100.0, 200.0, 100.0, 100.0, 300.0, 66.7, 3.0};
    t.topSincePrevious = std::vector<GrowthRow>(3, row);
    t.fullest = std::vector<GrowthRow>(kFullestShown, row);
    const std::string html = TrendsHtml(TrendsReportData{t, {}, ";"});
    for (const char* part :
         {"h1, h2, h2 + p, p.lead { break-after: avoid; page-break-after: avoid; }",
          "figure, table.short, tr { break-inside: avoid; page-break-inside: avoid; }",
          "thead { display: table-header-group; }",
          ".keep { break-inside: avoid; page-break-inside: avoid; }",
          // Engines that ignore break-after move the heading with its chart or short table.
          "<div class=\"keep\">\n<h2>Quota bands</h2>\n<table class=\"short\">",
          "<div class=\"keep\">\n<h2>Growth since the previous run</h2>\n<p>"})
        EXPECT_NE(html.find(part), std::string::npos) << part;
    // The growth table (3 rows) and the bands (4) are short; the fullest (50) is not.
    const auto tableBefore = [&](const std::string& text) {
        const std::size_t at = html.find(text);
        return html.substr(html.rfind("<table", at), 22);
    };
    EXPECT_EQ(tableBefore("<th>Size then (MB)</th>"), "<table class=\"short\"><");
    EXPECT_EQ(tableBefore("<th>Band</th>"), "<table class=\"short\"><");
    EXPECT_EQ(tableBefore("<th class=\"n\">Size (MB)</th>").substr(0, 8), "<table><");
    EXPECT_NE(html.find("<p class=\"lead\">The mailboxes nearest their limit:</p>"),
              std::string::npos);
}

// One mailbox more among three hundred is a small change on the chart: its scale starts at zero,
// with a few labelled ticks and light gridlines, never at the lowest value.
TEST(HistoryTrendsPage, ChartsStartAtZeroWithTicks) {
    PostOfficeTrends t;
    HistoryRun first, second;
    first.processedAt = "2026-01-05T02:00:00";
    second.processedAt = "2026-01-12T02:00:00";
    first.mailboxes = 307;
    second.mailboxes = 308;
    first.totalMb = second.totalMb = 785;
    t.runs = {first, second};
    const std::string html = TrendsHtml(TrendsReportData{t, {}, ";"});
    const std::string counts = html.substr(html.find("aria-label=\"Number of mailboxes\""));
    for (const char* tick : {">0</text>", ">100</text>", ">200</text>", ">300</text>"})
        EXPECT_NE(counts.find(tick), std::string::npos) << tick;
    EXPECT_EQ(counts.find(">307</text>"), std::string::npos);
    EXPECT_NE(counts.find("stroke=\"#e4e4e4\""), std::string::npos);
    // The total-size chart: one label per tick, none repeated around a single value.
    const std::string sizes = html.substr(html.find("aria-label=\"Total size"));
    EXPECT_EQ(sizes.find(">785</text>"), std::string::npos);
    EXPECT_NE(sizes.find(">800</text>"), std::string::npos);
}

TEST(HistoryBatch, ReportsStayTheSameAndTrendsFollowTheRuns) {
    TempDir dir;
    const std::string db = dir / "h.sqlite";
    // Without history, then with: the two reports are the same bytes.
    // (The web report names its own path, so both runs use the same one.)
    ASSERT_EQ(RunProcess({Kestrama32(), "/IN:" + Sample("english-gw652.log"),
                          "/OUT:" + (dir / "po"), kOptions})
                  .exitCode,
              0);
    const std::string plainCsv = ReadFile(dir / "po.csv"), plainMht = ReadFile(dir / "po.mht");
    ProcessResult r = Batch(Sample("english-gw652.log"), dir / "po", db);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(ReadFile(dir / "po.csv") == plainCsv);
    EXPECT_TRUE(ReadFile(dir / "po.mht") == plainMht);
    EXPECT_NE(ReadFile(dir / "po-trends.html").find("Trends start with the next run"),
              std::string::npos);
    EXPECT_EQ(CsvLines(dir / "po-trends.csv")[0],
              "Username;Fullname;Size then (MB);Size now (MB);Growth (MB);Growth (%);Limit (MB);"
              "Used (%);Days to limit;Growth per week (MB);Limit reached on");
    EXPECT_EQ(SqliteQuery(db, "SELECT processed_at, mailboxes, total_mb FROM runs"),
              "2005-03-07T02:15:00|5|784.0\n");
    // Recording the same log again replaces its run.
    ASSERT_EQ(Batch(Sample("english-gw652.log"), dir / "po", db).exitCode, 0);
    EXPECT_EQ(SqliteQuery(db, "SELECT count(*) FROM runs; SELECT count(*) FROM mailboxes"),
              "1\n5\n");

    // Two weeks more, Anna growing 30 MB a week towards her 300 MB; Bo gone in the last run.
    WriteFile(dir / "w2.log", SampleOn("Monday, March 14, 2005 - 2:15 am", 236));
    WriteFile(dir / "w3.log", SampleOn("Monday, March 21, 2005 - 2:15 am", 266, false));
    ASSERT_EQ(Batch(dir / "w2.log", dir / "po", db).exitCode, 0);
    r = Batch(dir / "w3.log", dir / "po", db);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto lines = CsvLines(dir / "po-trends.csv");
    // 206, 236, 266 MB a week apart: 30 MB a week, 34 MB left, 7.9 days from 2:15 am.
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "AMORGAN;Anna Morgan;236;266;30;12.7;300;88.7;8;30;2005-03-29"),
              lines.end());
    const std::string html = ReadFile(dir / "po-trends.html");
    for (const char* part : {"New mailboxes (1): BCHEN2", "Gone mailboxes (1): BCHEN (472 MB)",
                             "<polyline", "Days until the limit", "AMORGAN"})
        EXPECT_NE(html.find(part), std::string::npos) << part;
    EXPECT_EQ(html.find("<script"), std::string::npos);
}

TEST(HistoryBatch, AHistoryThatCannotBeWrittenFailsTheRunAndChangesNothing) {
    TempDir dir;
    WriteFile(dir / "po.csv", "previous\r\n");
    WriteFile(dir / "po.mht", "previous\r\n");
    WriteFile(dir / "bad.sqlite", "not a database, and long enough to be read as one........");
    struct Case {
        std::string history, message;
    };
    for (const Case& c : {Case{dir / "bad.sqlite", "not a history database"},
                          Case{dir / "nofolder/h.sqlite", "cannot open the history database"}}) {
        const ProcessResult r = Batch(Sample("english-gw652.log"), dir / "po", c.history);
        EXPECT_EQ(r.exitCode, 1) << c.history;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(c.history), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(ReadFile(dir / "po.csv"), "previous\r\n");
        EXPECT_EQ(ReadFile(dir / "po.mht"), "previous\r\n");
        EXPECT_FALSE(fs::exists(dir / "po-trends.html"));
    }
}

TEST(HistoryBatch, TwoPostOfficesRecordIntoOneFileAtOnce) {
    TempDir dir;
    const std::string db = dir / "h.sqlite";
    // Two post offices: the same sample under another post-office name.
    std::string other = ReadFile(Sample("english-gw652.log"));
    other.replace(other.find("Post Office= Harbour"), 20, "Post Office= Lighthouse");
    WriteFile(dir / "other.log", other);
    for (int round = 0; round < 3; ++round) {
        auto a = std::async(std::launch::async,
                            [&] { return Batch(Sample("english-gw652.log"), dir / "a", db); });
        auto b =
            std::async(std::launch::async, [&] { return Batch(dir / "other.log", dir / "b", db); });
        const ProcessResult ra = a.get(), rb = b.get();
        EXPECT_EQ(ra.exitCode, 0) << ra.err;
        EXPECT_EQ(rb.exitCode, 0) << rb.err;
    }
    EXPECT_EQ(SqliteQuery(db, "SELECT po_name, mailboxes FROM runs ORDER BY po_name"),
              "Harbour|5\nLighthouse|5\n");
    // With several post offices, each trend report lists them all.
    ASSERT_EQ(Batch(dir / "other.log", dir / "b", db).exitCode, 0);
    EXPECT_NE(ReadFile(dir / "b-trends.html").find("Post offices in this history"),
              std::string::npos);
}

TEST(HistoryBatch, TheDefaultFileFollowsXdgDataHome) {
    TempDir dir;
    ::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
    EXPECT_EQ(DefaultHistoryFile(), dir / "data/kestrama32/history.sqlite");
    const ProcessResult r = RunProcess({Kestrama32(), "/IN:" + Sample("english-gw652.log"),
                                        "/OUT:" + (dir / "po"), kOptions, "/HISTORY:"});
    ::unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(fs::exists(dir / "data/kestrama32/history.sqlite"));
}

// The history switch may follow each of the batch lines: three, four or five parameters.
TEST(HistoryBatch, TheSwitchFollowsEveryBatchLine) {
    TempDir dir;
    const std::string columns = "/COLUMN:0123456789,HTML:1111111111,CSV:1111111111";
    const std::vector<std::vector<std::string>> extras = {
        {}, {columns}, {columns, "/TOP:3,ABOVE:0"}};
    for (const auto& extra : extras) {
        const std::string base = dir / ("po" + std::to_string(extra.size()));
        std::vector<std::string> line = {Kestrama32(), "/IN:" + Sample("english-gw652.log"),
                                         "/OUT:" + base, kOptions};
        line.insert(line.end(), extra.begin(), extra.end());
        line.push_back("/HISTORY:" + (dir / "h.sqlite"));
        const ProcessResult r = RunProcess(line);
        EXPECT_EQ(r.exitCode, 0) << extra.size() << " extra: " << r.err;
        EXPECT_TRUE(fs::exists(base + "-trends.csv")) << extra.size() << " extra";
    }
}

// A connection string, URI or keyword=value, names a server; a file path never does, one with an
// "=" further on included.
TEST(HistoryStore, WhichLocationsAreServers) {
    struct Case {
        std::string where;
        bool server;
    };
    const Case cases[] = {
        {"postgresql://host/db", true},
        {"postgres://host/db", true},
        {"POSTGRESQL://u@host/db", true},
        {"PostGres://host", true},
        {"service=kest", true},
        {"host=db1 dbname=k32", true},
        {"  dbname = k32", true},
        {"hostaddr=10.0.0.1", true},
        {"user=ann port=5433", true},
        {"", false},
        {"history.sqlite", false},
        {"/var/lib/k/a=b.sqlite", false},
        {"a=b.sqlite", false},
        {"Host=db1", false},
        {"host", false},
        {"hosts=db1", false},
        {"./service=kest", false},
        {"postgresql:/host/db", false},
        {"file://host/db", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsServerLocation(c.where), c.server) << c.where;
}
