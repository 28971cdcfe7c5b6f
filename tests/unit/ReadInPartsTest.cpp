// A mailbox log read in parts, side by side, gives exactly what one pass gives: the same
// records in the same order, the same debug lines in the same order, and the same error at the
// same place. Every log here is small, so the parts are forced with a minimum part size of one
// byte.

#include <gtest/gtest.h>

#include <array>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "TestSupport.h"
#include "app/RunProcessing.h"
#include "logread/Keywords.h"
#include "logread/UserReaders.h"
#include "state/DebugLog.h"
#include "testlog/DummyLog.h"
#include "text/Errors.h"

using namespace k32;
using namespace k32::test;

namespace {

using Fields = std::array<std::string, kMailboxFields>;

const unsigned kPartCounts[] = {2, 3, 7};

std::string ReaderName(UserLineKind kind) {
    return kind == UserLineKind::GW6 ? "GroupWise 6 reader" : "GroupWise 5.5 reader";
}

// What one read gives: its records, or its error, and the Log tab's lines up to its end.
struct ReadResult {
    std::vector<Fields> records;
    std::vector<std::string> lines;
    bool failed = false;
    ErrorKind kind = ErrorKind::InputOutput;
    std::string message, where;
};

ReadResult Read(UserLineKind kind, const std::string& path, const ReadPlan& plan) {
    ContextCapture log(2);  // debug lines to the screen only
    const KeywordTable kw = EnglishKeywordTable();
    ReadResult r;
    try {
        const MailboxTable table = kind == UserLineKind::GW6
                                       ? ReadUsersGW6(log.ctx, path, kw, plan)
                                       : ReadUsersGW55(log.ctx, path, kw, plan);
        r.records = RecordTexts(table);
    } catch (const KestramaError& e) {
        r.failed = true;
        r.kind = e.kind;
        r.message = e.what();
        r.where = e.where;
    }
    r.lines = log.lines;
    return r;
}

std::size_t SliceCount(UserLineKind kind, const std::string& path, unsigned parts) {
    return SplitAtUserLines(path, EnglishKeywordTable(), kind, ReadPlan{parts, 1}).size();
}

// Reads the log in one pass and in 2, 3 and 7 parts, with each reader, and compares.
void ExpectPartsReadAsOnePass(const std::string& path, const std::string& name) {
    for (UserLineKind kind : {UserLineKind::GW6, UserLineKind::GW55}) {
        const ReadResult whole = Read(kind, path, ReadPlan{1, 1});
        for (unsigned parts : kPartCounts) {
            SCOPED_TRACE(name + ", " + ReaderName(kind) + ", " + std::to_string(parts) + " parts");
            EXPECT_GT(SliceCount(kind, path, parts), 1u) << "the log was not cut";
            const ReadResult split = Read(kind, path, ReadPlan{parts, 1});
            EXPECT_EQ(split.failed, whole.failed);
            EXPECT_EQ(split.message, whole.message);
            EXPECT_EQ(split.where, whole.where);
            EXPECT_EQ(split.records, whole.records);
            EXPECT_EQ(split.lines, whole.lines);
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Logs of the dummy log writer

struct DummyCase {
    const char* name;
    DummyVersion version;
    bool problems;
};

void PrintTo(const DummyCase& c, std::ostream* out) {
    *out << c.name;
}

class DummyLogInParts : public ::testing::TestWithParam<DummyCase> {};

TEST_P(DummyLogInParts, GivesTheRecordsAndLinesOfOnePass) {
    const DummyCase& c = GetParam();
    TempDir dir;
    const std::string path = dir / "dummy.log";
    WriteDummyLog(path, c.version, 40, c.problems);
    const UserLineKind kind = c.version == kDummyGW55 ? UserLineKind::GW55 : UserLineKind::GW6;
    const ReadResult whole = Read(kind, path, ReadPlan{1, 1});
    ASSERT_FALSE(whole.failed) << whole.message;
    ASSERT_EQ(whole.records.size(), 40u);
    for (unsigned parts : kPartCounts) {
        SCOPED_TRACE(std::to_string(parts) + " parts");
        EXPECT_EQ(SliceCount(kind, path, parts), parts);
        const ReadResult split = Read(kind, path, ReadPlan{parts, 1});
        EXPECT_FALSE(split.failed) << split.message;
        EXPECT_EQ(split.records, whole.records);
        EXPECT_EQ(split.lines, whole.lines);
    }
    if (c.problems && kind == UserLineKind::GW6) {
        // The debug lines compared above include the problem lines of every part.
        const std::string padding(30 - 16, ' ');
        std::size_t problems = 0;
        for (const std::string& line : whole.lines)
            problems += line == "DEBUG ; Problem 89 found" + padding + ": true" ||
                        line == "DEBUG ; Problem 90 found" + padding + ": true";
        EXPECT_EQ(problems, 8u);
    }
}

INSTANTIATE_TEST_SUITE_P(Versions, DummyLogInParts,
                         ::testing::Values(DummyCase{"GroupWise55", kDummyGW55, false},
                                           DummyCase{"GroupWise60WithProblems", kDummyGW60, true},
                                           DummyCase{"GroupWise65", kDummyGW65, false},
                                           DummyCase{"GroupWise652WithProblems", kDummyGW652, true},
                                           DummyCase{"GroupWise652", kDummyGW652, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// Hand-written logs with what a cut must not get wrong

std::string User(const std::string& name) {
    return "  Checking user = " + name + "     (" + name.substr(0, 3) +
           ")   1048576 bytes,01/01/05 01:00 (" + name + " Person[])";
}
const std::string kStats = "  User stats:  12 InBox, 3 OutBox, 7 WasteBasket";
const std::string kDisk = "  Disk space management values:  Size Limit - 10240KB, Threshold - 75%";
const std::string kProblem89 = "      Problem 89- Size Limit Exceeded.  Current size: 10241KB";
const std::string kBlankUid = "  Checking user = (    ) 0 bytes";
const std::string kDatabase = "  Checking user = ngwguard.db";

std::string Kbytes(int n) {
    return "      " + std::to_string(n * 1024) + " kbytes in use by user's mail";
}

// A whole block: user line, statistics, disk space values, a problem line for every third
// user, and the size line.
std::vector<std::string> Block(const std::string& name, int n) {
    std::vector<std::string> lines = {User(name), "      - checking Folder records", kStats, kDisk};
    if (n % 3 == 0)
        lines.push_back(kProblem89);
    lines.push_back(Kbytes(n));
    lines.push_back("");
    return lines;
}

// The blocks of USER<first> to USER<first + n - 1>.
std::vector<std::string> Blocks(int first, int n) {
    std::vector<std::string> lines;
    for (int i = first; i < first + n; ++i) {
        const std::vector<std::string> block = Block("USER" + std::to_string(i), i + 1);
        lines.insert(lines.end(), block.begin(), block.end());
    }
    return lines;
}

std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

struct HostileLog {
    const char* name;
    std::vector<std::string> lines;
    std::string lineEnd = "\r\n";
    bool lastLineEnded = true;
    // The line at which a cut into two parts starts its search (-1: wherever it falls), and
    // the line that must then begin the second part.
    int centre = -1;
    int secondPartAt = -1;
};

std::string Bytes(const std::vector<std::string>& lines, const std::string& lineEnd,
                  bool lastLineEnded) {
    std::string bytes;
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (i + 1 < lines.size() || lastLineEnded)
            bytes += lines[i] + lineEnd;
        else
            bytes += lines[i];
    return bytes;
}

std::size_t OffsetOf(const std::vector<std::string>& lines, const std::string& lineEnd, int index) {
    std::size_t offset = 0;
    for (int i = 0; i < index; ++i)
        offset += lines[static_cast<std::size_t>(i)].size() + lineEnd.size();
    return offset;
}

// The log's bytes. With a centre line, a filler line at the start or at the end is lengthened
// until the centre line starts exactly at half the file: where the cut into two parts begins
// to look for a user line.
std::string Build(HostileLog& log) {
    if (log.centre >= 0) {
        log.lines.insert(log.lines.begin(), "~");
        log.lines.push_back("~");
        ++log.centre;
        ++log.secondPartAt;
        const std::size_t size = Bytes(log.lines, log.lineEnd, true).size();
        const std::size_t half = OffsetOf(log.lines, log.lineEnd, log.centre);
        if (size > 2 * half)
            log.lines.front() += std::string(size - 2 * half, '~');
        else
            log.lines.back() += std::string(2 * half - size, '~');
    }
    return Bytes(log.lines, log.lineEnd, log.lastLineEnded);
}

std::vector<HostileLog> HostileLogs() {
    const std::string longLine = std::string(300, 'x');
    // The keyword past the 255 bytes that count: not a user line.
    const std::string keywordPastTheCut = std::string(260, 'x') + " Checking user = HIDDEN (h)";
    // A user line whose database name lies past the 255 bytes that count: a user line.
    const std::string longUserLine = User("LONGNAME") + std::string(255, ' ') + " USER.DB";
    // A user line of exactly 255 bytes before its CR.
    std::string edgeUserLine = User("EDGE");
    edgeUserLine += std::string(255 - edgeUserLine.size(), '.');
    std::vector<HostileLog> logs;
    logs.push_back({"UserLineAsTheLastLine", Join({Blocks(0, 6), {User("LAST")}})});
    logs.push_back({"UserLineAsTheLastLineWithoutALineEnd", Join({Blocks(0, 6), {User("LAST")}}),
                    "\r\n", false});
    logs.push_back({"LineFeedLineEnds", Join({Blocks(0, 6), {User("LAST")}}), "\n"});
    logs.push_back(
        {"CrLfLineEndsAndALoneCr", Join({Blocks(0, 3), {"  a lone \r in a line"}, Blocks(3, 3)})});
    {
        // OPEN has no size line: its block runs on to USER3's user line, where the cut falls.
        std::vector<std::string> open = {User("OPEN"), kStats, kDisk, ""};
        HostileLog log{"BlockWithoutASizeLine", Join({Blocks(0, 3), open, Blocks(3, 3)})};
        log.centre = log.secondPartAt = static_cast<int>(Blocks(0, 3).size() + open.size());
        logs.push_back(log);
    }
    {
        HostileLog log{"BlocksWithoutSizeLinesOnly",
                       {User("A"), kStats, User("B"), kStats, User("C"), kDisk, User("D")}};
        log.centre = log.secondPartAt = 4;
        logs.push_back(log);
    }
    // The flag: the line is one where a log may be cut.
    for (const auto& [name, line, isCut] : std::vector<std::tuple<const char*, std::string, bool>>{
             {"BlankUidLineAtTheCut", kBlankUid, false},
             {"DatabaseLineAtTheCut", kDatabase, false},
             {"UserKeywordPastTheLineCapAtTheCut", keywordPastTheCut, false},
             {"LineLongerThanTheCapAtTheCut", longLine, false},
             {"UserLineLongerThanTheCapAtTheCut", longUserLine, true},
             {"UserLineOf255BytesAndACrAtTheCut", edgeUserLine, true},
             // Every line of an open block feeds it, the user line that ends it too: a user line
             // that holds another step's keyword is no place to cut, the next block's is.
             {"UserLineHoldingTheStatisticsWordsAtTheCut",
              "  Checking user = STATS (sta) 1 bytes (User stats:  1 InBox, 2 OutBox, 3 "
              "WasteBasket)",
              false},
         }) {
        // In the middle of an open block: after the statistics, before the size line.
        const std::vector<std::string> before = Join({Blocks(0, 3), {User("MIDDLE"), kStats}});
        HostileLog log{name, Join({before, {line, kDisk, Kbytes(9), ""}, Blocks(3, 3)})};
        log.centre = static_cast<int>(before.size());
        log.secondPartAt = isCut ? log.centre : log.centre + 4;
        logs.push_back(log);
    }
    return logs;
}

// A failing case is named by its name alone.
void PrintTo(const HostileLog& log, std::ostream* out) {
    *out << log.name;
}

class HostileLogInParts : public ::testing::TestWithParam<HostileLog> {};

TEST_P(HostileLogInParts, GivesTheRecordsAndLinesOfOnePass) {
    HostileLog log = GetParam();
    TempDir dir;
    const std::string path = dir / "hostile.log";
    WriteFile(path, Build(log));
    ExpectPartsReadAsOnePass(path, log.name);
    if (log.centre < 0)
        return;
    // The cut into two parts begins its search at the centre line and falls on the first user
    // line from there on.
    const std::vector<LogSlice> slices =
        SplitAtUserLines(path, EnglishKeywordTable(), UserLineKind::GW6, ReadPlan{2, 1});
    ASSERT_EQ(slices.size(), 2u);
    EXPECT_EQ(slices[0].begin, 0u);
    EXPECT_EQ(slices[0].end, slices[1].begin);
    EXPECT_EQ(slices[1].begin, OffsetOf(log.lines, log.lineEnd, log.secondPartAt));
}

INSTANTIATE_TEST_SUITE_P(Logs, HostileLogInParts, ::testing::ValuesIn(HostileLogs()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LogInParts, AConversionErrorInALaterPartNamesTheLineOfTheFile) {
    TempDir dir;
    const std::string path = dir / "bad.log";
    // No figure: neither reader can make a number of it.
    const std::string bad = "      none kbytes in use by user's mail";
    const std::vector<std::string> lines =
        Join({{"Novell GroupWise - GWCHKSRV - Version 6.5.2", "  Statistics   = Yes",
               "*** Processing post office 'PO' ***"},
              Blocks(0, 12),
              {User("BAD"), kStats, bad, ""},
              Blocks(12, 3)});
    WriteFile(path, CrLf(lines));
    const std::size_t badLine = 3 + Blocks(0, 12).size() + 3;  // counted from 1
    ASSERT_EQ(lines[badLine - 1], bad);
    const std::size_t badOffset = OffsetOf(lines, "\r\n", static_cast<int>(badLine) - 1);
    for (UserLineKind kind : {UserLineKind::GW6, UserLineKind::GW55}) {
        SCOPED_TRACE(ReaderName(kind));
        const ReadResult whole = Read(kind, path, ReadPlan{1, 1});
        ASSERT_TRUE(whole.failed);
        EXPECT_EQ(whole.kind, ErrorKind::Conversion);
        EXPECT_EQ(whole.where, path + ", line " + std::to_string(badLine));
        for (unsigned parts : kPartCounts) {
            SCOPED_TRACE(std::to_string(parts) + " parts");
            const std::vector<LogSlice> slices =
                SplitAtUserLines(path, EnglishKeywordTable(), kind, ReadPlan{parts, 1});
            ASSERT_GT(slices.size(), 1u);
            EXPECT_GE(badOffset, slices[1].begin) << "the bad line is in the first part";
            const ReadResult split = Read(kind, path, ReadPlan{parts, 1});
            EXPECT_TRUE(split.failed);
            EXPECT_EQ(split.kind, whole.kind);
            EXPECT_EQ(split.message, whole.message);
            EXPECT_EQ(split.where, whole.where);
            EXPECT_EQ(split.lines, whole.lines);
        }
    }
}

}  // namespace

// A whole run on a log large enough for every thread of a run: the log read in parts, both
// reports written side by side, each through its background writes. The reports are the bytes
// of a run in one pass, with the debug log on.
TEST(RunInParts, WritesTheReportsOfARunInOnePass) {
    TempDir dir;
    const std::string log = dir / "po.log";
    WriteDummyLog(log, kDummyGW652, 3000, true);
    auto run = [&](const ReadPlan& plan) {
        AppState state;
        PrepareBatchState(state, log, dir / "report");
        state.settings.DebugMode = 1;
        state.DebugLogPath = dir / "debug32.txt";
        state.readPlan = plan;
        StartDebugLog(state);
        EXPECT_EQ(RunProcessing(state), RunOutcome::ReportsWritten);
        CloseDebugLog(state);
        std::vector<std::string> debug;
        for (const std::string& line : SplitCrLf(ReadFile(dir / "debug32.txt")))
            debug.push_back(line.substr(line.find(" ; ")));  // without the time stamp
        return std::make_tuple(ReadFile(dir / "report.csv"), ReadFile(dir / "report.mht"), debug);
    };
    const auto [csv, mht, debug] = run(ReadPlan{1, 1});
    ASSERT_GT(mht.size(), 1u << 20);  // several buffers of the background writes
    const auto [csvInParts, mhtInParts, debugInParts] = run(ReadPlan{3, 1});
    EXPECT_EQ(csvInParts, csv);
    EXPECT_EQ(mhtInParts, mht);
    EXPECT_EQ(debugInParts, debug);
}
