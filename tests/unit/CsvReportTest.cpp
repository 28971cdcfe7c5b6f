// The CSV report (summary line, caption line, one line per listed mailbox) and the result
// grid's data.

#include <gtest/gtest.h>

#include <filesystem>

#include "TestSupport.h"
#include "analysis/Totals.h"
#include "app/RunProcessing.h"
#include "report/Columns.h"
#include "report/CsvReport.h"
#include "report/ResultGrid.h"
#include "text/Errors.h"

using namespace k32;
using namespace k32::test;
namespace fs = std::filesystem;

namespace {

const std::string kAllCaptions =
    "Username;Fullname;Size (MB);Inbox;Outbox;Wastebin;Sizelimit (MB);Threshold;Exceeded;UID";

// Mailbox n: user name "user<n>", full name "Name <n>", counts n, 2n, 3n, size 10n, UID "u<n>",
// limit 100, threshold "75%", exceeded "No".
MailboxRecord Mailbox(int n) {
    const std::string s = std::to_string(n);
    return {Text("user" + s),
            Text("Name " + s),
            Text(s),
            Text(std::to_string(2 * n)),
            Text(std::to_string(3 * n)),
            Text(std::to_string(10 * n)),
            Text("u" + s),
            Text("100"),
            Text("75%"),
            Text("No")};
}

// The line of mailbox n with every slot in its default place.
std::string AllColumns(int n) {
    const std::string s = std::to_string(n);
    return "user" + s + ";Name " + s + ";" + std::to_string(10 * n) + ";" + s + ";" +
           std::to_string(2 * n) + ";" + std::to_string(3 * n) + ";100;75%;No;u" + s;
}

class CsvReport : public ::testing::Test {
  protected:
    CsvReport() {
        SetDefaultSettings(state_.settings);
        state_.settings.DebugMode = 3;
        state_.WindowMode = false;
        state_.log.summary.postOfficeName = "PO1";
        state_.log.summary.versionText = "V";
        state_.log.summary.processedOn = "D";
        state_.log.summary.CsvReportPath = path_;
    }
    void AddMailboxes(int n) {
        for (int i = 1; i <= n; ++i)
            Add(Mailbox(i));
    }
    void Add(const MailboxRecord& r) { state_.log.mailboxes.Append(r); }
    // What a run hands the writer.
    MailboxReportData Data() const {
        return {state_.log.mailboxes, state_.log.summary, state_.settings,
                ReportRows(state_.reportTopCount, state_.log.mailboxes.Count())};
    }
    std::vector<std::string> Write() {
        RunContext ctx = ContextOf(state_);
        WriteCsvReport(ctx, Data());
        return SplitCrLf(ReadFile(path_));
    }
    // Both reports rewritten from the window by the run controller, which then fills the
    // window's grid. The sort field is out of range, so the records keep their order.
    std::vector<std::string> Rewrite() {
        state_.WindowMode = true;
        state_.settings.Sort = 7;
        state_.log.summary.MhtReportPath = dir_ / "report.mht";
        state_.log.summary.OutputFolder = dir_.path();
        ReSortAndRewrite(state_);
        return SplitCrLf(ReadFile(path_));
    }
    std::string GridCell(std::uint32_t row, std::uint32_t column) const {
        return ResultGridCell(state_.log.mailboxes, state_.grid, row, column);
    }
    std::string Summary(std::string_view count) const {
        return "POA: ;PO1;Groupwise Version: ;V;Processed on: ;D;# Mailboxes: ;" +
               std::string(count);
    }

    TempDir dir_;
    std::string path_ = dir_ / "report.csv";
    AppState state_;
};

}  // namespace

TEST_F(CsvReport, HeaderPlacement) {
    AddMailboxes(3);
    EXPECT_EQ(Write(), (std::vector<std::string>{Summary("3"), kAllCaptions, AllColumns(1),
                                                 AllColumns(2), AllColumns(3)}));
}

TEST_F(CsvReport, FooterPlacement) {
    AddMailboxes(2);
    state_.settings.CSVHeader = "Footer";
    EXPECT_EQ(Write(),
              (std::vector<std::string>{AllColumns(1), AllColumns(2), Summary("2"), kAllCaptions}));
}

TEST_F(CsvReport, OtherPlacementsWriteOnlyTheDataLines) {
    AddMailboxes(2);
    for (const char* placement : {"Disabled", "", "header", "Footer "}) {
        state_.settings.CSVHeader = placement;
        EXPECT_EQ(Write(), (std::vector<std::string>{AllColumns(1), AllColumns(2)})) << placement;
    }
}

TEST_F(CsvReport, NoCsvSlotGivesEmptyLines) {
    AddMailboxes(2);
    for (auto& slot : state_.settings.columns)
        slot.csv = false;
    EXPECT_EQ(Write(), (std::vector<std::string>{Summary("2"), "", "", ""}));
}

TEST_F(CsvReport, SlotsInTheirOrderAndRepeated) {
    AddMailboxes(1);
    auto& c = state_.settings.columns;
    for (auto& slot : c)
        slot.csv = false;
    c[0] = {"9", false, true};
    c[3] = {"2", true, true};
    c[6] = {"2", false, true};
    c[9] = {"0", true, true};
    EXPECT_EQ(Write(), (std::vector<std::string>{Summary("1"), "UID;Size (MB);Size (MB);Username",
                                                 "u1;10;10;user1"}));
}

TEST_F(CsvReport, TopCountLimitsTheDataLinesOnly) {
    AddMailboxes(5);
    state_.reportTopCount = 2;
    EXPECT_EQ(Write(),
              (std::vector<std::string>{Summary("5"), kAllCaptions, AllColumns(1), AllColumns(2)}));
    // The grid lists every mailbox.
    EXPECT_EQ(Rewrite().size(), 4u);
    EXPECT_EQ(GridCell(5, 1), "user5");

    for (std::uint32_t top : {0u, 5u, 6u}) {
        state_.reportTopCount = top;
        EXPECT_EQ(Write().size(), 7u) << top;
    }
}

TEST_F(CsvReport, EmptyTable) {
    EXPECT_EQ(Write(), (std::vector<std::string>{Summary("0"), kAllCaptions}));
    EXPECT_EQ(Rewrite(), (std::vector<std::string>{Summary("0"), kAllCaptions}));
    EXPECT_EQ(ResultGridRowCount(state_.log.mailboxes), 10u);
    for (std::uint32_t col = 0; col < 11; ++col)
        EXPECT_EQ(GridCell(1, col), "0") << col;
}

TEST_F(CsvReport, CommaSeparatorQuotesValuesThatHoldIt) {
    MailboxRecord r = Mailbox(1);
    r[kFullName] = "Smith, John";
    Add(r);
    state_.settings.CSVSeperator = ",";
    EXPECT_EQ(Write(), (std::vector<std::string>{
                           "POA: ,PO1,Groupwise Version: ,V,Processed on: ,D,# Mailboxes: ,1",
                           "Username,Fullname,Size (MB),Inbox,Outbox,Wastebin,Sizelimit (MB),"
                           "Threshold,Exceeded,UID",
                           "user1,\"Smith, John\",10,1,2,3,100,75%,No,u1"}));
}

TEST_F(CsvReport, QuotesAndLineBreaksAreQuoted) {
    struct Case {
        std::string value, separator, field;
    };
    const Case cases[] = {
        {"say \"hi\"", ";", "\"say \"\"hi\"\"\""},
        {"a\rb", ";", "\"a\rb\""},
        {"a\nb", ";", "\"a\nb\""},
        {"a;b", ";", "\"a;b\""},
        {"a;b", ",", "a;b"},
        {"M\xFCller", ";", "M\xFCller"},
        {"", ";", ""},
        {"a::b", "::", "\"a::b\""},
        {"a:b", "::", "a:b"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CsvField(c.value, c.separator), c.field) << c.value;
}

TEST_F(CsvReport, SummaryLabelsAreQuotedWhenTheyHoldTheSeparator) {
    state_.settings.CSVSeperator = ":";
    state_.log.summary.processedOn = "Monday, 2:00 am";
    EXPECT_EQ(Write().front(),
              "\"POA: \":PO1:\"Groupwise Version: \":V:\"Processed on: \":\"Monday, 2:00 am\":"
              "\"# Mailboxes: \":0");
}

TEST_F(CsvReport, LinesAreCutTo255BytesAfterQuoting) {
    MailboxRecord r = Mailbox(1);
    r[kUserName] = std::string(200, 'u');
    r[kFullName] = std::string(100, 'f') + ";";
    Add(r);
    state_.log.summary.postOfficeName = std::string(255, 'p');
    for (auto& slot : state_.settings.columns)
        slot.csv = false;
    state_.settings.columns[0].csv = true;
    state_.settings.columns[1].csv = true;
    const std::vector<std::string> lines = Write();
    ASSERT_EQ(lines.size(), 3u);
    // The summary line is not cut.
    EXPECT_EQ(lines[0], "POA: ;" + std::string(255, 'p') +
                            ";Groupwise Version: ;V;Processed on: ;D;# Mailboxes: ;1");
    // The cut falls inside the quoted full name: the value is closed rather than left open.
    EXPECT_EQ(lines[2], std::string(200, 'u') + ";\"" + std::string(52, 'f') + "\"");
}

TEST(CsvCut, ACutLineStillReadsAsWholeValues) {
    const std::string a250 = std::string(250, 'a');
    const std::string a253 = std::string(253, 'a');
    struct Case {
        const char* name;
        std::string line, separator, cut;
    };
    const Case cases[] = {
        {"short line unchanged", "a;\"b;c", ";", "a;\"b;c"},
        {"255 bytes unchanged", a253 + ";\"", ";", a253 + ";\""},
        {"cut outside quotes", std::string(300, 'a'), ";", std::string(255, 'a')},
        {"cut inside a quoted value", a250 + ";\"bcdefg\"", ";", a250 + ";\"bc\""},
        {"cut right after the closing quote", a250 + ";\"bc\";more", ";", a250 + ";\"bc\""},
        {"cut after a doubled quote", a250 + ";\"b\"\"c\"", ";", a250 + ";\"b\""},
        {"cut inside a doubled quote", a250 + ";\"bc\"\"d\"", ";", a250 + ";\"bc\""},
        {"cut on the opening quote", a253 + ";\"bcd\"", ";", a253 + ";"},
        {"two-byte separator", a250 + "::\"x::y\"", "::", a250 + "::\"x\""},
        {"separator inside the quoted value", a250 + ";\"b;;;;;;\"", ";", a250 + ";\"b;\""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CutCsvLine(c.line, c.separator), c.cut) << c.name;
}

TEST_F(CsvReport, UnknownColumnCodeKeepsItsPlace) {
    AddMailboxes(1);
    state_.settings.columns[1].ColumnFieldCode = "x";
    state_.settings.columns[4].ColumnFieldCode = "";
    state_.settings.columns[5].ColumnFieldCode = "10";
    EXPECT_EQ(Write(),
              (std::vector<std::string>{
                  Summary("1"), "Username;;Size (MB);Inbox;;;Sizelimit (MB);Threshold;Exceeded;UID",
                  "user1;;10;1;;;100;75%;No;u1"}));
}

TEST_F(CsvReport, AMissingFolderRaisesAndWritesNothing) {
    AddMailboxes(1);
    state_.log.summary.CsvReportPath = dir_ / "missing/report.csv";
    try {
        RunContext ctx = ContextOf(state_);
        WriteCsvReport(ctx, Data());
        FAIL() << "no error";
    } catch (const KestramaError& e) {
        EXPECT_EQ(e.kind, ErrorKind::InputOutput);
        EXPECT_STREQ(e.what(), "Path not found");
    }
    EXPECT_TRUE(fs::is_empty(dir_.path()));
}

// The grid shows what the reports hold: a run or re-sort whose reports cannot be written
// leaves the grid as it was and neither refreshes it nor shows a report.
TEST(ResultGridAfterAFailedWrite, StaysAsItWas) {
    struct Case {
        const char* name;
        void (*step)(AppState&);
    };
    const Case cases[] = {{"run", [](AppState& s) { RunProcessing(s); }},
                          {"re-sort", ReSortAndRewrite}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        AppState state;
        PrepareBatchState(state, std::string(KESTRAMA_SAMPLES) + "/english-gw652.log",
                          dir / "report");
        ASSERT_EQ(RunProcessing(state), RunOutcome::ReportsWritten);
        state.grid.filled = true;
        state.grid.widths.fill(77);
        state.WindowMode = true;  // where a finished run shows its report
        int calls = 0;
        state.ui.gridChanged = [&] { ++calls; };
        state.ui.showReport = [&](const std::string&) { ++calls; };
        state.settings.OutputBasePath = dir / "missing/report";
        state.log.summary.CsvReportPath = dir / "missing/report.csv";
        state.log.summary.MhtReportPath = dir / "missing/report.mht";
        try {
            c.step(state);
            ADD_FAILURE() << "no error";
        } catch (const KestramaError& e) {
            EXPECT_EQ(e.kind, ErrorKind::InputOutput);
        }
        EXPECT_TRUE(state.grid.filled);
        for (std::uint16_t width : state.grid.widths)
            EXPECT_EQ(width, 77u);
        EXPECT_EQ(calls, 0);
    }
}

TEST_F(CsvReport, AFailedReplaceLeavesThePreviousReport) {
    // The report's name is taken by a folder: the new report cannot be put in place.
    AddMailboxes(1);
    fs::create_directory(path_);
    WriteFile(path_ + "/keep", "previous");
    RunContext ctx = ContextOf(state_);
    EXPECT_THROW(WriteCsvReport(ctx, Data()), KestramaError);
    EXPECT_EQ(ReadFile(path_ + "/keep"), "previous");
    std::vector<std::string> entries;
    for (const auto& e : fs::directory_iterator(dir_.path()))
        entries.push_back(e.path().filename());
    EXPECT_EQ(entries, std::vector<std::string>{"report.csv"});
}

TEST(ColumnLookups, CaptionsAndFieldsOfTheTenCodes) {
    const MailboxRecord r = {Text("user"), Text("full"), Text("in"),    Text("out"), Text("waste"),
                             Text("size"), Text("uid"),  Text("limit"), Text("thr"), Text("exc")};
    MailboxTable table;
    table.Append(r);
    const MailboxRecordView v = table.Get(1);
    struct Case {
        std::string code, caption, value;
    };
    const Case cases[] = {
        {"0", "Username", "user"},
        {"1", "Fullname", "full"},
        {"2", "Size (MB)", "size"},
        {"3", "Inbox", "in"},
        {"4", "Outbox", "out"},
        {"5", "Wastebin", "waste"},
        {"6", "Sizelimit (MB)", "limit"},
        {"7", "Threshold", "thr"},
        {"8", "Exceeded", "exc"},
        {"9", "UID", "uid"},
        {"x", "", ""},
        {"", "", ""},
        {"00", "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ColumnCaption(c.code), c.caption) << c.code;
        EXPECT_EQ(ColumnValue(v, c.code), c.value) << c.code;
    }
}

TEST_F(CsvReport, ResultGridListsEveryRecordAndTheColumnWidths) {
    for (int i = 1; i <= 12; ++i) {
        MailboxRecord r = Mailbox(i);
        r[kUserName] = i == 7 ? "abcdefghij" : "abcde";
        r[kFullName] = "  ab  ";
        Add(r);
    }
    state_.reportTopCount = 3;
    int changes = 0;
    state_.ui.gridChanged = [&] { ++changes; };
    Rewrite();
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(ResultGridRowCount(state_.log.mailboxes), 14u);
    EXPECT_EQ(GridCell(0, 0), "Cnt");
    EXPECT_EQ(GridCell(0, 6), "UID");
    EXPECT_EQ(GridCell(0, 7), "SIZE");
    EXPECT_EQ(GridCell(0, 10), "Exceeded");
    // Row r: the number, then the fields with the UID before the size.
    const std::vector<std::string> row12 = {"12",  "abcde", "  ab  ", "12",  "24", "36",
                                            "u12", "120",   "100",    "75%", "No"};
    for (std::uint32_t col = 0; col < 11; ++col)
        EXPECT_EQ(GridCell(12, col), row12[col]);
    // Row 13: each column's width, 8 pixels per character and 10 more; the full name trimmed.
    const std::vector<std::string> widths = {"26", "90", "26", "26", "26", "26",
                                             "34", "34", "34", "34", "26"};
    for (std::uint32_t col = 0; col < 11; ++col)
        EXPECT_EQ(GridCell(13, col), widths[col]) << col;
    EXPECT_EQ(GridCell(14, 0), "");
    EXPECT_EQ(GridCell(1, 11), "");
}

TEST_F(CsvReport, ResultGridWidthOfAFiveCharacterName) {
    Add({Text("abcde"), Text(""), Text(""), Text(""), Text(""), Text(""), Text(""), Text(""),
         Text(""), Text("")});
    Rewrite();
    EXPECT_EQ(GridCell(2, 1), "50");
    EXPECT_EQ(GridCell(2, 0), "18");
    EXPECT_EQ(GridCell(2, 2), "10");
}

TEST_F(CsvReport, ResultGridRowCount) {
    struct Case {
        int records;
        std::uint32_t rows;
    };
    for (const Case& c : {Case{0, 10}, Case{9, 10}, Case{10, 12}, Case{12, 14}}) {
        MailboxTable table;
        for (int i = 1; i <= c.records; ++i)
            table.Append(Mailbox(i));
        EXPECT_EQ(ResultGridRowCount(table), c.rows) << c.records;
    }
}
