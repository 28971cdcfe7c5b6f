// Largest, average and total mailbox size, and how many mailboxes the reports list.

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "analysis/Totals.h"
#include "state/ReportSettings.h"
#include "text/Errors.h"

using namespace k32;
using namespace k32::test;

namespace {

// Records whose given field holds the values (every other field "0").
MailboxTable Filled(std::size_t field, const std::vector<std::string>& values) {
    MailboxTable table;
    for (const std::string& v : values) {
        MailboxRecord r;
        for (Text& t : r)
            t = "0";
        r[field] = v;
        table.Append(r);
    }
    return table;
}

}  // namespace

TEST(ComputeTotals, LargestAverageAndTotal) {
    struct Case {
        std::vector<std::string> sizes;
        std::string largest, average, total;
    };
    const Case cases[] = {
        {{"100", "50", "1"}, "100", "50", "151"},
        // A missing size counts as -1, also in the average.
        {{"10", "-1"}, "10", "4", "9"},
        {{"3", "4"}, "4", "3", "7"},
        {{}, "0", "0", "0"},
        // The largest size starts at 0; the average is cut toward zero.
        {{"-3", "-4"}, "0", "-3", "-7"},
        // Totals are 64-bit.
        {{"3000000000", "3000000001"}, "3000000001", "3000000000", "6000000001"},
    };
    for (const Case& c : cases) {
        RunContext ctx;
        RunSummary summary;
        ComputeTotals(ctx, Filled(kSize, c.sizes), summary);
        EXPECT_EQ(summary.largestSize.str(), c.largest) << c.sizes.size();
        EXPECT_EQ(summary.averageSize.str(), c.average) << c.sizes.size();
        EXPECT_EQ(summary.totalSize.str(), c.total) << c.sizes.size();
    }
}

TEST(ComputeTotals, ASizeThatDoesNotConvertLeavesTheSummary) {
    RunContext ctx;
    RunSummary summary;
    summary.largestSize = "old largest";
    summary.averageSize = "old average";
    summary.totalSize = "old total";
    try {
        ComputeTotals(ctx, Filled(kSize, {"100", "1,5", "3"}), summary);
        FAIL() << "no error";
    } catch (const KestramaError& e) {
        EXPECT_EQ(e.kind, ErrorKind::Conversion);
        EXPECT_STREQ(e.what(), "'1,5' is not a valid integer value");
    }
    EXPECT_EQ(summary.largestSize.str(), "old largest");
    EXPECT_EQ(summary.averageSize.str(), "old average");
    EXPECT_EQ(summary.totalSize.str(), "old total");
}

struct AboveCase {
    const char* name;
    std::uint8_t sort;
    std::uint32_t above, top;
    std::vector<std::string> values;  // the sort field's values, in table order
    std::uint32_t reportTop;          // the run's top count afterwards
    std::uint32_t rows;               // mailboxes the reports list
};

class SelectAbove : public ::testing::TestWithParam<AboveCase> {};

TEST_P(SelectAbove, SetsTheRunsTopCountAndLeavesTheSetting) {
    const AboveCase& c = GetParam();
    RunContext ctx;
    ReportSettings settings;
    SetDefaultSettings(settings);
    settings.Sort = c.sort;
    settings.TOPVALUE = c.above;
    settings.TOP = c.top;
    // Sort fields 2 to 5 are the record fields 2 to 5; the others hold text.
    const MailboxTable table =
        Filled(c.sort >= 2 && c.sort <= 5 ? std::size_t{c.sort} : std::size_t{kUserName}, c.values);
    // A run starts its top count from the setting.
    const std::uint32_t reportTop = SelectAboveValue(ctx, table, settings, c.top);
    EXPECT_EQ(reportTop, c.reportTop);
    EXPECT_EQ(ReportRows(reportTop, table.Count()), c.rows);
    // The user's setting is never changed by a run.
    EXPECT_EQ(settings.TOP, c.top);
    EXPECT_EQ(settings.TOPVALUE, c.above);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SelectAbove,
    ::testing::Values(
        AboveCase{"DescendingSizes", 5, 500, 0, {"900", "600", "500", "400", "100"}, 3, 3},
        AboveCase{"AscendingSizes", 5, 500, 0, {"100", "400", "500", "600", "900"}, 5, 5},
        AboveCase{"NoneReaches", 5, 500, 4, {"400", "100"}, 0, 2},
        AboveCase{"MissingSizeFirstWhenDescending", 5, 500, 0, {"-1", "900", "100"}, 2, 2},
        AboveCase{"ReplacesTheUsersTopCount", 5, 500, 1, {"900", "600", "100"}, 2, 2},
        AboveCase{"InboxField", 2, 10, 0, {"50", "10", "9"}, 2, 2},
        AboveCase{"OutboxField", 3, 10, 0, {"5", "11", "9"}, 2, 2},
        AboveCase{"WastebinField", 4, 1, 0, {"1", "0", "0"}, 1, 1},
        AboveCase{"TextFieldLeavesTheTopCount", 0, 500, 2, {"a", "b", "c", "d", "e"}, 2, 2},
        AboveCase{"UidFieldLeavesTheTopCount", 6, 500, 0, {"a", "b"}, 0, 2},
        AboveCase{"SortFieldAboveSix", 9, 500, 0, {"1000"}, 0, 1},
        AboveCase{"AboveValueOff", 5, 0, 2, {"900", "600", "500", "400", "100"}, 2, 2},
        AboveCase{"EmptyTable", 5, 500, 0, {}, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SelectAboveValue, AValueThatDoesNotConvertLeavesTheTopCount) {
    RunContext ctx;
    ReportSettings settings;
    SetDefaultSettings(settings);
    settings.Sort = 5;
    settings.TOPVALUE = 100;
    std::uint32_t reportTopCount = 7;
    try {
        // As the run controller takes the new count.
        reportTopCount = SelectAboveValue(ctx, Filled(kSize, {"900", "", "100"}), settings, 7);
        FAIL() << "no error";
    } catch (const KestramaError& e) {
        EXPECT_EQ(e.kind, ErrorKind::Conversion);
    }
    EXPECT_EQ(reportTopCount, 7u);
}

TEST(ReportRows, TopCountWithinTheTableElseEveryRecord) {
    struct Case {
        std::uint32_t top, count, rows;
    };
    const Case cases[] = {{0, 5, 5}, {2, 5, 2}, {5, 5, 5}, {6, 5, 5}, {1, 0, 0}, {0, 0, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(ReportRows(c.top, c.count), c.rows) << c.top << "/" << c.count;
}
