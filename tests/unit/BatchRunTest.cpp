// Batch runs of the real program: exit codes, what reaches standard error, and which files a
// run leaves behind. Every run here switches the debug log off ("/OPTIONS:5130;."), because the
// debug log lives beside the program and tests run in parallel.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <random>

#include "TestSupport.h"
#include "app/RunProcessing.h"
#include "testlog/DummyLog.h"
#include "text/LineWriter.h"

using namespace k32;
using namespace k32::test;
namespace fs = std::filesystem;

namespace {

const std::string kOptions = "/OPTIONS:5130;.";

std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

bool HoldsTemporaryFiles(const std::string& folder) {
    for (const std::string& name : Entries(folder))
        if (name.find(".tmp") != std::string::npos)
            return true;
    return false;
}

ProcessResult Batch(const std::string& in, const std::string& out,
                    std::vector<std::string> more = {kOptions}) {
    std::vector<std::string> argv = {Kestrama32(), "/IN:" + in, "/OUT:" + out};
    argv.insert(argv.end(), more.begin(), more.end());
    return RunProcess(argv);
}

std::string FirstLine(const std::string& bytes) {
    return bytes.substr(0, bytes.find("\r\n"));
}

}  // namespace

TEST(BatchRun, SuccessPrintsNothingAndWritesTheReport) {
    TempDir dir;
    WriteDummyLog(dir / "po.log", kDummyGW65, 12, false);
    const ProcessResult r = Batch(dir / "po.log", dir / "report");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out + r.err, "");
    ASSERT_TRUE(fs::exists(dir / "report.csv"));
    EXPECT_EQ(FirstLine(ReadFile(dir / "report.csv")),
              "POA: ;Kestrama PO Name;Groupwise Version: ;6.5.0;Processed on: ;Saturday, May 31, "
              "2003 - 1:00 am;# Mailboxes: ;12");
    EXPECT_FALSE(HoldsTemporaryFiles(dir.path()));
}

TEST(BatchRun, FiveParametersApplyTheColumnsAndTheTopCount) {
    TempDir dir;
    WriteDummyLog(dir / "po.log", kDummyGW65, 12, false);
    const ProcessResult r =
        Batch(dir / "po.log", dir / "report",
              {kOptions, "/COLUMN:0200000000,HTML:1111111111,CSV:1100000000", "/TOP:2,ABOVE:0"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const std::string csv = ReadFile(dir / "report.csv");
    // Sorted by size, largest first; equal sizes keep the log's order.
    EXPECT_EQ(csv.substr(csv.find("\r\n") + 2),
              CrLf({"Username;Size (MB)", "Username11;1", "Username12;1"}));
}

TEST(BatchRun, MissingInput) {
    TempDir dir;
    ProcessResult r = Batch(dir / "missing.log", dir / "report");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "kestrama32: cannot read " + dir / "missing.log" + ": File not found\n");
    EXPECT_TRUE(Entries(dir.path()).empty());

    // An earlier report stays as it was.
    WriteFile(dir / "report.csv", "earlier report\r\n");
    r = Batch(dir / "missing.log", dir / "report");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(ReadFile(dir / "report.csv"), "earlier report\r\n");
    EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"report.csv"});
}

TEST(BatchRun, AFolderAsInputIsAnError) {
    TempDir dir;
    fs::create_directory(dir / "logs");
    const ProcessResult r = Batch(dir / "logs", dir / "report");
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("kestrama32: "), std::string::npos);
    EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"logs"});
}

TEST(BatchRun, NoStatisticsWritesNothing) {
    TempDir dir;
    WriteFile(dir / "plain.log",
              CrLf({"Novell GroupWise - GWCHKSRV - Version 6.5.2", "  Processed on Monday",
                    "  Action       = Analyze/Fix", "*** Processing post office 'PO' ***",
                    "  Checking user = A (abc) (A)", "      2048 kbytes in use by user's mail"}));
    ProcessResult r = Batch(dir / "plain.log", dir / "report");
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(r.err, "kestrama32: No statistics detected.\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"plain.log"});
}

// The reports' folder is checked after the log is opened and before it is read, whatever the
// log holds; a missing log is still the first thing reported.
TEST(BatchRun, TheReportsFolderIsCheckedBeforeTheLogIsRead) {
    TempDir dir;
    WriteFile(dir / "plain.log", CrLf({"Novell GroupWise - GWCHKSRV - Version 6.5.2"}));
    WriteDummyLog(dir / "po.log", kDummyGW65, 10, false);
    WriteFile(dir / "afile", "x");
    struct Case {
        std::string log, out;
        int exitCode;
        std::string message;
    };
    const std::vector<Case> cases = {
        {dir / "plain.log", dir / "missing/report", 1,
         "cannot write " + dir / "missing" + ": Path not found"},
        {dir / "po.log", dir / "missing/report", 1,
         "cannot write " + dir / "missing" + ": Path not found"},
        {dir / "po.log", dir / "afile/report", 1,
         "cannot write " + dir / "afile" + ": Path not found"},
        {dir / "nolog.log", dir / "missing/report", 1,
         "cannot read " + dir / "nolog.log" + ": File not found"},
    };
    for (const Case& c : cases) {
        const ProcessResult r = Batch(c.log, c.out);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.log << " " << c.out << ": " << r.err;
        EXPECT_EQ(r.err, "kestrama32: " + c.message + "\n");
    }
    EXPECT_EQ(Entries(dir.path()), (std::vector<std::string>{"afile", "plain.log", "po.log"}));
}

// A base path too long to name its reports whole is a wrong command line: nothing is read or
// written, where a cut name would have put a report named "...base.c" beside the folder meant.
TEST(BatchRun, ABasePathThatWouldBeCutWritesNothing) {
    TempDir dir;
    WriteDummyLog(dir / "po.log", kDummyGW65, 10, false);
    const std::string folder = dir / std::string(200, 'f');
    fs::create_directories(folder);
    const std::string base = folder + "/" + std::string(300 - folder.size(), 'b');
    const ProcessResult r = Batch(dir / "po.log", base);
    EXPECT_EQ(r.exitCode, 2) << r.err;
    EXPECT_NE(r.err.find("/OUT: the parameter is"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("at most 255 bytes"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::is_empty(folder));
    EXPECT_EQ(Entries(dir.path()), (std::vector<std::string>{std::string(200, 'f'), "po.log"}));
}

// A report that replaces another keeps its mode, so that a report an administrator made private
// stays private; a new report gets the umask's mode.
TEST(BatchRun, AReplacedReportKeepsItsMode) {
    TempDir dir;
    WriteDummyLog(dir / "po.log", kDummyGW65, 10, false);
    const mode_t umask = ::umask(022);
    const std::vector<std::string> ends = {".csv", ".mht", "-trends.html", "-trends.csv"};
    auto run = [&] {
        return Batch(dir / "po.log", dir / "po", {kOptions, "/HISTORY:" + dir / "h.sqlite"});
    };
    auto modeOf = [](const std::string& path) {
        return fs::status(path).permissions() & fs::perms::mask;
    };
    ASSERT_EQ(run().exitCode, 0);
    for (const std::string& end : ends)
        EXPECT_EQ(modeOf(dir / "po" + end), static_cast<fs::perms>(0644)) << end;
    const fs::perms kept[] = {static_cast<fs::perms>(0600), static_cast<fs::perms>(0640),
                              static_cast<fs::perms>(0600), static_cast<fs::perms>(0444)};
    for (std::size_t i = 0; i < ends.size(); ++i)
        fs::permissions(dir / "po" + ends[i], kept[i]);
    ASSERT_EQ(run().exitCode, 0);
    for (std::size_t i = 0; i < ends.size(); ++i)
        EXPECT_EQ(modeOf(dir / "po" + ends[i]), kept[i]) << ends[i];
    ::umask(umask);
}

// The temporary files that a killed run left beside the reports go with the next run on them,
// and the debug log names each.
TEST(BatchRun, ARunRemovesTheTemporaryFilesThatKilledRunsLeft) {
    TempDir dir;
    WriteDummyLog(dir / "po.log", kDummyGW65, 10, false);
    std::vector<std::string> stale;
    for (const char* end : {".csv", ".mht"}) {
        LineWriter out(dir / "po" + end, LineWriter::Mode::Replace);
        out.WriteLine("from a killed run");
        FinishedFile f = out.Finish();
        f.lock.Reset();  // its writer is gone
        stale.push_back(f.temporary);
    }
    AppState state;
    PrepareBatchState(state, dir / "po.log", dir / "po");
    state.settings.DebugMode = 1;
    state.DebugLogPath = dir / "debug32.txt";
    StartDebugLog(state);
    EXPECT_EQ(RunProcessing(state), RunOutcome::ReportsWritten);
    CloseDebugLog(state);
    EXPECT_FALSE(HoldsTemporaryFiles(dir.path()));
    const std::string log = ReadFile(dir / "debug32.txt");
    for (const std::string& name : stale)
        EXPECT_NE(log.find("Removed a stale temporary file: " + name), std::string::npos) << log;
}

TEST(BatchRun, BinaryInputIsNoLog) {
    TempDir dir;
    std::mt19937 rng(31337);
    std::string bytes(300000, '\0');
    for (char& c : bytes)
        c = static_cast<char>(rng() % 256);
    WriteFile(dir / "binary.log", bytes);
    WriteFile(dir / "nolineends.log", std::string(3 << 20, '\0'));
    for (const char* name : {"binary.log", "nolineends.log"}) {
        const ProcessResult r = Batch(dir / name, dir / "report");
        EXPECT_EQ(r.exitCode, 3) << name << ": " << r.err;
    }
    EXPECT_FALSE(fs::exists(dir / "report.csv"));
}

TEST(BatchRun, MissingOutputFolder) {
    TempDir dir;
    WriteDummyLog(dir / "po.log", kDummyGW65, 10, false);
    const ProcessResult r = Batch(dir / "po.log", dir / "missing/report");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "kestrama32: cannot write " + dir / "missing" + ": Path not found\n");
    EXPECT_FALSE(fs::exists(dir / "missing"));
    EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"po.log"});
}

TEST(BatchRun, AnErrorPartWayLeavesThePreviousReport) {
    TempDir dir;
    WriteFile(dir / "bad.log",
              CrLf({"Novell GroupWise - GWCHKSRV - Version 6.5.2", "  Statistics   = Yes",
                    "*** Processing post office 'PO' ***", "  Checking user = A (abc) (A)",
                    "      1,234 kbytes in use by user's mail"}));
    WriteFile(dir / "report.csv", "earlier report\r\n");
    const ProcessResult r = Batch(dir / "bad.log", dir / "report");
    EXPECT_EQ(r.exitCode, 1);
    // The reason, then the place on a line of its own.
    EXPECT_EQ(r.err, "kestrama32: " + dir / "bad.log" +
                         ": '1,234' is not a valid integer value\n"
                         "kestrama32: at " +
                         dir / "bad.log" + ", line 5\n");
    EXPECT_EQ(ReadFile(dir / "report.csv"), "earlier report\r\n");
    EXPECT_FALSE(HoldsTemporaryFiles(dir.path()));
}

// Broken logs of each kind: the message, the exit code, and a good report from an earlier run
// left as it was (the web report too).
TEST(BatchRun, BrokenLogsOfEveryKind) {
    const std::string rule =
        "------ ---------------- ---------------- -------------- ---------------";
    const std::string mailNoDigits = "MAIL" + std::string(52, ' ') + "abcdefghi";
    struct Case {
        const char* name;
        std::string log;
        int exitCode;
        const char* message;  // expected on standard error, "" for none
    };
    const std::vector<Case> cases = {
        {"expire rows without digits",
         CrLf({"Novell GroupWise - GWCHKSRV - Version 6.5.2", "  Action       = Expire Statistics",
               "Userid    (FID / DiskID)  #recs Highest Deleted  Setup DB Size (bytes)  (Name "
               "[Dept])",
               "JSMITH    (abc / 1) (100) (John Smith [Sales])", rule, mailNoDigits, ""}),
         1, "'' is not a valid integer value"},
        {"5.5 bytes line with nothing before the keyword",
         CrLf({"Novell GroupWise 5 - GWCHKSRV - Version 5.5   ", "  Statistics   = Yes",
               "Processing post office = PO   path = X",
               "  Checking user = A     (abc)   1 bytes,(A[])",
               "       bytes in use by user's mail"}),
         1, "'' is not a valid integer value"},
        {"log cut off inside a user block",
         "Novell GroupWise - GWCHKSRV - Version 6.5.2\r\n  Statistics   = Yes\r\n"
         "*** Processing post office 'PO' ***\r\n  Checking user = CUT (cut) (Cut Off)\r\n"
         "  User stats:  3 InBox, 2 Out",
         0, ""},
        {"binary bytes",
         std::string("\x00\x01\xff\xfe GIF89a\x00\x00\x80", 14) + std::string(5000, '\x07'), 3,
         "No statistics detected."},
    };
    for (const Case& c : cases) {
        TempDir dir;
        WriteFile(dir / "broken.log", c.log);
        WriteFile(dir / "report.csv", "earlier report\r\n");
        WriteFile(dir / "report.mht", "earlier web report\r\n");
        const ProcessResult r = Batch(dir / "broken.log", dir / "report");
        EXPECT_EQ(r.exitCode, c.exitCode) << c.name << ": " << r.err;
        if (*c.message)
            EXPECT_TRUE(r.err.find(c.message) != std::string::npos &&
                        r.err.rfind("kestrama32: ", 0) == 0)
                << c.name << ": " << r.err;
        else
            EXPECT_EQ(r.err, "") << c.name;
        if (c.exitCode != 0) {
            EXPECT_EQ(ReadFile(dir / "report.csv"), "earlier report\r\n") << c.name;
            EXPECT_EQ(ReadFile(dir / "report.mht"), "earlier web report\r\n") << c.name;
        } else {
            // A log cut off mid-block still gives its last mailbox, with what it has.
            EXPECT_NE(ReadFile(dir / "report.csv").find("CUT;Cut Off;-1;3;"), std::string::npos)
                << ReadFile(dir / "report.csv");
        }
        EXPECT_FALSE(HoldsTemporaryFiles(dir.path())) << c.name;
    }
}

// Every message a batch run prints on standard error, with its cause and exit code. (Disk full
// and refused writes need injected faults: tests/iofault/sweep.py covers them.)
TEST(BatchRun, EveryMessage) {
    TempDir dir;
    const std::string d = dir.path();
    WriteDummyLog(d + "/po.log", kDummyGW65, 10, false);
    WriteFile(d + "/plain.log", CrLf({"Novell GroupWise - GWCHKSRV - Version 6.5.2"}));
    WriteFile(d + "/bad.log",
              CrLf({"Novell GroupWise - GWCHKSRV - Version 6.5.2", "  Statistics   = Yes",
                    "*** Processing post office 'PO' ***", "  Checking user = A (abc) (A)",
                    "      1,234 kbytes in use by user's mail"}));
    fs::create_directory(d + "/logs");
    fs::create_directory(d + "/taken.csv");  // a folder where a report goes
    const std::string columns = "/COLUMN:0123456789,HTML:1111111111,CSV:1111111111";
    struct Case {
        const char* cause;
        std::string log, out;
        std::vector<std::string> more;
        int exitCode;
        std::string err;
    };
    const std::vector<Case> cases = {
        {"the log does not exist",
         d + "/none.log",
         d + "/r",
         {kOptions},
         1,
         "kestrama32: cannot read " + d + "/none.log: File not found\n"},
        {"the log is a folder",
         d + "/logs",
         d + "/r",
         {kOptions},
         1,
         "kestrama32: cannot read " + d + "/logs: Is a directory\n"},
        {"the reports' folder does not exist",
         d + "/po.log",
         d + "/none/r",
         {kOptions},
         1,
         "kestrama32: cannot write " + d + "/none: Path not found\n"},
        {"a report's name is taken by a folder",
         d + "/po.log",
         d + "/taken",
         {kOptions},
         1,
         "kestrama32: cannot write " + d + "/taken.csv: Is a directory\n"},
        {"a number in the log does not convert",
         d + "/bad.log",
         d + "/r",
         {kOptions},
         1,
         "kestrama32: " + d +
             "/bad.log: '1,234' is not a valid integer value\n"
             "kestrama32: at " +
             d + "/bad.log, line 5\n"},
        {"the log holds no statistics",
         d + "/plain.log",
         d + "/r",
         {kOptions},
         3,
         "kestrama32: No statistics detected.\n"},
        {"sort field not a digit",
         d + "/po.log",
         d + "/r",
         {"/OPTIONS:x130;."},
         2,
         "kestrama32: /OPTIONS:x130;.: position 1 (sort field) must be a digit, not 'x' "
         "('X' is not a valid integer value)\n"},
        {"sort direction not a digit",
         d + "/po.log",
         d + "/r",
         {"/options:5d30;."},
         2,
         "kestrama32: /options:5d30;.: position 2 (sort direction) must be a digit, not 'd' "
         "('D' is not a valid integer value)\n"},
        {"debug mode not a digit",
         d + "/po.log",
         d + "/r",
         {"/OPTIONS:51x0;."},
         2,
         "kestrama32: /OPTIONS:51x0;.: position 3 (debug mode) must be a digit, not 'x' "
         "('X' is not a valid integer value)\n"},
        {"top count not a number",
         d + "/po.log",
         d + "/r",
         {kOptions, columns, "/TOP:two,ABOVE:0"},
         2,
         "kestrama32: /TOP:two,ABOVE:0: the top count must be a whole number from 0 to "
         "4294967295 ('TWO' is not a valid integer value)\n"},
        {"above value too large",
         d + "/po.log",
         d + "/r",
         {kOptions, columns, "/TOP:2,ABOVE:4294967296"},
         2,
         "kestrama32: /TOP:2,ABOVE:4294967296: the above value must be a whole number from 0 to "
         "4294967295 ('4294967296' is not a valid integer value)\n"},
        {"top parameter without ABOVE",
         d + "/po.log",
         d + "/r",
         {kOptions, columns, "/TOP:2"},
         2,
         "kestrama32: /TOP:2: expected /TOP:<count>,ABOVE:<value>\n"},
    };
    for (const Case& c : cases) {
        const ProcessResult r = Batch(c.log, c.out, c.more);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.cause;
        EXPECT_EQ(r.err, c.err) << c.cause;
        EXPECT_EQ(r.out, "") << c.cause;
    }
    // No run of them left a report or a temporary file.
    EXPECT_EQ(Entries(d),
              (std::vector<std::string>{"bad.log", "logs", "plain.log", "po.log", "taken.csv"}));
}

// --help and --version answer on standard output, with exit code 0, whatever else is given.
TEST(BatchRun, HelpAndVersion) {
    struct Case {
        std::vector<std::string> params;
        std::string firstLine;
    };
    const Case cases[] = {
        {{"--help"}, "Usage: kestrama32"},
        {{"-h"}, "Usage: kestrama32"},
        {{"/IN:a", "/OUT:b", "/OPTIONS:5130;.", "--help"}, "Usage: kestrama32"},
        {{"--version"}, "kestrama32 " KESTRAMA_VERSION},
        {{"-V"}, "kestrama32 " KESTRAMA_VERSION},
    };
    for (const Case& c : cases) {
        std::vector<std::string> argv = {Kestrama32()};
        argv.insert(argv.end(), c.params.begin(), c.params.end());
        const ProcessResult r = RunProcess(argv);
        EXPECT_EQ(r.exitCode, 0) << c.params.front();
        EXPECT_EQ(r.err, "") << c.params.front();
        EXPECT_EQ(r.out.substr(0, r.out.find('\n')), c.firstLine) << c.params.front();
    }
    const ProcessResult help = RunProcess({Kestrama32(), "--help"});
    for (const char* part : {"/IN:", "/OUT:", "/OPTIONS:", "/COLUMN:", "/TOP:", "/HISTORY:",
                             "Exit codes:", "Examples:", "9 UID"})
        EXPECT_NE(help.out.find(part), std::string::npos) << part;
}

// An expire run leaves nothing to re-sort; a Re-sort of a mailbox run lists the mailbox table's
// own rows.
TEST(ReSort, AfterAnExpireRunListsTheMailboxTableOnly) {
    TempDir dir;
    AppState state;
    PrepareBatchState(state, std::string(KESTRAMA_SAMPLES) + "/english-gw652.log", dir / "r");
    ASSERT_EQ(RunProcessing(state), RunOutcome::ReportsWritten);
    const std::shared_ptr<const RunResult> mailboxRun = state.lastRun;
    state.settings.InputPath = std::string(KESTRAMA_SAMPLES) + "/english-gw652-expire.log";
    ASSERT_EQ(RunProcessing(state), RunOutcome::ReportsWritten);
    ASSERT_EQ(LastLog(state).expires.Count(), 3u);  // the expire log's users
    EXPECT_FALSE(state.MailboxRunComplete());
    state.lastRun = mailboxRun;
    ASSERT_EQ(LastLog(state).mailboxes.Count(), 5u);
    state.settings.Sort = 0;
    state.settings.SortDir = 0;
    ReSortAndRewrite(state);
    EXPECT_EQ(LastLog(state).mailboxes.Count(), 5u);
    const std::string csv = ReadFile(dir / "r.csv");
    EXPECT_NE(csv.find("# Mailboxes: ;5"), std::string::npos) << csv;
    EXPECT_LT(csv.find("AMORGAN"), csv.find("EFISCHER"));
}
