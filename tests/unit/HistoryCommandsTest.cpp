// `kestrama32 history list|forget|report|mailbox`: the history store without a run.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "SqliteQuery.h"
#include "TestSupport.h"
#include "history/HistoryStore.h"
#include "testlog/DummyLog.h"

using namespace k32;
using namespace k32::test;
namespace fs = std::filesystem;

namespace {

// Which post offices a case's store holds.
enum class Held { Nothing, OnePo, TwoPos, TwoNamedAlike };

void Record(HistoryStore& store, const std::string& po, const std::string& path,
            const std::string& processedOn, const std::string& processedAt, double size) {
    HistorySnapshot snap;
    snap.run = {0,           po,          path,           "6.5.2", "English",
                processedOn, processedAt, "/logs/po.log", 10,      "2026-01-01T00:00:00",
                2,           size + 200};
    snap.mailboxes = {
        {"JSmith", "Smith, \"Jo\"", size, 1, 2, 3, 400, 80, "No", "a1"},
        {"B", "Fran\xc3\xa7oise", 200, 4, 5, 6, std::nullopt, std::nullopt, "", "b2"}};
    HistoryStore::Transaction write = store.Begin();
    write.RecordRun(snap);
    write.Commit();
}

// PO1 with four runs, two of them on one day; PO2 with one; a second PO1 elsewhere.
void MakeStore(const std::string& file, Held held) {
    if (held == Held::Nothing)
        return;
    auto store = OpenHistoryStore(file);
    Record(*store, "PO1", "/srv/po1", "Monday, March 7, 2005", "2005-03-07T02:00:00", 100);
    Record(*store, "PO1", "/srv/po1", "Monday, March 14, 2005", "2005-03-14T02:00:00", 110.25);
    Record(*store, "PO1", "/srv/po1", "morning", "2005-03-21T02:00:00", 120);
    Record(*store, "PO1", "/srv/po1", "afternoon", "2005-03-21T14:30:00", 121);
    if (held == Held::TwoPos)
        Record(*store, "PO2", "/srv/po2", "Monday, March 7, 2005", "2005-03-07T03:00:00", 50);
    if (held == Held::TwoNamedAlike)
        Record(*store, "PO1", "/srv/other", "Monday, March 7, 2005", "2005-03-07T03:00:00", 50);
}

ProcessResult History(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {Kestrama32(), "history"};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProcess(argv);
}

std::size_t LineCount(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

}  // namespace

// Each case on a fresh store: what it prints, its exit code, and the one line of an error.
TEST(HistoryCommands, ListForgetReportMailbox) {
    struct Case {
        Held held;
        std::vector<std::string> args;  // "STORE" and "BASE" stand for the case's files
        int exitCode;
        const char* out;  // the whole of standard output, or a part of it ending in "..."
        const char* err;  // a part of the one line on standard error, "" for none
    };
    const Case cases[] = {
        {Held::Nothing,
         {"list", "--history=STORE"},
         0,
         "The history holds no runs yet: STORE\n",
         ""},
        {Held::OnePo,
         {"list", "--history=STORE"},
         0,
         "PO1 (/srv/po1)\n"
         "  Date              Mailboxes  Total (MB)\n"
         "  2005-03-07 02:00          2       300.0\n"
         "  2005-03-14 02:00          2       310.2\n"
         "  2005-03-21 02:00          2       320.0\n"
         "  2005-03-21 14:30          2       321.0\n",
         ""},
        {Held::TwoPos,
         {"list", "--history=STORE"},
         0,
         "PO1 (/srv/po1)\n"
         "  Date              Mailboxes  Total (MB)\n"
         "  2005-03-07 02:00          2       300.0\n"
         "  2005-03-14 02:00          2       310.2\n"
         "  2005-03-21 02:00          2       320.0\n"
         "  2005-03-21 14:30          2       321.0\n"
         "\n"
         "PO2 (/srv/po2)\n"
         "  Date              Mailboxes  Total (MB)\n"
         "  2005-03-07 03:00          2       250.0\n",
         ""},
        {Held::OnePo,
         {"forget", "--history=STORE", "--po", "PO1", "--date", "2005-03-07"},
         0,
         "Forgot the run of PO1 of 2005-03-07 02:00: 2 mailboxes\n",
         ""},
        {Held::OnePo,
         {"forget", "--history=STORE", "--po=PO1", "--date=2005-03-21 14:30"},
         0,
         "Forgot the run of PO1 of 2005-03-21 14:30: 2 mailboxes\n",
         ""},
        {Held::OnePo,
         {"forget", "--history=STORE", "--po=PO1", "--date=Monday, March 14, 2005"},
         0,
         "Forgot the run of PO1 of 2005-03-14 02:00: 2 mailboxes\n",
         ""},
        {Held::OnePo,
         {"forget", "--history=STORE", "--po=PO1", "--date=2004-01-01"},
         1,
         "",
         "kestrama32: history forget: no run of PO1 on 2004-01-01"},
        {Held::OnePo,
         {"forget", "--history=STORE", "--po=PO1", "--date=2005-03-21"},
         1,
         "",
         "several runs of PO1 on 2005-03-21 (2005-03-21 02:00 \"morning\", 2005-03-21 14:30 "
         "\"afternoon\"): choose one by its time"},
        {Held::Nothing,
         {"forget", "--history=STORE", "--po=PO1", "--date=2005-03-07"},
         1,
         "",
         "kestrama32: history forget: the history holds no runs yet: STORE"},
        {Held::OnePo,
         {"forget", "--history=STORE", "--date=2005-03-07"},
         2,
         "",
         "history forget: no post office given (--po NAME) (see kestrama32 history forget --help)"},
        {Held::OnePo,
         {"report", "--history=STORE", "BASE"},
         0,
         "Trend reports of PO1 of 2005-03-21 14:30 written: BASE-trends.html, BASE-trends.csv\n",
         ""},
        {Held::TwoPos,
         {"report", "--history=STORE", "BASE", "--po=PO2"},
         0,
         "Trend reports of PO2 of 2005-03-07 03:00 written: ...",
         ""},
        {Held::OnePo,
         {"report", "--history=STORE", "--date=2005-03-14", "BASE"},
         0,
         "Trend reports of PO1 of 2005-03-14 02:00 written: ...",
         ""},
        {Held::TwoPos,
         {"report", "--history=STORE", "BASE"},
         2,
         "",
         "kestrama32: history report: the history holds several post offices (PO1, PO2): choose "
         "one with --po (see kestrama32 history report --help)"},
        {Held::TwoNamedAlike,
         {"report", "--history=STORE", "--po=PO1", "BASE"},
         2,
         "",
         "history report: the history holds several post offices named PO1 (/srv/other, "
         "/srv/po1): choose one with --po-path"},
        {Held::TwoNamedAlike,
         {"report", "--history=STORE", "--po=PO1", "--po-path=/srv/other", "BASE"},
         0,
         "Trend reports of PO1 of 2005-03-07 03:00 written: ...",
         ""},
        {Held::TwoPos,
         {"report", "--history=STORE", "--po=PO3", "BASE"},
         1,
         "",
         "kestrama32: history report: the history holds no post office PO3 (it holds PO1, PO2)"},
        {Held::TwoPos,
         {"mailbox", "--history=STORE", "jsmith"},
         0,
         "Date,Post office,Username,Full name,Size (MB),Limit (MB),Used (%)\n"
         "2005-03-07T02:00:00,PO1,JSmith,\"Smith, \"\"Jo\"\"\",100,400,25.0\n"
         "2005-03-14T02:00:00,PO1,JSmith,\"Smith, \"\"Jo\"\"\",110.25,400,27.6\n"
         "2005-03-21T02:00:00,PO1,JSmith,\"Smith, \"\"Jo\"\"\",120,400,30.0\n"
         "2005-03-21T14:30:00,PO1,JSmith,\"Smith, \"\"Jo\"\"\",121,400,30.2\n"
         "2005-03-07T03:00:00,PO2,JSmith,\"Smith, \"\"Jo\"\"\",50,400,12.5\n",
         ""},
        {Held::TwoPos,
         {"mailbox", "--history=STORE", "--po=PO2", "B"},
         0,
         "Date,Post office,Username,Full name,Size (MB),Limit (MB),Used (%)\n"
         "2005-03-07T03:00:00,PO2,B,Fran\xc3\xa7oise,200,,\n",
         ""},
        {Held::TwoPos,
         {"mailbox", "--history=STORE", "nobody"},
         1,
         "",
         "kestrama32: history mailbox: the history holds no mailbox nobody"},
        {Held::TwoPos, {"list", "--history=STORE", "extra"}, 2, "", "unexpected argument extra"},
        {Held::TwoPos, {"report", "--history=STORE"}, 2, "", "history report: no base path given"},
        {Held::TwoPos, {"mailbox", "--history=STORE"}, 2, "", "history mailbox: no username given"},
        {Held::TwoPos, {"mailbox", "a", "b"}, 2, "", "history mailbox: unexpected argument b"},
        {Held::TwoPos, {"list", "--po=PO1"}, 2, "", "history list: unknown option --po=PO1"},
        {Held::TwoPos, {"forget", "--po"}, 2, "", "history forget: option --po needs a value"},
        {Held::TwoPos, {"report", "--help"}, 0, "Usage: kestrama32 history import...", ""},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const std::string store = dir / "h.sqlite", base = dir / "po";
        MakeStore(store, c.held);
        auto fill = [&](std::string s) {
            for (const auto& [from, to] : {std::pair{"STORE", store}, std::pair{"BASE", base}})
                for (std::size_t at; (at = s.find(from)) != std::string::npos;)
                    s.replace(at, std::string_view(from).size(), to);
            return s;
        };
        std::vector<std::string> args;
        for (const std::string& a : c.args)
            args.push_back(fill(a));
        const ProcessResult r = History(args);
        const std::string what = ::testing::PrintToString(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << what << r.err;
        const std::string out = fill(c.out);
        if (out.ends_with("..."))
            EXPECT_TRUE(r.out.starts_with(out.substr(0, out.size() - 3))) << what << r.out;
        else
            EXPECT_EQ(r.out, out) << what;
        if (*c.err == '\0') {
            EXPECT_EQ(r.err, "") << what;
        } else {
            EXPECT_EQ(LineCount(r.err), 1u) << what << r.err;
            EXPECT_NE(r.err.find(fill(c.err)), std::string::npos) << what << r.err;
        }
        // What each command leaves: forget one run less, report both files, the others no file
        // but the store (a store that was not there is not created).
        const bool forgot = c.args[0] == "forget" && c.exitCode == 0;
        if (c.held != Held::Nothing)
            EXPECT_EQ(SqliteQuery(store, "SELECT count(*) FROM runs"),
                      std::to_string((c.held == Held::OnePo ? 4 : 5) - (forgot ? 1 : 0)) + "\n")
                << what;
        else
            EXPECT_FALSE(fs::exists(store)) << what;
        const bool reported = c.args[0] == "report" && c.exitCode == 0 &&
                              std::find(c.args.begin(), c.args.end(), "BASE") != c.args.end();
        EXPECT_EQ(fs::exists(base + "-trends.html"), reported) << what;
        EXPECT_EQ(fs::exists(base + "-trends.csv"), reported) << what;
    }
}

// `history report` writes the very files that the batch run recording the newest run wrote,
// byte for byte (with the same CSV separator, and nothing recorded since).
TEST(HistoryCommands, ReportWritesWhatTheRecordingRunWrote) {
    TempDir dir;
    const std::string store = dir / "h.sqlite";
    const char* dates[] = {"January 5, 2003", "January 12, 2003", "February 9, 2003"};
    for (int i = 0; i < 3; ++i) {
        const std::string log = dir / ("w" + std::to_string(i) + ".log");
        WriteDummyLog(log, kDummyGW65, 30 + i, true);
        std::string bytes = ReadFile(log);
        const std::size_t at = bytes.find("May 31, 2003");
        ASSERT_NE(at, std::string::npos);
        bytes.replace(at, 12, dates[i]);
        // Sizes that change from week to week, so that the trends have growth to show.
        const std::string inUse = "0 kbytes in use";
        for (std::size_t p = 0; (p = bytes.find(inUse, p)) != std::string::npos; p += inUse.size())
            bytes.insert(p, std::string(static_cast<std::size_t>(i), '5'));
        WriteFile(log, bytes);
        const ProcessResult b = RunProcess({Kestrama32(), "/IN:" + log, "/OUT:" + dir / "batch",
                                            "/OPTIONS:5130;.", "/HISTORY:" + store});
        ASSERT_EQ(b.exitCode, 0) << b.err;
    }
    const ProcessResult r = History({"report", "--history=" + store, dir / "again"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    for (const char* end : {"-trends.html", "-trends.csv"}) {
        const std::string batch = ReadFile(dir / "batch" + end);
        EXPECT_EQ(ReadFile(dir / "again" + end), batch) << end;
        EXPECT_GT(LineCount(batch), 20u) << end;
    }
    // Growth was there to compare.
    EXPECT_NE(ReadFile(dir / "again-trends.html").find("Growth since the previous run"),
              std::string::npos);
}
