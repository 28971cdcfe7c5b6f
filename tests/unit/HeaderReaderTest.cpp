// Reading the log header and what it tells: the kind of statistics, the version, the
// processed-on date, the path and the name of the post office.

#include <gtest/gtest.h>

#include <algorithm>

#include "TestSupport.h"
#include "state/AppState.h"
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

void SetHeader(AppState& state, const std::vector<std::string>& lines) {
    state.log.HeaderLineCount = static_cast<std::uint32_t>(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i)
        state.log.HeaderLines[i + 1] = lines[i];
}

std::vector<std::string> Numbered(int n) {
    std::vector<std::string> lines;
    for (int i = 1; i <= n; ++i)
        lines.push_back("line " + std::to_string(i));
    return lines;
}

class HeaderFile : public ::testing::Test {
  protected:
    HeaderFile() { state_.settings.DebugMode = 3; }
    void Read(const std::string& bytes) {
        WriteFile(dir_ / "gwcheck.log", bytes);
        state_.settings.InputPath = dir_ / "gwcheck.log";
        ReadLogHeader(state_);
    }
    TempDir dir_;
    AppState state_;
};

}  // namespace

TEST_F(HeaderFile, OneLineHoldingTheHeaderEnd) {
    LogCapture log(state_, 2);
    Read("*** Processing post office 'PO.Org' located at 'SERVER' ***");
    EXPECT_EQ(state_.log.HeaderLineCount, 1u);
    EXPECT_EQ(state_.log.HeaderLines[1].str(),
              "*** Processing post office 'PO.Org' located at 'SERVER' ***");
    EXPECT_TRUE(log.Has(Debug("Header length:", "1")));
    EXPECT_TRUE(log.Has("Reading file header."));
}

TEST_F(HeaderFile, StopsAtTheHeaderEndLine) {
    Read(CrLf({"Novell GroupWise - GWCHKSRV - Version 6.5.2", "  Statistics   = Yes",
               "*** PROCESSING POST OFFICE 'X' ***", "  Checking user = A (abc)"}));
    EXPECT_EQ(state_.log.HeaderLineCount, 3u);
    EXPECT_EQ(state_.log.HeaderLines[3].str(), "*** PROCESSING POST OFFICE 'X' ***");
    EXPECT_TRUE(state_.log.HeaderLines[4].empty());
}

TEST_F(HeaderFile, StopsAfter99LinesWithoutTheHeaderEnd) {
    std::vector<std::string> lines = Numbered(150);
    lines[119] = "*** Processing post office 'late' ***";
    Read(CrLf(lines));
    EXPECT_EQ(state_.log.HeaderLineCount, 99u);
    EXPECT_EQ(state_.log.HeaderLines[1].str(), "line 1");
    EXPECT_EQ(state_.log.HeaderLines[99].str(), "line 99");
    EXPECT_TRUE(state_.log.HeaderLines[100].empty());
}

TEST_F(HeaderFile, ShortFileFillsTheRestWithEmptyLines) {
    // Entries left over from an earlier, longer header are emptied too.
    for (auto& entry : state_.log.HeaderLines)
        entry = "left over";
    Read(CrLf(Numbered(10)));
    EXPECT_EQ(state_.log.HeaderLineCount, 99u);
    EXPECT_EQ(state_.log.HeaderLines[10].str(), "line 10");
    for (std::uint32_t i = 11; i <= 99; ++i)
        EXPECT_TRUE(state_.log.HeaderLines[i].empty()) << i;
}

TEST_F(HeaderFile, LinesAreCutTo255Bytes) {
    Read(std::string(300, 'h') + "\r\n*** processing post office ***\r\n");
    EXPECT_EQ(state_.log.HeaderLineCount, 2u);
    EXPECT_EQ(state_.log.HeaderLines[1].str(), std::string(255, 'h'));
}

TEST_F(HeaderFile, TheHeaderEndOfTheLoadedLanguageCounts) {
    const std::string german = CrLf({"  Verarbeitet am Dienstag",
                                     "*** Verarbeitung von Post-Office 'R' ***", "  Benutzer = X"});
    Read(german);  // under the English set the German header end is not one
    EXPECT_EQ(state_.log.HeaderLineCount, 99u);
    LoadGermanKeywords(state_);
    Read(german);
    EXPECT_EQ(state_.log.HeaderLineCount, 2u);
}

TEST_F(HeaderFile, MissingLogRaisesFileNotFound) {
    state_.settings.InputPath = dir_ / "missing.log";
    try {
        ReadLogHeader(state_);
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
    AppState state;
    SetHeader(state, GetParam().header);
    EXPECT_EQ(IsMailboxStatistics(state), GetParam().mailbox);
    EXPECT_EQ(IsExpireStatistics(state), GetParam().expire);
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
    AppState state;
    LoadGermanKeywords(state);
    SetHeader(state, {"  Statistik    = Ja"});
    EXPECT_TRUE(IsMailboxStatistics(state));
    SetHeader(state, {"  Aktion = ********** Mailbox Statistics"});
    EXPECT_TRUE(IsMailboxStatistics(state));
    SetHeader(state, {"  Aktion = Mailbox Statistics"});
    EXPECT_FALSE(IsMailboxStatistics(state));
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
    for (const Case& c : cases) {
        AppState state;
        state.log.summary.groupWise5 = !c.groupWise5;
        SetHeader(state, c.header);
        EXPECT_EQ(ReadVersion(state).str(), c.version) << c.header.back();
        EXPECT_EQ(state.log.summary.groupWise5, c.groupWise5) << c.header.back();
    }
}

TEST(HeaderValues, ProcessedOnIsTheRestAfterTheKeyword) {
    AppState state;
    LogCapture log(state, 2);
    SetHeader(state, {"  Processed on Sunday, July 25, 2004 - 2:00 am"});
    EXPECT_EQ(ReadProcessedOn(state).str(), "Sunday, July 25, 2004 - 2:00 am");
    EXPECT_TRUE(log.Has("Processed on: Sunday, July 25, 2004 - 2:00 am"));

    SetHeader(state, {"  Processed on Monday", "  processed on Tuesday"});
    EXPECT_EQ(ReadProcessedOn(state).str(), "Tuesday");

    SetHeader(state, {"nothing"});
    EXPECT_EQ(ReadProcessedOn(state).str(), "");
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
    for (const Case& c : cases) {
        AppState state;
        SetHeader(state, c.header);
        EXPECT_EQ(ReadPathToPO(state).str(), c.path) << c.header.front();
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
    for (const Case& c : cases) {
        AppState state;
        SetHeader(state, c.header);
        EXPECT_EQ(ReadPostOfficeName(state).str(), c.name) << c.header.front();
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
        AppState state;
        state.settings.DebugMode = 3;
        state.settings.InputPath = std::string(KESTRAMA_SAMPLES) + "/" + c.file;
        ReadLogHeader(state);
        DetectLogLanguage(state);
        EXPECT_EQ(state.log.summary.languageName.str(), c.language) << c.file;
        EXPECT_TRUE(IsMailboxStatistics(state)) << c.file;
        EXPECT_EQ(ReadVersion(state).str(), c.version) << c.file;
        EXPECT_EQ(ReadPostOfficeName(state).str(), c.postOffice) << c.file;
    }
}
