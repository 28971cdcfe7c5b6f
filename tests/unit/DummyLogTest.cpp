// Synthetic logs: their exact lines, and that the readers take them back mailbox for mailbox.

#include <gtest/gtest.h>

#include <algorithm>

#include "TestSupport.h"
#include "logread/HeaderReader.h"
#include "logread/Keywords.h"
#include "logread/UserReaders.h"
#include "testlog/DummyLog.h"
#include "text/Errors.h"

using namespace k32;
using namespace k32::test;

namespace {

// Every line of a file whose lines all end with CR LF; a bare LF fails the test.
std::vector<std::string> LinesOf(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t lf = bytes.find('\n', start);
        if (lf == std::string::npos) {
            ADD_FAILURE() << "text after the last line end";
            break;
        }
        if (lf == start || bytes[lf - 1] != '\r') {
            ADD_FAILURE() << "line " << lines.size() + 1 << " does not end with CR LF";
            lines.push_back(bytes.substr(start, lf - start));
        } else {
            lines.push_back(bytes.substr(start, lf - 1 - start));
        }
        start = lf + 1;
    }
    return lines;
}

std::vector<std::string> WriteAndRead(DummyVersion version, std::int64_t count, bool problems) {
    TempDir dir;
    WriteDummyLog(dir / "dummy.log", version, count, problems);
    return LinesOf(ReadFile(dir / "dummy.log"));
}

// The 1-based number of the line that follows mailbox n's user line by `after` lines.
std::size_t LineOfMailbox(std::size_t headerLines, std::size_t blockLines, std::int64_t n,
                          std::size_t after) {
    return headerLines + blockLines * static_cast<std::size_t>(n - 1) + 3 + after;
}

}  // namespace

TEST(DummyMailboxCount, RaisedToTenAndConvertedStrictly) {
    EXPECT_EQ(DummyMailboxCount("3"), 10);
    EXPECT_EQ(DummyMailboxCount("-5"), 10);
    EXPECT_EQ(DummyMailboxCount("10"), 10);
    EXPECT_EQ(DummyMailboxCount("12"), 12);
    for (const char* bad : {"", "abc", "1 0", "12.5"}) {
        try {
            DummyMailboxCount(bad);
            ADD_FAILURE() << "no error for " << bad;
        } catch (const KestramaError& e) {
            EXPECT_EQ(e.kind, ErrorKind::Conversion);
            EXPECT_EQ(e.what(), "'" + std::string(bad) + "' is not a valid integer value");
        }
    }
}

TEST(DummyLog, TenMailboxesOfVersion65) {
    const std::vector<std::string> lines = WriteAndRead(kDummyGW65, DummyMailboxCount("3"), false);
    ASSERT_EQ(lines.size(), 330u);
    EXPECT_EQ(lines[0], std::string(80, '='));
    EXPECT_EQ(lines[1], "===== BEGIN - JOB LOG " + std::string(58, '='));
    EXPECT_EQ(lines[5], "===== TASK LOG - 0 (3ed7fe9c.ckl) " + std::string(46, '='));
    EXPECT_EQ(lines[7], "Novell GroupWise - GWCHKSRV - Version 6.5.0");
    EXPECT_EQ(lines[21], "  Statistics   = Yes");
    EXPECT_EQ(lines[39],
              "*** Processing post office 'Kestrama PO Name.Org' located at "
              "'SERVER\\VOLUME:\\grpwise\\postoff' ***");
    EXPECT_EQ(lines[40], "");
    EXPECT_EQ(lines[42],
              "  Checking user = Username1     (123)   1234567 bytes,01/01/01 01:00 "
              "(Firstname1 Lastname1[])");
    EXPECT_EQ(lines[43],
              "          STRUCTURAL VERIFICATION of database "
              "SERVER\\VOLUME:\\grpwise\\postoff\\ofuser\\useroab.db");
    EXPECT_EQ(lines[64], "  User stats:  1 InBox, 1 OutBox, 1 WasteBasket");
    EXPECT_EQ(lines[65], "  Disk space management values:  Size Limit - 100KB, Threshold - 75%");
    EXPECT_EQ(lines[66], "      100 kbytes in use by user's mail");
    EXPECT_EQ(lines[328], "");
    EXPECT_EQ(lines[329], "");
    EXPECT_EQ(lines[LineOfMailbox(40, 29, 10, 0) - 1],
              "  Checking user = Username10     (123)   1234567 bytes,01/01/01 01:00 "
              "(Firstname10 Lastname10[])");
    for (const std::string& l : lines)
        EXPECT_LE(l.size(), 255u);
}

TEST(DummyLog, LineCountsOfEachVersion) {
    struct Case {
        DummyVersion version;
        std::size_t header, block;
    };
    for (const Case& c : {Case{kDummyGW55, 35, 28}, Case{kDummyGW60, 40, 29},
                          Case{kDummyGW65, 40, 29}, Case{kDummyGW652, 39, 29}}) {
        for (bool problems : {false, true})
            EXPECT_EQ(WriteAndRead(c.version, 11, problems).size(), c.header + 11 * c.block)
                << c.version;
    }
}

TEST(DummyLog, HeadersOfVersion652AndVersion55) {
    const std::vector<std::string> v4 = WriteAndRead(kDummyGW652, 10, false);
    EXPECT_EQ(v4[7], "Novell GroupWise - GWCHKSRV - Version 6.5.2");
    EXPECT_EQ(v4[17], "  Action       = Mailbox Statistics");
    EXPECT_EQ(v4[21], "    Box Limit  = 500");
    EXPECT_EQ(std::count(v4.begin(), v4.end(), "  Statistics   = Yes"), 0);

    const std::vector<std::string> v1 = WriteAndRead(kDummyGW55, 10, false);
    EXPECT_EQ(v1[0], "Novell GroupWise 5 - GWCHKSRV - Version 5.5   ");
    EXPECT_EQ(v1[1], "  Processed on Sunday, July 25, 2004 - 2:00 am");
    EXPECT_EQ(v1[5], std::string(69, '*'));
    EXPECT_EQ(v1[6], "Processing information for this run:");
    EXPECT_EQ(v1[14], "  Statistics   = Yes");
    EXPECT_EQ(v1[33], "Processing post office = GWPOA   path = SERVER\\VOLUME:\\grpwise\\postoff");
    EXPECT_EQ(v1[34], std::string(69, '*'));
    EXPECT_EQ(v1[LineOfMailbox(35, 28, 2, 22) - 1],
              "  User stats:  2 InBox, 2 OutBox, 2 WasteBasket");
    EXPECT_EQ(v1[LineOfMailbox(35, 28, 2, 23) - 1], "      2000000 bytes in use by user's mail");
    EXPECT_EQ(v1[LineOfMailbox(35, 28, 2, 24) - 1], "");
}

TEST(DummyLog, EveryFifthMailboxHasAProblemLine) {
    const std::int64_t count = 20;
    const std::vector<std::string> lines = WriteAndRead(kDummyGW652, count, true);
    for (std::int64_t n = 1; n <= count; ++n) {
        const std::string s = std::to_string(n);
        const std::string usage = lines[LineOfMailbox(39, 29, n, 24) - 1];
        std::string expected = "      " + s + "00 kbytes in use by user's mail";
        if (n % 10 == 5)
            expected = "       Problem 90- Threshold limit exceeded. Current size: " + s + "001KB";
        if (n % 10 == 0)
            expected = "      Problem 89- Size Limit Exceeded.  Current size: " + s + "001KB";
        EXPECT_EQ(usage, expected) << "mailbox " << n;
        EXPECT_EQ(lines[LineOfMailbox(39, 29, n, 23) - 1],
                  "  Disk space management values:  Size Limit - " + s + "00KB, Threshold - 75%");
    }
    // Each write starts the alternation afresh.
    const std::vector<std::string> again = WriteAndRead(kDummyGW652, 10, true);
    EXPECT_EQ(again[LineOfMailbox(39, 29, 5, 24) - 1],
              "       Problem 90- Threshold limit exceeded. Current size: 5001KB");
    EXPECT_EQ(again[LineOfMailbox(39, 29, 10, 24) - 1],
              "      Problem 89- Size Limit Exceeded.  Current size: 10001KB");
}

TEST(DummyLog, Version55HasNoDiskSpaceOrProblemLines) {
    for (const std::string& line : WriteAndRead(kDummyGW55, 25, true)) {
        EXPECT_EQ(line.find("Disk space"), std::string::npos) << line;
        EXPECT_EQ(line.find("Problem"), std::string::npos) << line;
    }
}

TEST(DummyLog, AMissingFolderRaisesTheInputOutputError) {
    TempDir dir;
    try {
        WriteDummyLog(dir / "missing/dummy.log", kDummyGW65, 10, false);
        FAIL() << "no error";
    } catch (const KestramaError& e) {
        EXPECT_EQ(e.kind, ErrorKind::InputOutput);
    }
}

struct ReadBackCase {
    DummyVersion version;
    bool problems;
};

std::string ReadBackCaseName(const ::testing::TestParamInfo<ReadBackCase>& info) {
    const char* const names[] = {"", "Gw55", "Gw60", "Gw65", "Gw652"};
    return std::string(names[info.param.version]) +
           (info.param.problems ? "WithProblems" : "NoProblems");
}

class DummyLogReadBack : public ::testing::TestWithParam<ReadBackCase> {};

TEST_P(DummyLogReadBack, GivesOneRecordPerMailboxWithTheWrittenValues) {
    const ReadBackCase c = GetParam();
    const std::int64_t count = 23;
    TempDir dir;
    WriteDummyLog(dir / "dummy.log", c.version, count, c.problems);
    RunContext ctx;
    KeywordTable kw = EnglishKeywordTable();
    RunSummary summary;
    const std::string path = dir / "dummy.log";
    const LogHeader header = ReadLogHeader(ctx, path, kw);
    DetectLogLanguage(ctx, header, kw, summary);
    ASSERT_TRUE(IsMailboxStatistics(header, kw));
    EXPECT_FALSE(IsExpireStatistics(header, kw));
    const Text version = ReadVersion(ctx, header, kw);
    EXPECT_EQ(ReadPostOfficeName(ctx, header, kw).str(), "Kestrama PO Name");
    const bool gw55 = c.version == kDummyGW55;
    EXPECT_EQ(version.view().substr(0, 3), gw55 ? "5.5" : c.version == kDummyGW60 ? "6.0" : "6.5");
    const MailboxTable table = gw55 ? ReadUsersGW55(ctx, path, kw) : ReadUsersGW6(ctx, path, kw);

    ASSERT_EQ(table.Count(), static_cast<std::uint32_t>(count));
    for (std::int64_t n = 1; n <= count; ++n) {
        const std::string s = std::to_string(n);
        const MailboxRecordView r = table.Get(static_cast<std::uint32_t>(n));
        const bool problem = c.problems && !gw55 && n % 5 == 0;
        EXPECT_EQ(r.field[kUserName], "Username" + s);
        EXPECT_EQ(r.field[kFullName],
                  gw55 ? "Username" + s : "Firstname" + s + " Lastname" + s + "[]");
        EXPECT_EQ(r.field[kInbox], s);
        EXPECT_EQ(r.field[kOutbox], s);
        EXPECT_EQ(r.field[kWastebasket], s);
        EXPECT_EQ(r.field[kUid], "123");
        if (gw55) {
            EXPECT_EQ(r.field[kSize], std::to_string(n * 1000000 / 1024 / 1024));
            EXPECT_EQ(r.field[kSizeLimit], "n/a");
            EXPECT_EQ(r.field[kThreshold], "n/a");
            EXPECT_EQ(r.field[kExceeded], "n/a");
            continue;
        }
        EXPECT_EQ(r.field[kSize], std::to_string(problem ? (n * 1000 + 1) / 1024 : n * 100 / 1024))
            << n;
        EXPECT_EQ(r.field[kSizeLimit], std::to_string(n * 100 / 1024));
        EXPECT_EQ(r.field[kThreshold], "75%");
        EXPECT_EQ(r.field[kExceeded], !problem ? "No" : n % 10 == 5 ? "Threshold" : "Size") << n;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Versions, DummyLogReadBack,
    ::testing::Values(ReadBackCase{kDummyGW55, true}, ReadBackCase{kDummyGW60, false},
                      ReadBackCase{kDummyGW60, true}, ReadBackCase{kDummyGW65, true},
                      ReadBackCase{kDummyGW652, false}, ReadBackCase{kDummyGW652, true}),
    ReadBackCaseName);
