// The expire-statistics reader: which lines are user lines, how the MAIL, TASK and APPT rows of
// each user become one record, and how an expire run (alone or after a mailbox run of the same
// log) fills its report.

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "app/AppState.h"
#include "app/RunProcessing.h"
#include "logread/ExpireReader.h"
#include "text/Errors.h"

using namespace k32;
using namespace k32::test;
namespace fs = std::filesystem;

namespace {

using Fields = std::array<std::string, kExpireFields>;

const Fields kEmpty = {};

const std::vector<std::string> kHeaderGW6 = {
    "Novell GroupWise - GWCHKSRV - Version 6.5.2",
    "  Processed on Thursday, June 9, 2005 - 4:00 am",
    "*********************************************************************",
    "Processing information for this run:",
    "  Path to PO   = FS1\\MAIL:\\grpwise\\harbour",
    "    Post Office= Harbour",
    "  Action       = Expire Statistics",
    "    Age Limit  = 90 days",
    "*********************************************************************",
    "",
    "*** Processing post office 'Harbour.Coast' located at 'FS1\\MAIL:\\grpwise\\harbour' ***",
    "",
};
const std::vector<std::string> kHeaderGW5 = {
    "Novell GroupWise 5 - GWCHKSRV - Version 5.5   ",
    "  Processed on Sunday, October 3, 2004 - 5:00 am",
    "Processing information for this run:",
    "  Path to PO   = OLDSRV\\SYS:\\gw55\\valley",
    "    Post Office= Valley",
    "  Action       = Expire Statistics",
    "Processing post office = VALLEY   path = OLDSRV\\SYS:\\gw55\\valley",
    "",
};

const std::string kColumnHeaderGW6 =
    "Userid    (FID / DiskID)  #recs Highest Deleted  Setup DB Size (bytes)  (Name [Dept])";
const std::string kColumnHeaderGW5 =
    "User/FID/DiskID          #recs Highest Deleted Setup  Size of database";
const std::string kRule = "------ ---------------- ---------------- -------------- ---------------";

std::string User(const std::string& name) {
    return name + "   (a1x / 1)    1523   1600      12  06/09/05 (10485760)  (" + name +
           " Person [Sales])";
}
std::string UserGW5(const std::string& name) {
    return name + "    (o1b-1) - (1523)";
}

// A row of one item type with its size in bytes in characters 57 to 65.
std::string Row(const std::string& type, long long bytes) {
    std::string line = type + "                 12               12              0 ";
    line.resize(56, ' ');
    std::string figure = std::to_string(bytes);
    return line + std::string(9 - figure.size(), ' ') + figure;
}

// One user's rows: the rule line, MAIL, TASK, APPT (bytes), the empty line that ends them.
std::vector<std::string> Rows(long long mail, long long task, long long appt) {
    return {kRule, Row("MAIL", mail), Row("TASK", task), Row("APPT", appt), ""};
}

std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

constexpr long long kMB = 1048576;

TEST(ExpireUserLine, PatternCharactersInOrder) {
    struct Case {
        std::string upper;
        bool groupWise5, expected;
    };
    const std::vector<Case> cases = {
        {"AMORGAN   (A1X / 1)    1523   1600      12  06/09/05 (10485760)  (ANNA MORGAN [SALES])",
         false, true},
        // The column header itself qualifies, and the closing ")" is not needed.
        {"USERID    (FID / DISKID)  #RECS HIGHEST DELETED  SETUP DB SIZE (BYTES)  (NAME [DEPT])",
         false, true},
        {"AMORGAN (A1X / 1) (10485760) (ANNA [SALES]", false, true},
        {"(/)()([]", false, true},
        {"(/)()([", false, false},
        {"AMORGAN (A1X / 1) (10485760) (ANNA MORGAN)", false, false},
        {"([])(/)()", false, false},
        {"", false, false},
        {"OBRIEN    (O1B-1) - (1523)", true, true},
        {"OBRIEN    (O1B-1) - (1523", true, true},
        {"OBRIEN    (O1B-1) - ", true, false},
        {"OBRIEN    (O1B-1) - (1523)", false, false},
        {"AMORGAN   (A1X / 1)    1523   1600      12  06/09/05 (10485760)  (ANNA MORGAN [SALES])",
         true, false},
        {"------ ---------------- ---------------- -------------- ---------------", true, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsExpireUserLine(c.upper, c.groupWise5), c.expected)
            << c.upper << (c.groupWise5 ? " (GroupWise 5)" : "");
}

class ExpireReader : public ::testing::Test {
  protected:
    std::vector<Fields> Read(const std::string& bytes) {
        WriteFile(path_, bytes);
        return ReadPath(path_);
    }
    std::vector<Fields> ReadLines(const std::vector<std::string>& lines) {
        return Read(CrLf(lines));
    }
    std::vector<Fields> ReadPath(const std::string& path) {
        table_ = RunExpReport3(ctx_, path, kw_, header_, summary_);
        return RecordTexts(table_);
    }

    TempDir dir_;
    std::string path_ = dir_ / "expire.log";
    RunContext ctx_;
    KeywordTable kw_ = EnglishKeywordTable();
    LogHeader header_;
    RunSummary summary_;
    ExpireTable table_;
};

TEST_F(ExpireReader, RowsOfEachUserBecomeOneRecord) {
    struct Case {
        std::string name;
        std::vector<std::string> lines;
        std::vector<Fields> records;
    };
    const std::vector<Case> cases = {
        {"one user",
         Join({kHeaderGW6, {kColumnHeaderGW6, "", User("AMORGAN")}, Rows(kMB, 0, 3 * kMB)}),
         {{"AMORGAN", "AMORGAN", "1", "0", "3", "", ""}}},
        {"sizes are summed, then cut to whole megabytes; other rows add nothing",
         Join({kHeaderGW6,
               {kColumnHeaderGW6, User("AMORGAN"), kRule, Row("MAIL", kMB - 1), Row("MAIL", 1),
                Row("MAIL", kMB - 1), Row("NOTE", 999999999), Row("mail", 2 * kMB),
                Row("TASK", 2 * kMB - 1), ""}}),
         {{"AMORGAN", "AMORGAN", "3", "1", "0", "", ""}}},
        {"each record names the user before it",
         Join({kHeaderGW6,
               {kColumnHeaderGW6, User("AMORGAN")},
               Rows(kMB, 0, 0),
               {User("BCHEN")},
               Rows(0, kMB, 0),
               {User("CDIAZ")},
               Rows(0, 0, kMB)}),
         {{"AMORGAN", "AMORGAN", "1", "0", "0", "", ""},
          {"BCHEN", "BCHEN", "0", "1", "0", "", "AMORGAN"},
          {"CDIAZ", "CDIAZ", "0", "0", "1", "", "BCHEN"}}},
        {"two user lines before the rows store only the second",
         Join({kHeaderGW6, {kColumnHeaderGW6, User("AMORGAN"), User("BCHEN")}, Rows(kMB, 0, 0)}),
         {kEmpty, {"BCHEN", "BCHEN", "1", "0", "0", "", "AMORGAN"}}},
        {"a second block of rows replaces the record under the same name",
         Join({kHeaderGW6,
               {kColumnHeaderGW6, User("AMORGAN")},
               Rows(kMB, 0, 0),
               Rows(2 * kMB, 0, 0)}),
         {{"AMORGAN", "AMORGAN", "2", "0", "0", "", ""}}},
        {"a repeated column header counts as the user Userid",
         Join({kHeaderGW6,
               {kColumnHeaderGW6, User("AMORGAN")},
               Rows(kMB, 0, 0),
               {kColumnHeaderGW6},
               Rows(0, kMB, 0)}),
         {{"AMORGAN", "AMORGAN", "1", "0", "0", "", ""},
          {"Userid", "Userid", "0", "1", "0", "", "AMORGAN"}}},
        {"user lines after the last rows are counted, not stored",
         Join({kHeaderGW6,
               {kColumnHeaderGW6, User("AMORGAN")},
               Rows(kMB, 0, 0),
               {User("BCHEN"), User("CDIAZ")}}),
         {{"AMORGAN", "AMORGAN", "1", "0", "0", "", ""}, kEmpty, kEmpty}},
        {"rows still open at the end of the file are not stored",
         Join({kHeaderGW6, {kColumnHeaderGW6, User("AMORGAN"), kRule, Row("MAIL", kMB)}}),
         {kEmpty}},
        {"the task log marker starts the table",
         Join({{"===== TASK LOG - 1 (4a1f02c3.ckl) =====", User("AMORGAN")}, Rows(kMB, 0, 0)}),
         {{"AMORGAN", "AMORGAN", "1", "0", "0", "", ""}}},
        {"user lines before the table are not counted",
         Join({kHeaderGW6,
               {User("EARLY")},
               Rows(kMB, 0, 0),
               {kColumnHeaderGW6, User("AMORGAN")},
               Rows(0, 0, kMB)}),
         {{"AMORGAN", "AMORGAN", "0", "0", "1", "", ""}}},
        {"neither column header nor task log marker",
         Join({kHeaderGW6,
               {"===== TASK LOG - 0 (4a1f02c3.ckl) =====", "   " + kColumnHeaderGW6 + " x",
                User("AMORGAN")},
               Rows(kMB, 0, 0)}),
         {}},
        {"a kilobytes line puts the size in megabytes into field 1",
         Join({kHeaderGW6,
               {kColumnHeaderGW6, User("AMORGAN"), "      210944 kbytes in use by user's mail"},
               Rows(kMB, 0, 0),
               {User("BCHEN"), "      1023 kbytes in use by user's mail"},
               Rows(0, 0, 0)}),
         {{"AMORGAN", "206", "1", "0", "0", "", ""}, {"BCHEN", "0", "0", "0", "0", "", "AMORGAN"}}},
        {"GroupWise 5.5: its own column header and user lines, kilobytes lines ignored",
         Join({kHeaderGW5,
               {kColumnHeaderGW5, "", UserGW5("OBRIEN"), "  no figure kbytes in use by user"},
               Rows(100 * kMB, kMB, 3 * kMB),
               {UserGW5("PSILVA")},
               Rows(900 * kMB, 0, 50 * kMB)}),
         {{"OBRIEN", "OBRIEN", "100", "1", "3", "", ""},
          {"PSILVA", "PSILVA", "900", "0", "50", "", "OBRIEN"}}},
        {"GroupWise 5.5: the other form's column header starts no table",
         Join({kHeaderGW5, {kColumnHeaderGW6, UserGW5("OBRIEN")}, Rows(kMB, 0, 0)}),
         {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ReadLines(c.lines), c.records) << c.name;
        EXPECT_EQ(table_.Count(), c.records.size()) << c.name;
    }
}

TEST_F(ExpireReader, SampleLogs) {
    struct Case {
        std::string sample;
        std::vector<Fields> records;
    };
    const std::vector<Case> cases = {
        {"english-gw652-expire.log",
         {{"AMORGAN", "206", "150", "2", "5", "", ""},
          {"BCHEN", "472", "450", "0", "1", "", "AMORGAN"},
          {"EFISCHER", "0", "0", "0", "0", "", "BCHEN"}}},
        {"english-gw55-expire.log",
         {{"OBRIEN", "OBRIEN", "100", "1", "3", "", ""},
          {"PSILVA", "PSILVA", "900", "0", "50", "", "OBRIEN"}}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReadPath(std::string(KESTRAMA_SAMPLES) + "/" + c.sample), c.records) << c.sample;
}

TEST_F(ExpireReader, ProgressShowsEachUsersTotals) {
    std::vector<std::string> progress;
    ctx_.windowMode = true;
    ctx_.screenLine = [&](std::string_view line) { progress.emplace_back(line); };
    ReadLines(Join({kHeaderGW6, {kColumnHeaderGW6, User("AMORGAN")}, Rows(kMB, 0, 3 * kMB)}));
    const std::string totals = "Totals: AMORGAN ==> 1 : 0 : 3 :: 1";
    bool found = false;
    for (const std::string& line : progress)
        found = found || (line.size() >= totals.size() &&
                          line.compare(line.size() - totals.size(), totals.size(), totals) == 0);
    EXPECT_TRUE(found);
}

// Logs whose figures are no numbers, after the header and the column header.
struct BadFigureCase {
    std::string name;
    std::vector<std::string> body;
    std::size_t badLine;  // counted in the body, from 1
};

std::vector<BadFigureCase> BadFigureCases() {
    return {
        {"row without digits",
         Join({{User("AMORGAN")},
               Rows(kMB, 0, 0),
               {User("BCHEN"), kRule, Row("MAIL", kMB)},
               {"MAIL                 12               12              0  (none)  "}}),
         10},
        {"kilobytes line without a figure",
         Join({{User("AMORGAN")}, Rows(kMB, 0, 0), {User("BCHEN"), "  kbytes in use by user"}}), 8},
    };
}

TEST_F(ExpireReader, FigureThatIsNoNumberEndsTheReadNamingTheLine) {
    for (const BadFigureCase& c : BadFigureCases()) {
        SCOPED_TRACE(c.name);
        WriteFile(path_, CrLf(Join({kHeaderGW6, {kColumnHeaderGW6}, c.body})));
        try {
            ReadPath(path_);
            ADD_FAILURE() << "no error";
        } catch (const KestramaError& e) {
            EXPECT_EQ(e.kind, ErrorKind::Conversion);
            EXPECT_EQ(e.where,
                      path_ + ", line " + std::to_string(kHeaderGW6.size() + 1 + c.badLine));
        }
    }
}

// The window's expire read that fails keeps the record stored before the error.
// A failed read leaves the expire table of the last read that completed.
TEST_F(ExpireReader, FigureThatIsNoNumberKeepsThePreviousTable) {
    AppState state;
    PrepareBatchState(state, path_, dir_ / "report");
    WriteFile(path_,
              CrLf(Join({kHeaderGW6, {kColumnHeaderGW6, User("EARLIER")}, Rows(kMB, 0, 0)})));
    RunExpireReportOnly(state);
    ASSERT_EQ(LastLog(state).expires.Count(), 1u);
    for (const BadFigureCase& c : BadFigureCases()) {
        SCOPED_TRACE(c.name);
        WriteFile(path_, CrLf(Join({kHeaderGW6, {kColumnHeaderGW6}, c.body})));
        EXPECT_THROW(RunExpireReportOnly(state), KestramaError);
        EXPECT_EQ(LastLog(state).expires.Count(), 1u);
        EXPECT_EQ(LastLog(state).expires.Get(1).field[0], "EARLIER");
    }
}

TEST_F(ExpireReader, OverlongLinesAreCappedNotSplit) {
    // Past the cap the line looks like a user line; read whole or split, it would count one.
    const std::string longLine = std::string(70000, 'x') + " (a / 1) () ([])";
    const std::vector<Fields> records =
        ReadLines(Join({kHeaderGW6,
                        {kColumnHeaderGW6, User("AMORGAN"), longLine},
                        Rows(kMB, 0, 0),
                        {longLine, User("BCHEN")},
                        Rows(2 * kMB, 0, 0)}));
    EXPECT_EQ(records, (std::vector<Fields>{{"AMORGAN", "AMORGAN", "1", "0", "0", "", ""},
                                            {"BCHEN", "BCHEN", "2", "0", "0", "", "AMORGAN"}}));
}

TEST_F(ExpireReader, MalformedBytesDoNotBreakTheRead) {
    std::string log =
        CrLf(Join({kHeaderGW6, {kColumnHeaderGW6, User("AMORGAN")}, Rows(kMB, 0, 0)}));
    log += std::string("\0\xFF\x80\r\r(/)\0()", 11) + std::string(100000, '\0');  // no line end
    const std::vector<Fields> records = Read(log);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0], (Fields{"AMORGAN", "AMORGAN", "1", "0", "0", "", ""}));
}

TEST_F(ExpireReader, NewReadForgetsTheLastLogsRecords) {
    AppState state;
    PrepareBatchState(state, path_, dir_ / "report");
    WriteFile(path_, CrLf(Join({kHeaderGW6,
                                {kColumnHeaderGW6, User("AMORGAN")},
                                Rows(kMB, 0, 0),
                                {User("BCHEN")},
                                Rows(kMB, 0, 0),
                                {User("CDIAZ")},
                                Rows(kMB, 0, 0)})));
    RunExpireReportOnly(state);
    ASSERT_EQ(LastLog(state).expires.Count(), 3u);
    WriteFile(path_, CrLf(Join({kHeaderGW6,
                                {kColumnHeaderGW6, User("DEVANS")},
                                Rows(2 * kMB, 0, 0),
                                {User("EFOX"), User("FGRAY")}})));
    RunExpireReportOnly(state);
    EXPECT_EQ(ExpireRecords(state),
              (std::vector<Fields>{{"DEVANS", "DEVANS", "2", "0", "0", "", ""}, kEmpty, kEmpty}));
}

// ---------------------------------------------------------------------------------------------
// Expire runs

std::vector<std::string> ReportLines(const std::string& path) {
    std::vector<std::string> lines;
    const std::string bytes = ReadFile(path);
    std::size_t start = 0;
    for (std::size_t lf; (lf = bytes.find("\r\n", start)) != std::string::npos; start = lf + 2)
        lines.push_back(bytes.substr(start, lf - start));
    return lines;
}

// The text of a General Information row's value cell.
std::string InfoValue(const std::vector<std::string>& lines, const std::string& label) {
    const std::string labelLine = "<td valign=3D\"top\" width=3D\"40%\">" + label + "<br>";
    for (std::size_t i = 0; i + 2 < lines.size(); ++i)
        if (lines[i] == labelLine)
            return lines[i + 2].substr(lines[i + 2].find('>') + 1);
    ADD_FAILURE() << "no row " << label;
    return {};
}

// The report's table rows, each cell as `ALIGN">text`.
std::vector<std::vector<std::string>> TableRows(const std::vector<std::string>& lines) {
    const std::string open = "<td valign=3D\"top\" align=3D\"", close = "<br> </td>";
    std::vector<std::vector<std::string>> rows;
    bool inTable = false;
    for (const std::string& line : lines) {
        if (line == "</tbody> </table>")
            break;
        if (line == "</tr>" && !inTable)
            inTable = true;  // the end of the header row
        if (!inTable)
            continue;
        if (line == "<tr>")
            rows.emplace_back();
        else if (line.rfind(open, 0) == 0)
            rows.back().push_back(
                line.substr(open.size(), line.size() - open.size() - close.size()));
    }
    return rows;
}

class ExpireRun : public ::testing::Test {
  protected:
    void Prepare(const std::string& input) {
        PrepareBatchState(state_, input, base_);
        for (auto& slot : state_.settings.columns)
            slot.html = false;
        state_.settings.columns[0] = {"0", true, true};
        state_.settings.columns[1] = {"2", true, true};
    }

    TempDir dir_;
    std::string base_ = dir_ / "report";
    AppState state_;
};

TEST_F(ExpireRun, GeneralInformationComesFromThisLog) {
    // A mailbox run first: its sizes must not show in the expire report that follows.
    Prepare(std::string(KESTRAMA_SAMPLES) + "/english-gw652.log");
    ASSERT_EQ(RunProcessing(state_), RunOutcome::ReportsWritten);
    ASSERT_FALSE(LastLog(state_).summary.totalSize.empty());

    state_.settings.InputPath = std::string(KESTRAMA_SAMPLES) + "/english-gw652-expire.log";
    ASSERT_EQ(RunProcessing(state_), RunOutcome::ReportsWritten);
    const std::vector<std::string> lines = ReportLines(base_ + ".mht");
    EXPECT_EQ(InfoValue(lines, "Novell Groupwise Version"), "6.5.2<br>");
    EXPECT_EQ(InfoValue(lines, "Processed on"), "Thursday, June 9, 2005 - 4:00 am<br>");
    EXPECT_EQ(InfoValue(lines, "Post Office Name"), "Harbour<br>");
    EXPECT_EQ(InfoValue(lines, "Post Office Path"), "FS1\\MAIL:\\grpwise\\harbour<br>");
    EXPECT_EQ(InfoValue(lines, "Number of mailboxes counted"), "3<br>");
    for (const std::string label : {"Largest Mailbox", "Average Mailbox", "Total Mailbox Size"})
        EXPECT_EQ(InfoValue(lines, label), " MB<br>") << label;
    EXPECT_EQ(TableRows(lines),
              (std::vector<std::vector<std::string>>{{"LEFT\">AMORGAN", "RIGHT\">150"},
                                                     {"LEFT\">BCHEN", "RIGHT\">450"},
                                                     {"LEFT\">EFISCHER", "RIGHT\">0"}}));
}

TEST_F(ExpireRun, IndexesNeverStoredShowAsEmptyRows) {
    WriteFile(dir_ / "expire.log", CrLf(Join({kHeaderGW6,
                                              {kColumnHeaderGW6, User("AMORGAN")},
                                              Rows(kMB, 0, 0),
                                              {User("BCHEN"), User("CDIAZ")}})));
    Prepare(dir_ / "expire.log");
    ASSERT_EQ(RunProcessing(state_), RunOutcome::ReportsWritten);
    const std::vector<std::string> lines = ReportLines(base_ + ".mht");
    EXPECT_EQ(InfoValue(lines, "Number of mailboxes counted"), "3<br>");
    EXPECT_EQ(
        TableRows(lines),
        (std::vector<std::vector<std::string>>{
            {"LEFT\">AMORGAN", "RIGHT\">1"}, {"LEFT\">", "RIGHT\">"}, {"LEFT\">", "RIGHT\">"}}));
}

// A log whose header shows both kinds of statistics: three mailbox blocks, then the expire
// table of the same users.
std::vector<std::string> BothStatisticsLog(const std::string& badRow = {}) {
    std::vector<std::string> lines = {
        "Novell GroupWise - GWCHKSRV - Version 6.5.2",
        "  Processed on Thursday, June 9, 2005 - 4:00 am",
        "Processing information for this run:",
        "  Path to PO   = FS1\\MAIL:\\grpwise\\harbour",
        "    Post Office= Harbour",
        "  Statistics   = Yes",
        "    Age Limit  = 90 days",
        "*** Processing post office 'Harbour.Coast' located at 'FS1\\MAIL:\\grpwise\\harbour' ***",
        "",
    };
    const std::vector<std::pair<std::string, int>> users = {
        {"AMORGAN", 100}, {"BCHEN", 900}, {"CDIAZ", 600}};
    for (const auto& [name, mb] : users) {
        lines.push_back("  Checking user = " + name + "     (a1x)   1 bytes (" + name + " [])");
        lines.push_back("  User stats:  12 InBox, 3 OutBox, 7 WasteBasket");
        lines.push_back("      " + std::to_string(mb * 1024) + " kbytes in use by user's mail");
    }
    lines.push_back(kColumnHeaderGW6);
    for (const auto& [name, mb] : users) {
        lines.push_back(User(name));
        const auto rows = Rows(static_cast<long long>(mb) * kMB, 0, kMB);
        lines.insert(lines.end(), rows.begin(), rows.end());
    }
    if (!badRow.empty())
        lines.insert(lines.end() - 2, badRow);
    return lines;
}

TEST_F(ExpireRun, BothStatisticsWriteTheExpireReportWithThisRunsSizesAndRows) {
    WriteFile(dir_ / "both.log", CrLf(BothStatisticsLog()));
    Prepare(dir_ / "both.log");
    state_.settings.TOP = 0;
    state_.settings.TOPVALUE = 500;  // sizes 900 and 600 reach it
    ASSERT_EQ(RunProcessing(state_), RunOutcome::ReportsWritten);
    EXPECT_TRUE(fs::exists(base_ + ".csv"));
    const std::vector<std::string> lines = ReportLines(base_ + ".mht");
    EXPECT_EQ(InfoValue(lines, "Largest Mailbox"), "900 MB<br>");
    EXPECT_EQ(InfoValue(lines, "Average Mailbox"), "533 MB<br>");
    EXPECT_EQ(InfoValue(lines, "Total Mailbox Size"), "1.600 MB<br>");
    EXPECT_EQ(InfoValue(lines, "Number of mailboxes counted"), "3 ,and displayed: 2<br>");
    // The expire table in log order, limited to the rows the mailbox part chose.
    EXPECT_EQ(TableRows(lines),
              (std::vector<std::vector<std::string>>{{"LEFT\">AMORGAN", "RIGHT\">100"},
                                                     {"LEFT\">BCHEN", "RIGHT\">900"}}));
    EXPECT_EQ(state_.settings.TOP, 0u);
}

TEST_F(ExpireRun, BothStatisticsWithFailingExpirePartKeepTheCsvReport) {
    const std::string bad = "MAIL                 12               12              0   (none)";
    WriteFile(dir_ / "both.log", CrLf(BothStatisticsLog(bad)));
    Prepare(dir_ / "both.log");
    EXPECT_THROW(RunProcessing(state_), KestramaError);
    const std::string csv = ReadFile(base_ + ".csv");
    EXPECT_NE(csv.find("BCHEN"), std::string::npos) << csv;

    // In batch mode the error ends the run with exit code 1, the CSV report in place.
    fs::remove(base_ + ".csv");
    const ProcessResult r = RunProcess(
        {Kestrama32(), "/IN:" + (dir_ / "both.log"), "/OUT:" + base_, "/OPTIONS:5130;."});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("is not a valid integer value"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::exists(base_ + ".csv"));
    for (const auto& e : fs::directory_iterator(dir_.path()))
        EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path();
}

}  // namespace
