// `kestrama32 history check`: the state, the one line and the exit code of every outcome, on
// small stores filled through the store's interface with runs dated before now.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <optional>

#include "TestSupport.h"
#include "history/HistoryStore.h"

using namespace k32;
using namespace k32::test;
namespace fs = std::filesystem;

namespace {

// A mailbox in the three runs of a post office: its size in each, its limit and threshold.
struct Box {
    const char* username;
    double sizes[3];
    std::optional<double> limitMb, thresholdPct;
};

// Boxes every post office of a case holds: one far under its limit, one without a limit.
const Box kFlat = {"flat", {100, 100, 100}, 1000, 80};
const Box kFree = {"free", {50, 50, 50}, std::nullopt, std::nullopt};
// Over its warning threshold, not growing.
const Box kAmber = {"amber", {850, 850, 850}, 1000, 80};
// At its limit.
const Box kFull = {"full", {1000, 1000, 1000}, 1000, 80};
// 10 MB a day: 26 days to the limit at the last run, 19.5 from now.
const Box kGrowing = {"grow", {500, 570, 640}, 900, 80};
// 10 MB a day: 12 days to the limit at the last run, 5.5 from now.
const Box kFast = {"fast", {640, 710, 780}, 900, 90};

// The local date and time `days` before now, as the store keeps a run's date.
std::string DaysAgo(double days) {
    const std::time_t t = std::time(nullptr) - static_cast<std::time_t>(days * 86400);
    std::tm local{};
    localtime_r(&t, &local);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%S", &local);
    return buffer;
}

// Records three runs of the post office, a week apart, the last six and a half days ago.
void RecordRuns(HistoryStore& store, const std::string& po, const std::vector<Box>& boxes) {
    const double ago[] = {20.5, 13.5, 6.5};
    for (int i = 0; i < 3; ++i) {
        HistorySnapshot snap;
        snap.run.poName = po;
        snap.run.poPath = "/srv/" + po;
        snap.run.processedAt = DaysAgo(ago[i]);
        snap.run.processedOn = snap.run.processedAt;
        snap.run.recordedAt = snap.run.processedAt;
        for (const Box& b : boxes) {
            HistoryMailbox m;
            m.username = b.username;
            m.sizeMb = b.sizes[i];
            m.limitMb = b.limitMb;
            m.thresholdPct = b.thresholdPct;
            snap.mailboxes.push_back(m);
            snap.run.totalMb += b.sizes[i];
        }
        snap.run.mailboxes = static_cast<std::int64_t>(boxes.size());
        HistoryStore::Transaction write = store.Begin();
        write.RecordRun(snap);
        write.Commit();
    }
}

}  // namespace

TEST(HistoryCheck, EveryState) {
    enum class Store { None, Empty, Filled };
    struct Case {
        const char* what;
        Store store;
        std::vector<std::pair<std::string, std::vector<Box>>> pos;
        std::vector<std::string> args;  // after --history=STORE
        int exitCode;
        const char* line;  // the whole of standard output, "STORE" for the store's path
    };
    const Case cases[] = {
        {"ok",
         Store::Filled,
         {{"Harbour", {kFlat, kFree}}},
         {},
         0,
         "KESTRAMA32 OK - 2 mailboxes of Harbour, none within 30 days of their limit | red=0;;; "
         "amber=0;;; green=1;;; nolimit=1;;; mailboxes=2;;; total=150MB;;;\n"},
        {"warning by amber",
         Store::Filled,
         {{"Harbour", {kFlat, kFree, kAmber}}},
         {},
         1,
         "KESTRAMA32 WARNING - 1 mailbox of Harbour over its warning threshold | red=0;;; "
         "amber=1;;; green=1;;; nolimit=1;;; mailboxes=3;;; total=1000MB;;;\n"},
        // The days count from now: 26 days at the run, 19.5 now.
        {"warning by days",
         Store::Filled,
         {{"Harbour", {kFlat, kFree, kGrowing}}},
         {"--warning-days=21"},
         1,
         "KESTRAMA32 WARNING - 1 mailbox of Harbour within 21 days of its limit | red=0;;; "
         "amber=0;;; green=2;;; nolimit=1;;; mailboxes=3;;; total=790MB;;;\n"},
        {"not yet within the warning days",
         Store::Filled,
         {{"Harbour", {kFlat, kFree, kGrowing}}},
         {"--warning-days=19"},
         0,
         "KESTRAMA32 OK - 3 mailboxes of Harbour, none within 19 days of their limit | red=0;;; "
         "amber=0;;; green=2;;; nolimit=1;;; mailboxes=3;;; total=790MB;;;\n"},
        {"critical by red",
         Store::Filled,
         {{"Harbour", {kFlat, kFree, kFull}}},
         {},
         2,
         "KESTRAMA32 CRITICAL - 1 mailbox of Harbour at or over its limit | red=1;;; amber=0;;; "
         "green=1;;; nolimit=1;;; mailboxes=3;;; total=1150MB;;;\n"},
        {"critical by days",
         Store::Filled,
         {{"Harbour", {kFlat, kFree, kFast}}},
         {},
         2,
         "KESTRAMA32 CRITICAL - 1 mailbox of Harbour within 7 days of its limit | red=0;;; "
         "amber=0;;; green=2;;; nolimit=1;;; mailboxes=3;;; total=930MB;;;\n"},
        {"warning, not yet within the critical days",
         Store::Filled,
         {{"Harbour", {kFlat, kFree, kFast}}},
         {"--critical-days=5"},
         1,
         "KESTRAMA32 WARNING - 1 mailbox of Harbour within 30 days of its limit | red=0;;; "
         "amber=0;;; green=2;;; nolimit=1;;; mailboxes=3;;; total=930MB;;;\n"},
        {"critical, every count",
         Store::Filled,
         {{"Harbour", {kFull, kFast, kAmber, {"amber2", {850, 850, 850}, 1000, 80}, kGrowing}}},
         {},
         2,
         "KESTRAMA32 CRITICAL - 1 mailbox of Harbour at or over its limit, 1 within 7 days of its "
         "limit, 2 over their warning threshold | red=1;;; amber=2;;; green=2;;; nolimit=0;;; "
         "mailboxes=5;;; total=4120MB;;;\n"},
        {"critical by age",
         Store::Filled,
         {{"Harbour", {kFlat, kFree}}},
         {"--max-age=5"},
         2,
         "KESTRAMA32 CRITICAL - last run of Harbour 6 days ago | red=0;;; amber=0;;; green=1;;; "
         "nolimit=1;;; mailboxes=2;;; total=150MB;;;\n"},
        {"not older than the whole days of --max-age",
         Store::Filled,
         {{"Harbour", {kFlat, kFree}}},
         {"--max-age=6"},
         0,
         "KESTRAMA32 OK - 2 mailboxes of Harbour, none within 30 days of their limit | red=0;;; "
         "amber=0;;; green=1;;; nolimit=1;;; mailboxes=2;;; total=150MB;;;\n"},
        {"every post office, the worst wins",
         Store::Filled,
         {{"Harbour", {kFlat, kFree}}, {"Quay", {kAmber}}},
         {},
         1,
         "KESTRAMA32 WARNING - 2 mailboxes of Harbour, none within 30 days of their limit; 1 "
         "mailbox of Quay over its warning threshold | 'Harbour red'=0;;; 'Harbour amber'=0;;; "
         "'Harbour green'=1;;; 'Harbour nolimit'=1;;; 'Harbour mailboxes'=2;;; "
         "'Harbour total'=150MB;;; 'Quay red'=0;;; 'Quay amber'=1;;; 'Quay green'=0;;; "
         "'Quay nolimit'=0;;; 'Quay mailboxes'=1;;; 'Quay total'=850MB;;;\n"},
        {"names that the line cannot hold as they are",
         Store::Filled,
         {{"Quay's=|", {kFlat}}, {"Harbour", {kFree}}},
         {},
         0,
         "KESTRAMA32 OK - 1 mailbox of Harbour, none within 30 days of their limit; 1 mailbox of "
         "Quay's=/, none within 30 days of their limit | 'Harbour red'=0;;; 'Harbour amber'=0;;; "
         "'Harbour green'=0;;; 'Harbour nolimit'=1;;; 'Harbour mailboxes'=1;;; "
         "'Harbour total'=50MB;;; 'Quay_s__ red'=0;;; 'Quay_s__ amber'=0;;; 'Quay_s__ green'=1;;; "
         "'Quay_s__ nolimit'=0;;; 'Quay_s__ mailboxes'=1;;; 'Quay_s__ total'=100MB;;;\n"},
        {"one post office chosen",
         Store::Filled,
         {{"Harbour", {kFlat, kFree}}, {"Quay", {kFull}}},
         {"--po", "Harbour"},
         0,
         "KESTRAMA32 OK - 2 mailboxes of Harbour, none within 30 days of their limit | red=0;;; "
         "amber=0;;; green=1;;; nolimit=1;;; mailboxes=2;;; total=150MB;;;\n"},
        {"no post office of that name",
         Store::Filled,
         {{"Harbour", {kFlat}}, {"Quay", {kFlat}}},
         {"--po=Dock"},
         3,
         "KESTRAMA32 UNKNOWN - the history holds no post office Dock (it holds Harbour, Quay)\n"},
        {"no store", Store::None, {}, {}, 3, "KESTRAMA32 UNKNOWN - no history store: STORE\n"},
        {"no runs",
         Store::Empty,
         {},
         {},
         3,
         "KESTRAMA32 UNKNOWN - the history holds no runs yet: STORE\n"},
        {"warning days under critical days",
         Store::Filled,
         {{"Harbour", {kFlat}}},
         {"--warning-days=5"},
         3,
         "KESTRAMA32 UNKNOWN - history check: --warning-days (5) is less than --critical-days (7) "
         "(see kestrama32 history check --help)\n"},
        {"days not a whole number",
         Store::Filled,
         {{"Harbour", {kFlat}}},
         {"--critical-days=-1"},
         3,
         "KESTRAMA32 UNKNOWN - history check: --critical-days takes a whole number of days from 0 "
         "to 36500, not \"-1\" (see kestrama32 history check --help)\n"},
        {"unknown option",
         Store::Filled,
         {{"Harbour", {kFlat}}},
         {"--days=3"},
         3,
         "KESTRAMA32 UNKNOWN - history check: unknown option --days=3 (see kestrama32 history "
         "check --help)\n"},
        {"no value",
         Store::Filled,
         {{"Harbour", {kFlat}}},
         {"--max-age"},
         3,
         "KESTRAMA32 UNKNOWN - history check: option --max-age needs a value (see kestrama32 "
         "history check --help)\n"},
        {"operand",
         Store::Filled,
         {{"Harbour", {kFlat}}},
         {"Harbour"},
         3,
         "KESTRAMA32 UNKNOWN - history check: unexpected argument Harbour (see kestrama32 history "
         "check --help)\n"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const std::string store = dir / "h.sqlite";
        if (c.store == Store::Empty || c.store == Store::Filled) {
            auto s = OpenHistoryStore(store);
            for (const auto& [po, boxes] : c.pos)
                RecordRuns(*s, po, boxes);
        }
        std::vector<std::string> argv = {Kestrama32(), "history", "check", "--history=" + store};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const ProcessResult r = RunProcess(argv);
        std::string line = c.line;
        if (const std::size_t at = line.find("STORE"); at != std::string::npos)
            line.replace(at, 5, store);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.what;
        EXPECT_EQ(r.out, line) << c.what;
        EXPECT_EQ(r.err, "") << c.what;
        EXPECT_EQ(fs::exists(store), c.store != Store::None) << c.what;
    }
}

// A file that is no store is UNKNOWN, named on the one line.
TEST(HistoryCheck, UnreadableStoreIsUnknown) {
    TempDir dir;
    const std::string store = dir / "h.sqlite";
    WriteFile(store, std::string(4096, 'x'));
    const ProcessResult r = RunProcess({Kestrama32(), "history", "check", "--history=" + store});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_TRUE(r.out.starts_with("KESTRAMA32 UNKNOWN - cannot read " + store + ": ")) << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
    EXPECT_EQ(r.err, "");
}
