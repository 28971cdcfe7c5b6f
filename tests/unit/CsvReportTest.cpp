// The CSV report (summary line, caption line, one line per listed mailbox) and the result
// grid's data.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

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
        SetDefaultSettings(settings_);
        settings_.DebugMode = 3;
        log_.summary.postOfficeName = "PO1";
        log_.summary.versionText = "V";
        log_.summary.processedOn = "D";
        log_.summary.CsvReportPath = path_;
    }
    void AddMailboxes(int n) {
        for (int i = 1; i <= n; ++i)
            Add(Mailbox(i));
    }
    void Add(const MailboxRecord& r) { log_.mailboxes.Append(r); }
    // What a run hands the writer.
    MailboxReportData Data() const {
        return {log_.mailboxes, log_.summary, settings_,
                ReportRows(topCount_, log_.mailboxes.Count())};
    }
    std::vector<std::string> Write() {
        RunContext ctx;
        WriteCsvReport(ctx, Data());
        return SplitCrLf(ReadFile(path_));
    }
    // Both reports rewritten from the window by a Re-sort of the table as a completed run, which
    // also works out the window's grid. The sort field is out of range, so the records keep
    // their order.
    std::vector<std::string> Rewrite() {
        settings_.Sort = 7;
        log_.summary.MhtReportPath = dir_ / "report.mht";
        log_.summary.OutputFolder = dir_.path();
        auto last = std::make_shared<RunResult>();
        last->mailboxRun = true;
        last->topCount = topCount_;
        last->log.summary = log_.summary;
        last->log.mailboxes = log_.mailboxes.Clone();
        RunRequest request = MakeRunRequest(settings_, true);
        request.resortOf = last;
        RunContext ctx;
        ctx.windowMode = true;
        resorted_ = std::make_shared<RunResult>(ReSortAndRewrite(request, ctx));
        return SplitCrLf(ReadFile(path_));
    }
    std::string GridCell(std::uint32_t row, std::uint32_t column) const {
        return ResultGridCell(resorted_->log.mailboxes, resorted_->grid, row, column);
    }
    std::string Summary(std::string_view count) const {
        return "POA: ;PO1;Groupwise Version: ;V;Processed on: ;D;# Mailboxes: ;" +
               std::string(count);
    }

    TempDir dir_;
    std::string path_ = dir_ / "report.csv";
    ReportSettings settings_;
    LogData log_;
    std::uint32_t topCount_ = 0;
    std::shared_ptr<const RunResult> resorted_;
};

}  // namespace

TEST_F(CsvReport, HeaderPlacement) {
    AddMailboxes(3);
    EXPECT_EQ(Write(), (std::vector<std::string>{Summary("3"), kAllCaptions, AllColumns(1),
                                                 AllColumns(2), AllColumns(3)}));
}

TEST_F(CsvReport, FooterPlacement) {
    AddMailboxes(2);
    settings_.CSVHeader = "Footer";
    EXPECT_EQ(Write(),
              (std::vector<std::string>{AllColumns(1), AllColumns(2), Summary("2"), kAllCaptions}));
}

TEST_F(CsvReport, OtherPlacementsWriteOnlyTheDataLines) {
    AddMailboxes(2);
    for (const char* placement : {"Disabled", "", "header", "Footer "}) {
        settings_.CSVHeader = placement;
        EXPECT_EQ(Write(), (std::vector<std::string>{AllColumns(1), AllColumns(2)})) << placement;
    }
}

TEST_F(CsvReport, NoCsvSlotGivesEmptyLines) {
    AddMailboxes(2);
    for (auto& slot : settings_.columns)
        slot.csv = false;
    EXPECT_EQ(Write(), (std::vector<std::string>{Summary("2"), "", "", ""}));
}

TEST_F(CsvReport, SlotsInTheirOrderAndRepeated) {
    AddMailboxes(1);
    auto& c = settings_.columns;
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
    topCount_ = 2;
    EXPECT_EQ(Write(),
              (std::vector<std::string>{Summary("5"), kAllCaptions, AllColumns(1), AllColumns(2)}));
    // The grid lists every mailbox.
    EXPECT_EQ(Rewrite().size(), 4u);
    EXPECT_EQ(GridCell(5, 1), "user5");

    for (std::uint32_t top : {0u, 5u, 6u}) {
        topCount_ = top;
        EXPECT_EQ(Write().size(), 7u) << top;
    }
}

TEST_F(CsvReport, EmptyTable) {
    EXPECT_EQ(Write(), (std::vector<std::string>{Summary("0"), kAllCaptions}));
    EXPECT_EQ(Rewrite(), (std::vector<std::string>{Summary("0"), kAllCaptions}));
    EXPECT_EQ(ResultGridRowCount(log_.mailboxes), 10u);
    for (std::uint32_t col = 0; col < 11; ++col)
        EXPECT_EQ(GridCell(1, col), "0") << col;
}

TEST_F(CsvReport, CommaSeparatorQuotesValuesThatHoldIt) {
    MailboxRecord r = Mailbox(1);
    r[kFullName] = "Smith, John";
    Add(r);
    settings_.CSVSeperator = ",";
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
    settings_.CSVSeperator = ":";
    log_.summary.processedOn = "Monday, 2:00 am";
    EXPECT_EQ(Write().front(),
              "\"POA: \":PO1:\"Groupwise Version: \":V:\"Processed on: \":\"Monday, 2:00 am\":"
              "\"# Mailboxes: \":0");
}

TEST_F(CsvReport, LinesAreCutTo255BytesAfterQuoting) {
    MailboxRecord r = Mailbox(1);
    r[kUserName] = std::string(200, 'u');
    r[kFullName] = std::string(100, 'f') + ";";
    Add(r);
    log_.summary.postOfficeName = std::string(255, 'p');
    for (auto& slot : settings_.columns)
        slot.csv = false;
    settings_.columns[0].csv = true;
    settings_.columns[1].csv = true;
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
    settings_.columns[1].ColumnFieldCode = "x";
    settings_.columns[4].ColumnFieldCode = "";
    settings_.columns[5].ColumnFieldCode = "10";
    EXPECT_EQ(Write(),
              (std::vector<std::string>{
                  Summary("1"), "Username;;Size (MB);Inbox;;;Sizelimit (MB);Threshold;Exceeded;UID",
                  "user1;;10;1;;;100;75%;No;u1"}));
}

TEST_F(CsvReport, AMissingFolderRaisesAndWritesNothing) {
    AddMailboxes(1);
    log_.summary.CsvReportPath = dir_ / "missing/report.csv";
    try {
        RunContext ctx;
        WriteCsvReport(ctx, Data());
        FAIL() << "no error";
    } catch (const KestramaError& e) {
        EXPECT_EQ(e.kind, ErrorKind::InputOutput);
        EXPECT_STREQ(e.what(), "Path not found");
    }
    EXPECT_TRUE(fs::is_empty(dir_.path()));
}

// The grid shows what the reports hold: a run or re-sort whose reports cannot be written
// raises its error and leaves the last completed run, which the window shows, as it was: its
// table in its order, its grid widths.
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
        state.WindowMode = true;  // where a finished run fills the grid
        ASSERT_EQ(RunProcessing(state), RunOutcome::ReportsWritten);
        const std::shared_ptr<const RunResult> shown = state.lastRun;
        const auto records = MailboxRecords(state);
        const ResultGridData grid = shown->grid;
        ASSERT_TRUE(grid.filled);
        // The reports can no longer be written where the run's paths point.
        auto moved = std::make_shared<RunResult>();
        moved->mailboxRun = true;
        moved->topCount = shown->topCount;
        moved->log.summary = shown->log.summary;
        moved->log.summary.CsvReportPath = dir / "missing/report.csv";
        moved->log.summary.MhtReportPath = dir / "missing/report.mht";
        moved->log.mailboxes = shown->log.mailboxes.Clone();
        moved->grid = grid;
        state.lastRun = moved;
        state.settings.OutputBasePath = dir / "missing/report";
        state.settings.Sort = 0;  // another order than the shown one
        try {
            c.step(state);
            ADD_FAILURE() << "no error";
        } catch (const KestramaError& e) {
            EXPECT_EQ(e.kind, ErrorKind::InputOutput);
        }
        EXPECT_EQ(state.lastRun, moved);
        EXPECT_EQ(MailboxRecords(state), records);
        EXPECT_EQ(state.lastRun->grid.widths, grid.widths);
    }
}

TEST_F(CsvReport, ResultGridListsEveryRecordAndTheColumnWidths) {
    for (int i = 1; i <= 12; ++i) {
        MailboxRecord r = Mailbox(i);
        r[kUserName] = i == 7 ? "abcdefghij" : "abcde";
        r[kFullName] = "  ab  ";
        Add(r);
    }
    topCount_ = 3;
    Rewrite();
    EXPECT_TRUE(resorted_->grid.filled);
    EXPECT_EQ(ResultGridRowCount(resorted_->log.mailboxes), 14u);
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
