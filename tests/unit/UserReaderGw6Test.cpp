// The user blocks of GroupWise 6 and later logs: the steps that parse one line, and the reader
// that turns each block into a mailbox record.

#include <gtest/gtest.h>

#include <array>

#include "TestSupport.h"
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
Fields Bare(std::string user, std::string fullName, std::string uid) {
    return {user, fullName, "-1", "-1", "-1", "-1", uid, "-1", "-1", "No"};
}

const std::string kUserLine =
    "  Checking user = JSMITH     (abc)   1234567 bytes,01/01/01 01:00 (John Smith[])";
const std::string kStatsLine = "  User stats:  12 InBox, 3 OutBox, 7 WasteBasket";
const std::string kDiskLine =
    "  Disk space management values:  Size Limit - 10240KB, Threshold - 75%";
const std::string kKbytesLine = "      2048 kbytes in use by user's mail";
const std::string kProblem89 = "      Problem 89- Size Limit Exceeded.  Current size: 10241KB";
const std::string kProblem90 = "       Problem 90- Threshold limit exceeded. Current size: 7681KB";

const Fields kSmith = {"JSMITH", "John Smith[]", "12", "3", "7", "2", "abc", "10", "75%", "No"};

// The header of a mailbox-statistics log of GroupWise 6.5.2, for whole runs.
const std::vector<std::string> kRunHeader = {"Novell GroupWise - GWCHKSRV - Version 6.5.2",
                                             "  Statistics   = Yes",
                                             "*** Processing post office 'PO' ***"};

std::vector<std::string> WithRunHeader(const std::vector<std::string>& lines) {
    std::vector<std::string> all = kRunHeader;
    all.insert(all.end(), lines.begin(), lines.end());
    return all;
}

class Gw6Reader : public ::testing::Test {
  protected:
    std::vector<Fields> Read(const std::string& bytes) {
        WriteFile(path_, bytes);
        table_ = ReadUsersGW6(ctx_, path_, kw_);
        return RecordTexts(table_);
    }
    std::vector<Fields> ReadLines(const std::vector<std::string>& lines) {
        return Read(CrLf(lines));
    }

    TempDir dir_;
    std::string path_ = dir_ / "gwcheck.log";
    RunContext ctx_;
    KeywordTable kw_ = EnglishKeywordTable();
    RunSummary summary_;
    MailboxTable table_;
};

// Whole runs over a GroupWise 6.5.2 log of the given user block lines.
class Gw6Run : public ::testing::Test {
  protected:
    Gw6Run() { PrepareBatchState(state_, path_, dir_ / "report"); }
    void WriteLog(const std::vector<std::string>& blockLines) {
        WriteFile(path_, CrLf(WithRunHeader(blockLines)));
    }

    TempDir dir_;
    std::string path_ = dir_ / "gwcheck.log";
    AppState state_;
};

}  // namespace

TEST(UserLineGw6, RecognisedByTheKeywordWithoutBlankUidOrDatabase) {
    const KeywordTable kw = EnglishKeywordTable();
    struct Case {
        std::string line;
        bool user;
    };
    const Case cases[] = {
        {kUserLine, true},
        {"  checking USER = x", true},
        {"  Checking user = (    ) 0 bytes", false},
        {"  Checking user = ngwguard.db", false},
        {"  Checking user = NGWGUARD.DB", false},
        {"  Checking user=JSMITH", false},
        {"  User stats:  12 InBox", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsUserLineGW6(kw, c.line), c.user) << c.line;
}

TEST(UserLineGw6, SplitsUserNameUidAndFullName) {
    const KeywordTable kw = EnglishKeywordTable();
    struct Case {
        std::string line, user, uid, fullName;
    };
    const Case cases[] = {
        {kUserLine, "JSMITH     ", "abc", "John Smith[]"},
        // Without a ")" the line's last character stands in for it.
        {"  Checking user = JSMITH (abc   1 bytes,01/01/01 (John Smith", "JSMITH ", "abc",
         "John Smit"},
        // Without a "(" the UID is the first three characters after the keyword.
        {"  Checking user = JSMITH", "JSMITH", "JSM", ""},
        // The last ")" stands before the last "(": no full name.
        {"  Checking user = A (uid) rest (", "A ", "uid", ""},
        // The only parentheses hold the UID, which is then the full name too.
        {"  Checking user = A (uid)", "A ", "uid", "uid"},
        {"  Checking user = A (u)", "A ", "u)", "u"},
        {"  Checking user = ", "", "", ""},
    };
    for (const Case& c : cases) {
        UserLineParts p = ParseUserLineGW6(kw, c.line);
        EXPECT_EQ(p.userName, c.user) << c.line;
        EXPECT_EQ(p.uid, c.uid) << c.line;
        EXPECT_EQ(p.fullName, c.fullName) << c.line;
    }
}

TEST(UserStatsLine, GivesTheThreeTrimmedCounts) {
    const KeywordTable kw = EnglishKeywordTable();
    struct Case {
        std::string line;
        bool found;
        std::string inbox, outbox, wastebasket;
    };
    const Case cases[] = {
        {kStatsLine, true, "12", "3", "7"},
        {"user stats:   0 inbox,   0 outbox,  0 wastebasket", true, "0", "0", "0"},
        // A missing word leaves its cuts empty; the line still counts.
        {"  User stats:  12 InBox", true, "12", "", ""},
        {"  User stats:", true, "", "", ""},
        {"  12 InBox, 3 OutBox, 7 WasteBasket", false, "", "", ""},
    };
    for (const Case& c : cases) {
        UserStats s = ParseUserStats(kw, c.line, KwUserStats6, KwInbox6, KwOutbox6, KwWastebasket6);
        EXPECT_EQ(s.found, c.found) << c.line;
        EXPECT_EQ(s.inbox, c.inbox) << c.line;
        EXPECT_EQ(s.outbox, c.outbox) << c.line;
        EXPECT_EQ(s.wastebasket, c.wastebasket) << c.line;
    }
}

TEST(KbytesLine, KilobytesBecomeWholeMegabytes) {
    const KeywordTable kw = EnglishKeywordTable();
    struct Case {
        std::string line, size;
    };
    const Case cases[] = {
        {kKbytesLine, "2"},
        {"      1023 kbytes in use by user's mail", "0"},
        {"      1024 KBYTES IN USE BY USER", "1"},
        {"0 kbytes in use by user's mail", "0"},
        {"      10485759 kbytes in use by user's mail", "10239"},
    };
    for (const Case& c : cases) {
        SizeFound s = ParseKbytesInUse(kw, c.line);
        EXPECT_TRUE(s.found) << c.line;
        EXPECT_EQ(s.size.str(), c.size) << c.line;
    }
    EXPECT_FALSE(ParseKbytesInUse(kw, "      2048 bytes in use by user's mail").found);
}

TEST(KbytesLine, AFigureThatIsNoWholeNumberRaisesTheConversionError) {
    const KeywordTable kw = EnglishKeywordTable();
    struct Case {
        std::string line, message;
    };
    const Case cases[] = {
        {"   1,234 kbytes in use by user's mail", "'1,234' is not a valid integer value"},
        {"   kbytes in use by user's mail", "'' is not a valid integer value"},
        {"  \t12 kbytes in use by user's mail", "'\t12' is not a valid integer value"},
    };
    for (const Case& c : cases) {
        try {
            ParseKbytesInUse(kw, c.line);
            ADD_FAILURE() << "no error for " << c.line;
        } catch (const KestramaError& e) {
            EXPECT_EQ(e.kind, ErrorKind::Conversion);
            EXPECT_EQ(e.what(), c.message);
        }
    }
}

TEST(DiskSpaceLine, GivesTheLimitInMegabytesAndTheThreshold) {
    const KeywordTable kw = EnglishKeywordTable();
    DiskSpace d = ParseDiskSpace(kw, kDiskLine);
    EXPECT_TRUE(d.found);
    EXPECT_EQ(d.limit.str(), "10");
    EXPECT_EQ(d.threshold, "75%");

    d = ParseDiskSpace(kw, "Disk space management values: Size Limit - 1,023KB, Threshold - 80 %");
    EXPECT_TRUE(d.found);
    EXPECT_EQ(d.limit.str(), "0");
    EXPECT_EQ(d.threshold, "80 %");

    EXPECT_FALSE(ParseDiskSpace(kw, "Disk space management values:  Size Limit - 100KB").found);
    EXPECT_FALSE(ParseDiskSpace(kw, "Disk space management values:  Threshold - 75%").found);
    EXPECT_FALSE(ParseDiskSpace(kw, "  Size Limit - 10240KB, Threshold - 75%").found);
    EXPECT_THROW(
        ParseDiskSpace(kw, "Disk space management values: Size Limit - noneKB, Threshold - 1%"),
        KestramaError);
}

TEST(ProblemLine, SizeOrThresholdExceededWithTheCurrentSize) {
    RunContext ctx;
    const KeywordTable kw = EnglishKeywordTable();
    struct Case {
        std::string line;
        bool found;
        std::string exceeded, size;
    };
    const Case cases[] = {
        {kProblem89, true, "Size", "10"},
        {kProblem90, true, "Threshold", "7"},
        {"Problem 89- size limit exceeded. Current size: 1,023KB", true, "Size", "0"},
        // Both problems in one line: the threshold wins.
        {"Problem 89 Problem 90 Size Limit Exceeded Threshold limit exceeded Current size: 2048KB",
         true, "Threshold", "2"},
        {"      Problem 89- something else.  Current size: 10241KB", false, "", ""},
        {"      Size Limit Exceeded.  Current size: 10241KB", false, "", ""},
    };
    for (const Case& c : cases) {
        ProblemFound p = ParseProblemLine(ctx, kw, c.line);
        EXPECT_EQ(p.found, c.found) << c.line;
        EXPECT_EQ(p.exceeded, c.exceeded) << c.line;
        EXPECT_EQ(p.size.str(), c.size) << c.line;
    }
}

TEST(ProblemLine, WritesADebugLine) {
    RunContext ctx;
    ctx.windowMode = true;
    ctx.debugMode = 2;
    std::vector<std::string> lines;
    ctx.screenLine = [&](std::string_view l) { lines.emplace_back(l); };
    const KeywordTable kw = EnglishKeywordTable();
    ParseProblemLine(ctx, kw, kProblem89);
    ParseProblemLine(ctx, kw, kProblem90);
    ASSERT_EQ(lines.size(), 2u);
    const std::string padding(30 - 16, ' ');
    EXPECT_NE(lines[0].find("DEBUG ; Problem 89 found" + padding + ": true"), std::string::npos);
    EXPECT_NE(lines[1].find("DEBUG ; Problem 90 found" + padding + ": true"), std::string::npos);
}

TEST_F(Gw6Reader, OneFullBlock) {
    EXPECT_EQ(ReadLines({"header", "", kUserLine, "      - checking Folder records", kStatsLine,
                         kDiskLine, kKbytesLine, "", ""}),
              std::vector<Fields>{kSmith});
}

TEST_F(Gw6Reader, TheKbytesLineEndsTheBlock) {
    // Lines between the kilobytes line and the next user line feed nothing.
    EXPECT_EQ(ReadLines({kUserLine, kKbytesLine, kStatsLine, kDiskLine, kProblem89}),
              (std::vector<Fields>{
                  {"JSMITH", "John Smith[]", "-1", "-1", "-1", "2", "abc", "-1", "-1", "No"}}));
}

TEST_F(Gw6Reader, TwoUserLinesInARow) {
    EXPECT_EQ(ReadLines({"  Checking user = FIRST (f01) 1 bytes,x (First One)", kUserLine,
                         kStatsLine, kDiskLine, kKbytesLine}),
              (std::vector<Fields>{Bare("FIRST", "First One", "f01"), kSmith}));
}

TEST_F(Gw6Reader, AUserLineAsTheLastLineStillGivesARecord) {
    const std::vector<Fields> expected = {kSmith, Bare("LAST", "Last", "l01")};
    const std::vector<std::string> lines = {kUserLine, kStatsLine, kDiskLine, kKbytesLine,
                                            "  Checking user = LAST (l01) 1 bytes,x (Last)"};
    EXPECT_EQ(ReadLines(lines), expected);
    // Also without the final line end.
    std::string bytes = CrLf(lines);
    bytes.resize(bytes.size() - 2);
    EXPECT_EQ(Read(bytes), expected);
    // And as the one and only line.
    EXPECT_EQ(Read("  Checking user = ONLY (o01)"),
              (std::vector<Fields>{Bare("ONLY", "o01", "o01")}));
}

TEST_F(Gw6Reader, BlankUidAndDatabaseLinesStartNoBlock) {
    EXPECT_EQ(ReadLines({"  Checking user = (    ) 0 bytes", "  Checking user = ngwguard.db",
                         kStatsLine, kKbytesLine}),
              std::vector<Fields>{});
    EXPECT_EQ(table_.Count(), 0u);
    // Inside a block they do not end it either.
    EXPECT_EQ(ReadLines({kUserLine, kStatsLine, "  Checking user = (    ) 0 bytes",
                         "  Checking user = wphost.db", kDiskLine, kKbytesLine}),
              std::vector<Fields>{kSmith});
}

TEST_F(Gw6Reader, ProblemLines) {
    // A problem 89 line, then a later kilobytes line: the size is replaced, "Size" stays.
    EXPECT_EQ(ReadLines({kUserLine, kStatsLine, kDiskLine, kProblem89, kKbytesLine}),
              (std::vector<Fields>{
                  {"JSMITH", "John Smith[]", "12", "3", "7", "2", "abc", "10", "75%", "Size"}}));
    // A problem line in place of the kilobytes line: the block runs on to the next user.
    EXPECT_EQ(ReadLines({kUserLine, kStatsLine, kDiskLine, kProblem90, "", kStatsLine,
                         "  Checking user = NEXT (n01) (Next)", kKbytesLine}),
              (std::vector<Fields>{
                  {"JSMITH", "John Smith[]", "12", "3", "7", "7", "abc", "10", "75%", "Threshold"},
                  {"NEXT", "Next", "-1", "-1", "-1", "2", "n01", "-1", "-1", "No"}}));
}

TEST_F(Gw6Reader, ValuesAreTrimmedAndKeepTheirCase) {
    EXPECT_EQ(ReadLines({"  Checking user =   jSmith   ( aB)  (  John  Smith  )",
                         "  USER STATS:   12   INBOX,  3  OUTBOX,  7  WASTEBASKET"}),
              (std::vector<Fields>{
                  {"jSmith", "John  Smith", "12", "3", "7", "-1", "aB", "-1", "-1", "No"}}));
}

TEST_F(Gw6Reader, KeywordsPastTheLineCutAreNotSeen) {
    EXPECT_EQ(ReadLines({kUserLine, std::string(250, ' ') + kKbytesLine, kStatsLine,
                         std::string(300, 'x') + " Checking user = HIDDEN (h)"}),
              (std::vector<Fields>{
                  {"JSMITH", "John Smith[]", "12", "3", "7", "-1", "abc", "-1", "-1", "No"}}));
}

const std::vector<std::string> kBadSecondBlock = {
    kUserLine, kStatsLine, kKbytesLine, "", kUserLine, "      1,234 kbytes in use by user's mail"};

TEST_F(Gw6Reader, ABadSizeNamesTheFileAndLine) {
    try {
        ReadLines(kBadSecondBlock);
        FAIL() << "no error";
    } catch (const KestramaError& e) {
        EXPECT_EQ(e.kind, ErrorKind::Conversion);
        EXPECT_STREQ(e.what(), "'1,234' is not a valid integer value");
        EXPECT_EQ(e.where, path_ + ", line 6");
    }
}

// A failed run leaves the last complete run's table (the one the reports on disk and the grid
// show), which Re-sort still sorts again; the error names the line.
TEST_F(Gw6Run, AFailedRunKeepsThePreviousTable) {
    WriteLog({kUserLine, kKbytesLine});
    ASSERT_EQ(RunProcessing(state_), RunOutcome::ReportsWritten);
    ASSERT_TRUE(state_.MailboxRunComplete());
    const auto before = MailboxRecords(state_);
    WriteLog(kBadSecondBlock);
    try {
        RunProcessing(state_);
        FAIL() << "no error";
    } catch (const KestramaError& e) {
        EXPECT_EQ(e.kind, ErrorKind::Conversion);
        EXPECT_EQ(e.where, path_ + ", line " + std::to_string(kRunHeader.size() + 6));
    }
    EXPECT_EQ(MailboxRecords(state_), before);
    EXPECT_TRUE(state_.MailboxRunComplete());
}

TEST_F(Gw6Reader, MissingLogRaisesFileNotFound) {
    try {
        ReadUsersGW6(ctx_, dir_ / "missing.log", kw_);
        FAIL() << "no error";
    } catch (const KestramaError& e) {
        EXPECT_EQ(e.kind, ErrorKind::InputOutput);
        EXPECT_STREQ(e.what(), "File not found");
    }
}

TEST_F(Gw6Run, ASecondRunKeepsOnlyItsOwnUsers) {
    WriteLog({kUserLine, kKbytesLine, kUserLine, kKbytesLine, kUserLine, kKbytesLine});
    ASSERT_EQ(RunProcessing(state_), RunOutcome::ReportsWritten);
    EXPECT_EQ(LastLog(state_).mailboxes.Count(), 3u);
    WriteLog({"  Checking user = ONE (o01) (One)", kKbytesLine});
    ASSERT_EQ(RunProcessing(state_), RunOutcome::ReportsWritten);
    EXPECT_EQ(
        MailboxRecords(state_),
        (std::vector<Fields>{{"ONE", "One", "-1", "-1", "-1", "2", "o01", "-1", "-1", "No"}}));
    EXPECT_EQ(LastLog(state_).mailboxes.Slots(), 2u);
}

TEST_F(Gw6Reader, GermanBlock) {
    LoadGermanKeywords(ctx_, kw_, summary_);
    EXPECT_EQ(ReadLines({"  \xDC"
                         "berpr\xFC"
                         "fung des Benutzers = HMUELLER     (h3m)   1048576 "
                         "bytes,14.03.06 03:00 (Hans M\xFCller)",
                         "  Benutzerstatistik:  523 Eingehend, 64 Ausgehend, 9 Papierkorb",
                         "  Speicherplatzverwaltungswerte:  Gr\xF6\xDF"
                         "enbegrenzung - 204800KB, "
                         "Schwellenwert - 90%",
                         "      Problem 89- Gr\xF6\xDF"
                         "enbegrenzung \xFC"
                         "berschritten.  Aktuelle "
                         "Gr\xF6\xDF"
                         "e: 262144KB",
                         "      155648 Kbyte durch Mail des Benutzers belegt"}),
              (std::vector<Fields>{{"HMUELLER", "Hans M\xFCller", "523", "64", "9", "152", "h3m",
                                    "200", "90%", "Size"}}));
}

TEST_F(Gw6Reader, FrenchBlock) {
    LoadFrenchKeywords(ctx_, kw_, summary_);
    EXPECT_EQ(
        ReadLines({"  V\xE9rification de l'utilisateur = LDUBOIS     (l5d)   524288 "
                   "bytes,09/04/08 04:30 (L\xE9"
                   "a Dubois)",
                   "  Statistiques utilisateur :  301 Bo\xEE"
                   "te arriv\xE9"
                   "e, 25 Bo\xEE"
                   "te d\xE9part, 4 Corbeille",
                   "  Valeurs de gestion de l'espace disque :  Taille limite - 153600KB, "
                   "Seuil - 85%",
                   "       Probl\xE8me 90- Seuil limite d\xE9pass\xE9. Taille actuelle: 131073KB",
                   "      98304 Ko sont utilis\xE9s par le message de l'utilisateur"}),
        (std::vector<Fields>{{"LDUBOIS",
                              "L\xE9"
                              "a Dubois",
                              "301", "25", "4", "96", "l5d", "150", "85%", "Threshold"}}));
}
