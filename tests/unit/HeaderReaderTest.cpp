// Reading the log header and what it tells: the kind of statistics, the version, the
// processed-on date, the path and the name of the post office.

#include <gtest/gtest.h>

#include <memory>

#include <algorithm>

#include "TestSupport.h"
#include "app/RunProcessing.h"
#include "logread/HeaderReader.h"
#include "logread/Keywords.h"
#include "text/Errors.h"
#include "text/TextHelpers.h"

using namespace k32;
using namespace k32::test;

namespace {

std::string Debug(std::string_view caption, std::string_view value) {
    return "DEBUG ; " + PadRight(caption, 30).str() + ": " + std::string(value);
}

LogHeader Header(const std::vector<std::string>& lines) {
    LogHeader header;
    header.HeaderLineCount = static_cast<std::uint32_t>(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i)
        header.HeaderLines[i + 1] = lines[i];
    return header;
}

std::vector<std::string> Numbered(int n) {
    std::vector<std::string> lines;
    for (int i = 1; i <= n; ++i)
        lines.push_back("line " + std::to_string(i));
    return lines;
}

class HeaderFile : public ::testing::Test {
  protected:
    void Read(const std::string& bytes) {
        WriteFile(dir_ / "gwcheck.log", bytes);
        header_ = ReadLogHeader(log_.ctx, dir_ / "gwcheck.log", kw_);
    }
    TempDir dir_;
    ContextCapture log_{2};
    KeywordTable kw_ = EnglishKeywordTable();
    LogHeader header_;
};

}  // namespace

TEST_F(HeaderFile, OneLineHoldingTheHeaderEnd) {
    Read("*** Processing post office 'PO.Org' located at 'SERVER' ***");
    EXPECT_EQ(header_.HeaderLineCount, 1u);
    EXPECT_EQ(header_.HeaderLines[1].str(),
              "*** Processing post office 'PO.Org' located at 'SERVER' ***");
    EXPECT_TRUE(log_.Has(Debug("Header length:", "1")));
    EXPECT_TRUE(log_.Has("Reading file header."));
}

TEST_F(HeaderFile, StopsAtTheHeaderEndLine) {
    Read(CrLf({"Novell GroupWise - GWCHKSRV - Version 6.5.2", "  Statistics   = Yes",
               "*** PROCESSING POST OFFICE 'X' ***", "  Checking user = A (abc)"}));
    EXPECT_EQ(header_.HeaderLineCount, 3u);
    EXPECT_EQ(header_.HeaderLines[3].str(), "*** PROCESSING POST OFFICE 'X' ***");
    EXPECT_TRUE(header_.HeaderLines[4].empty());
}

TEST_F(HeaderFile, StopsAfter99LinesWithoutTheHeaderEnd) {
    std::vector<std::string> lines = Numbered(150);
    lines[119] = "*** Processing post office 'late' ***";
    Read(CrLf(lines));
    EXPECT_EQ(header_.HeaderLineCount, 99u);
    EXPECT_EQ(header_.HeaderLines[1].str(), "line 1");
    EXPECT_EQ(header_.HeaderLines[99].str(), "line 99");
    EXPECT_TRUE(header_.HeaderLines[100].empty());
}

TEST_F(HeaderFile, ShortFileFillsTheRestWithEmptyLines) {
    Read(CrLf(Numbered(10)));
    EXPECT_EQ(header_.HeaderLineCount, 99u);
    EXPECT_EQ(header_.HeaderLines[10].str(), "line 10");
    for (std::uint32_t i = 11; i <= 99; ++i)
        EXPECT_TRUE(header_.HeaderLines[i].empty()) << i;
}

// A run keeps the header of its own log: entries left over from an earlier, longer header
// are emptied too.
TEST(HeaderOfARun, ReplacesEveryEntryOfTheLastHeader) {
    TempDir dir;
    AppState state;
    WriteFile(dir / "gwcheck.log", CrLf(Numbered(10)));
    PrepareBatchState(state, dir / "gwcheck.log", dir / "report");
    auto earlier = std::make_shared<RunResult>();
    for (auto& entry : earlier->log.header.HeaderLines)
        entry = "left over";
    state.lastRun = earlier;
    ASSERT_EQ(RunProcessing(state), RunOutcome::NoStatistics);
    EXPECT_EQ(LastLog(state).header.HeaderLineCount, 99u);
    EXPECT_EQ(LastLog(state).header.HeaderLines[10].str(), "line 10");
    for (std::uint32_t i = 11; i < kHeaderLineSlots; ++i)
        EXPECT_TRUE(LastLog(state).header.HeaderLines[i].empty()) << i;
}

TEST_F(HeaderFile, LinesAreCutTo255Bytes) {
    Read(std::string(300, 'h') + "\r\n*** processing post office ***\r\n");
    EXPECT_EQ(header_.HeaderLineCount, 2u);
    EXPECT_EQ(header_.HeaderLines[1].str(), std::string(255, 'h'));
}

TEST_F(HeaderFile, TheHeaderEndOfTheLoadedLanguageCounts) {
    const std::string german = CrLf({"  Verarbeitet am Dienstag",
                                     "*** Verarbeitung von Post-Office 'R' ***", "  Benutzer = X"});
    Read(german);  // under the English set the German header end is not one
    EXPECT_EQ(header_.HeaderLineCount, 99u);
    RunSummary summary;
    LoadGermanKeywords(log_.ctx, kw_, summary);
    Read(german);
    EXPECT_EQ(header_.HeaderLineCount, 2u);
}

TEST_F(HeaderFile, MissingLogRaisesFileNotFound) {
    try {
        ReadLogHeader(log_.ctx, dir_ / "missing.log", kw_);
        FAIL() << "no error";
    } catch (const KestramaError& e) {
        EXPECT_EQ(e.kind, ErrorKind::InputOutput);
        EXPECT_STREQ(e.what(), "File not found");
    }
}

struct StatisticsCase {
    const char* name;
    std::vector<std::string> header;
    bool mailbox, expire;
};

class StatisticsTests : public ::testing::TestWithParam<StatisticsCase> {};

TEST_P(StatisticsTests, LookAtEachLineByItself) {
    const KeywordTable kw = EnglishKeywordTable();
    const LogHeader header = Header(GetParam().header);
    EXPECT_EQ(IsMailboxStatistics(header, kw), GetParam().mailbox);
    EXPECT_EQ(IsExpireStatistics(header, kw), GetParam().expire);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StatisticsTests,
    ::testing::Values(
        StatisticsCase{"StatisticsYes", {"x", "  Statistics   = Yes"}, true, false},
        StatisticsCase{
            "StatisticsAndYesOnTwoLines", {"  Statistics   = No", "  Verbose = Yes"}, false, false},
        StatisticsCase{
            "ActionMailboxStatistics", {"  Action       = Mailbox Statistics"}, true, false},
        StatisticsCase{"ActionAndMailboxStatisticsOnTwoLines",
                       {"  Action = Analyze", "Mailbox Statistics"},
                       false,
                       false},
        StatisticsCase{
            "ActionExpireStatistics", {"  Action       = Expire Statistics"}, false, true},
        StatisticsCase{"AgeLimitInAnyCase", {"    age Limit  = 30"}, false, true},
        StatisticsCase{"ExpireStatisticsWithoutAction", {"Expire Statistics"}, false, false},
        StatisticsCase{"Both", {"  Statistics   = Yes", "  Age limit = 5"}, true, true},
        StatisticsCase{
            "Neither", {"  Action       = Analyze/Fix", "  Verbose      = No"}, false, false},
        StatisticsCase{"EmptyHeader", {}, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HeaderStatistics, GermanWordsUnderTheGermanSet) {
    RunContext ctx;
    KeywordTable kw = EnglishKeywordTable();
    RunSummary summary;
    LoadGermanKeywords(ctx, kw, summary);
    EXPECT_TRUE(IsMailboxStatistics(Header({"  Statistik    = Ja"}), kw));
    EXPECT_TRUE(IsMailboxStatistics(Header({"  Aktion = ********** Mailbox Statistics"}), kw));
    EXPECT_FALSE(IsMailboxStatistics(Header({"  Aktion = Mailbox Statistics"}), kw));
}

TEST(HeaderValues, VersionTextIsTheFiveCharactersAfterTheKeyword) {
    struct Case {
        std::vector<std::string> header;
        std::string version;
        bool groupWise5;
    };
    const Case cases[] = {
        {{"Novell GroupWise - GWCHKSRV - Version 6.5.2"}, "6.5.2", false},
        {{"Novell GroupWise 5 - GWCHKSRV - Version 5.5   "}, "5.5  ", true},
        {{"Novell GroupWise - GWCHKSRV - Version 7.0.1 build"}, "7.0.1", false},
        {{"Novell GroupWise - Version 8"}, "8", false},
        // The last qualifying line wins.
        {{"Novell GroupWise - GWCHKSRV - Version 5.5",
          "Novell GroupWise - GWCHKSRV - Version 6.0.0"},
         "6.0.0",
         false},
        // A version line without the product name does not count.
        {{"Novell GroupWise - GWCHKSRV - Version 6.5.2", "GWCHKSRV - Version 5.5.0"},
         "6.5.2",
         false},
        {{"no version here"}, "", false},
    };
    const KeywordTable kw = EnglishKeywordTable();
    for (const Case& c : cases) {
        RunContext ctx;
        const Text version = ReadVersion(ctx, Header(c.header), kw);
        EXPECT_EQ(version.str(), c.version) << c.header.back();
        EXPECT_EQ(IsGroupWise5(version.view()), c.groupWise5) << c.header.back();
    }
}

// The run sets the summary's GroupWise 5 flag from this log's version, whatever it was before.
TEST(HeaderValues, ARunSetsTheGroupWise5FlagOfItsLog) {
    struct Case {
        const char* sample;
        bool groupWise5;
    };
    const Case cases[] = {{"english-gw55.log", true},
                          {"english-gw652.log", false},
                          {"english-gw55-expire.log", true},
                          {"english-gw652-expire.log", false}};
    for (const Case& c : cases) {
        TempDir dir;
        AppState state;
        PrepareBatchState(state, std::string(KESTRAMA_SAMPLES) + "/" + c.sample, dir / "report");
        auto earlier = std::make_shared<RunResult>();
        earlier->log.summary.groupWise5 = !c.groupWise5;
        state.lastRun = earlier;
        ASSERT_EQ(RunProcessing(state), RunOutcome::ReportsWritten) << c.sample;
        EXPECT_EQ(LastLog(state).summary.groupWise5, c.groupWise5) << c.sample;
    }
}

TEST(HeaderValues, ProcessedOnIsTheRestAfterTheKeyword) {
    ContextCapture log(2);
    const KeywordTable kw = EnglishKeywordTable();
    EXPECT_EQ(
        ReadProcessedOn(log.ctx, Header({"  Processed on Sunday, July 25, 2004 - 2:00 am"}), kw)
            .str(),
        "Sunday, July 25, 2004 - 2:00 am");
    EXPECT_TRUE(log.Has("Processed on: Sunday, July 25, 2004 - 2:00 am"));

    EXPECT_EQ(
        ReadProcessedOn(log.ctx, Header({"  Processed on Monday", "  processed on Tuesday"}), kw)
            .str(),
        "Tuesday");

    EXPECT_EQ(ReadProcessedOn(log.ctx, Header({"nothing"}), kw).str(), "");
    EXPECT_TRUE(log.Has("Processed on: "));
}

TEST(HeaderValues, PathToPostOffice) {
    struct Case {
        std::vector<std::string> header;
        std::string path;
    };
    const Case cases[] = {
        {{"  Path to PO   = SERVER\\VOLUME:\\grpwise\\postoff"},
         "SERVER\\VOLUME:\\grpwise\\postoff"},
        // Only the first line with the keyword counts.
        {{"  Path to PO   = First", "  PATH TO PO   = Second"}, "First"},
        // Without "= " the text runs from the line's second character.
        {{"  Path to PO: /srv/po"}, " Path to PO: /srv/po"},
        {{"none"}, ""},
    };
    const KeywordTable kw = EnglishKeywordTable();
    for (const Case& c : cases) {
        RunContext ctx;
        EXPECT_EQ(ReadPathToPO(ctx, Header(c.header), kw).str(), c.path) << c.header.front();
    }
}

TEST(HeaderValues, PostOfficeNameSkipsPathLines) {
    struct Case {
        std::vector<std::string> header;
        std::string name;
    };
    const std::string processing =
        "Processing post office = GWPOA   path = SERVER\\VOLUME:\\grpwise\\postoff";
    const Case cases[] = {
        {{"    Post Office= Kestrama PO Name", processing}, "Kestrama PO Name"},
        {{processing, "    Post Office= Kestrama PO Name"}, "Kestrama PO Name"},
        {{processing}, "GWPOA   path = SERVER\\VOLUME:\\grpwise\\postoff"},
        {{"    Post Office= A\\B", "    Post Office= C\\D"}, "C\\D"},
        {{"    Post Office= First", "    Post Office= Second"}, "First"},
        {{"none"}, ""},
    };
    const KeywordTable kw = EnglishKeywordTable();
    for (const Case& c : cases) {
        RunContext ctx;
        EXPECT_EQ(ReadPostOfficeName(ctx, Header(c.header), kw).str(), c.name) << c.header.front();
    }
}

TEST(HeaderValues, SampleLogsInEachLanguage) {
    struct Case {
        const char* file;
        std::string language, version, postOffice;
    };
    const Case cases[] = {
        {"english-gw652.log", "English", "6.5.2", "Harbour"},
        {"german-gw7.log", "Deutsch / German", "7.0.1", "Rathaus"},
        {"french-gw8.log", "Francais / French", "8.0.2", "Mairie"},
    };
    for (const Case& c : cases) {
        RunContext ctx;
        KeywordTable kw = EnglishKeywordTable();
        RunSummary summary;
        const LogHeader header =
            ReadLogHeader(ctx, std::string(KESTRAMA_SAMPLES) + "/" + c.file, kw);
        DetectLogLanguage(ctx, header, kw, summary);
        EXPECT_EQ(summary.languageName.str(), c.language) << c.file;
        EXPECT_TRUE(IsMailboxStatistics(header, kw)) << c.file;
        EXPECT_EQ(ReadVersion(ctx, header, kw).str(), c.version) << c.file;
        EXPECT_EQ(ReadPostOfficeName(ctx, header, kw).str(), c.postOffice) << c.file;
    }
}
