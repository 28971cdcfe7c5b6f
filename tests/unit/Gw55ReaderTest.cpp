// The user blocks of GroupWise 5.5 logs: the steps that parse one line, the reader that turns
// each block into a mailbox record, and the run that picks this reader by the log's version.

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "app/AppState.h"
#include "app/RunProcessing.h"
#include "logread/Keywords.h"
#include "logread/UserLineParsers.h"
#include "logread/UserReaders.h"
#include "text/Errors.h"

using namespace k32;
using namespace k32::test;

namespace {

using Fields = std::array<std::string, kMailboxFields>;

// A record of a block that supplied nothing but its user line.
Fields Bare(const std::string& user, const std::string& uid) {
    return {user, user, "-1", "-1", "-1", "-1", uid, "n/a", "n/a", "n/a"};
}

const std::string kUserLine =
    "  Checking user = JSMITH     (abc)   1234567 bytes,01/01/01 01:00 (John Smith[])";
const std::string kStatsLine = "  User stats:  12 InBox, 3 OutBox, 7 WasteBasket";
const std::string kBytesLine = "      1234567 bytes in use by user's mail";

const Fields kSmith = {"JSMITH", "JSMITH", "12", "3", "7", "1", "abc", "n/a", "n/a", "n/a"};

std::string UserLine(const std::string& name, const std::string& uid) {
    return "  Checking user = " + name + "     (" + uid + ")   1048576 bytes,10/03/04 03:00 (" +
           name + "[])";
}

TEST(Gw55Parsers, BytesInUseGivesWholeMegabytes) {
    struct Case {
        std::string line;
        bool found;
        std::string size;
    };
    const std::vector<Case> cases = {
        {kBytesLine, true, "1"},
        {"      1048575 bytes in use by user's mail", true, "0"},
        {"      1048576 bytes in use by user's mail", true, "1"},
        {"      0 bytes in use by user's mail", true, "0"},
        {"      1,234,567 bytes in use by user's mail", true, "1"},
        {"      1.073.741.824 bytes in use by user's mail", true, "1024"},
        {"      5368709120 BYTES IN USE BY USER'S MAIL", true, "5120"},
        {"  User stats:  12 InBox, 3 OutBox, 7 WasteBasket", false, ""},
    };
    const KeywordTable kw = EnglishKeywordTable();
    for (const Case& c : cases) {
        const SizeFound r = ParseBytesInUse(kw, c.line);
        EXPECT_EQ(r.found, c.found) << c.line;
        EXPECT_EQ(r.size.str(), c.size) << c.line;
    }
}

TEST(Gw55Parsers, BytesInUseWithoutFigureIsAConversionError) {
    const KeywordTable kw = EnglishKeywordTable();
    for (const std::string line : {"      bytes in use by user's mail", "bytes in use by user"}) {
        try {
            ParseBytesInUse(kw, line);
            ADD_FAILURE() << "no error for: " << line;
        } catch (const KestramaError& e) {
            EXPECT_EQ(e.kind, ErrorKind::Conversion) << line;
            EXPECT_STREQ(e.what(), "'' is not a valid integer value");
        }
    }
}

TEST(Gw55Parsers, UserLines) {
    struct Case {
        std::string line;
        bool isUserLine;
        std::string name, uid;  // untrimmed
    };
    const std::vector<Case> cases = {
        {kUserLine, true, "JSMITH     ", "abc"},
        {"  checking USER = jsmith (abc) 1 bytes (x)", true, "jsmith ", "abc"},
        // No exclusions: the blank identifier and a database name still make user lines.
        {"  Checking user = JSMITH     (    )   0 bytes (JSMITH[])", true, "JSMITH     ", "   "},
        {"  Checking user = USER0001.DB (u1)   0 bytes (x)", true, "USER0001.DB ", "u1)"},
        // Without "(" the name lacks the line's last character and the UID is the first three
        // characters after the keyword.
        {"  Checking user = JSMITH", true, "JSMIT", "JSM"},
        {"  Checking user = AB", true, "A", "A"},
        {"  Checking user = JSMITH (ab", true, "JSMITH ", "a"},
        {kStatsLine, false, "", ""},
        {"  Checking user JSMITH (abc)", false, "", ""},
    };
    const KeywordTable kw = EnglishKeywordTable();
    for (const Case& c : cases) {
        EXPECT_EQ(IsUserLineGW55(kw, c.line), c.isUserLine) << c.line;
        if (!c.isUserLine)
            continue;
        const UserLineParts parts = ParseUserLineGW55(kw, c.line);
        EXPECT_EQ(parts.userName, c.name) << c.line;
        EXPECT_EQ(parts.uid, c.uid) << c.line;
    }
}

class Gw55Reader : public ::testing::Test {
  protected:
    std::vector<Fields> ReadLines(const std::vector<std::string>& lines) {
        WriteFile(path_, CrLf(lines));
        table_ = ReadUsersGW55(ctx_, path_, kw_);
        return RecordTexts(table_);
    }

    TempDir dir_;
    std::string path_ = dir_ / "gwcheck.log";
    RunContext ctx_;
    const KeywordTable kw_ = EnglishKeywordTable();
    MailboxTable table_;
};

TEST_F(Gw55Reader, BlocksBecomeRecords) {
    struct Case {
        std::string name;
        std::vector<std::string> lines;
        std::vector<Fields> records;
    };
    const std::vector<Case> cases = {
        {"sample block", {"header", kUserLine, kStatsLine, kBytesLine, ""}, {kSmith}},
        {"lines between feed nothing",
         {kUserLine, "      - checking Folder records", kStatsLine, "", kBytesLine,
          "  User stats:  99 InBox, 99 OutBox, 99 WasteBasket", UserLine("ANN", "a1x"), kStatsLine},
         {kSmith, {"ANN", "ANN", "12", "3", "7", "-1", "a1x", "n/a", "n/a", "n/a"}}},
        {"two user lines in a row",
         {UserLine("ANN", "a1x"), kUserLine, kStatsLine, kBytesLine},
         {Bare("ANN", "a1x"), kSmith}},
        {"blank identifier and database name start blocks",
         {"  Checking user = ANN     (    )   0 bytes (ANN[])", kBytesLine,
          "  Checking user = BOB.DB (b2y)   0 bytes (BOB[])", kBytesLine},
         {{"ANN", "ANN", "-1", "-1", "-1", "1", "", "n/a", "n/a", "n/a"},
          {"BOB.DB", "BOB.DB", "-1", "-1", "-1", "1", "b2y", "n/a", "n/a", "n/a"}}},
        {"user line without an opening parenthesis",
         {"  Checking user = JSMITH", kBytesLine},
         {{"JSMIT", "JSMIT", "-1", "-1", "-1", "1", "JSM", "n/a", "n/a", "n/a"}}},
        {"last line is a user line after a block",
         {kUserLine, kStatsLine, kBytesLine, UserLine("LAST", "l9z")},
         {kSmith, Bare("LAST", "l9z")}},
        {"last line is a user line after an open block",
         {kUserLine, kStatsLine, UserLine("LAST", "l9z")},
         {{"JSMITH", "JSMITH", "12", "3", "7", "-1", "abc", "n/a", "n/a", "n/a"},
          Bare("LAST", "l9z")}},
        {"only line is a user line", {UserLine("LAST", "l9z")}, {Bare("LAST", "l9z")}},
        {"no user lines", {"header", kStatsLine, kBytesLine}, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ReadLines(c.lines), c.records) << c.name;
        EXPECT_EQ(table_.Count(), c.records.size()) << c.name;
    }
}

const std::vector<std::string> kBlankFigureInSecondBlock = {kUserLine,
                                                            kStatsLine,
                                                            kBytesLine,
                                                            UserLine("ANN", "a1x"),
                                                            kStatsLine,
                                                            "      bytes in use by user's mail",
                                                            UserLine("BOB", "b2y")};

TEST_F(Gw55Reader, BlankBytesFigureEndsTheReadNamingTheLine) {
    try {
        ReadLines(kBlankFigureInSecondBlock);
        ADD_FAILURE() << "no error";
    } catch (const KestramaError& e) {
        EXPECT_EQ(e.kind, ErrorKind::Conversion);
        EXPECT_EQ(e.where, path_ + ", line 6");
    }
}

// A run that picks this reader and fails in it keeps the record completed before the error.
// A failed run leaves the table of the last complete run, here none.
TEST(Gw55Run, BlankBytesFigureFailsTheRunAndKeepsThePreviousTable) {
    TempDir dir;
    const std::vector<std::string> header = {"Novell GroupWise 5 - GWCHKSRV - Version 5.5   ",
                                             "  Statistics   = Yes",
                                             "Processing post office = VALLEY   path = X"};
    std::vector<std::string> lines = header;
    lines.insert(lines.end(), kBlankFigureInSecondBlock.begin(), kBlankFigureInSecondBlock.end());
    WriteFile(dir / "gwcheck.log", CrLf(lines));
    AppState state;
    PrepareBatchState(state, dir / "gwcheck.log", dir / "report");
    try {
        RunProcessing(state);
        ADD_FAILURE() << "no error";
    } catch (const KestramaError& e) {
        EXPECT_EQ(e.kind, ErrorKind::Conversion);
        EXPECT_EQ(e.where, (dir / "gwcheck.log") + ", line " + std::to_string(header.size() + 6));
    }
    EXPECT_EQ(state.lastRun, nullptr);
    EXPECT_FALSE(state.MailboxRunComplete());
}

// The run picks this reader for a version text that begins with "5.5".
TEST(Gw55Run, SampleLogIsReadAsGroupWise55) {
    TempDir dir;
    AppState state;
    PrepareBatchState(state, std::string(KESTRAMA_SAMPLES) + "/english-gw55.log", dir / "report");
    std::vector<std::string> progress;
    state.WindowMode = true;
    state.screenLine = [&](std::string_view line) { progress.emplace_back(line); };
    ASSERT_EQ(RunProcessing(state), RunOutcome::ReportsWritten);
    EXPECT_EQ(LastLog(state).summary.versionText.view().substr(0, 3), "5.5");
    // Sorted by size, descending.
    EXPECT_EQ(MailboxRecords(state),
              (std::vector<Fields>{
                  {"PSILVA", "PSILVA", "2100", "300", "95", "1024", "p2s", "n/a", "n/a", "n/a"},
                  {"OBRIEN", "OBRIEN", "640", "80", "12", "150", "o1b", "n/a", "n/a", "n/a"},
                  {"QNGUYEN", "QNGUYEN", "15", "2", "0", "0", "q3n", "n/a", "n/a", "n/a"}}));
    for (const std::string& line : progress)
        EXPECT_EQ(line.find("No compatible version"), std::string::npos) << line;
}

}  // namespace
