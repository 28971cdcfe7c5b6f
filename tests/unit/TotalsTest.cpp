// Largest, average and total mailbox size, and how many mailboxes the reports list.

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "analysis/Totals.h"
#include "state/AppState.h"
#include "text/Errors.h"

using namespace k32;
using namespace k32::test;

namespace {

// Records whose given field holds the values (every other field "0").
void Fill(AppState& state, std::size_t field, const std::vector<std::string>& values) {
    state.log.count = 0;
    for (const std::string& v : values) {
        MailboxRecord r;
        for (Text& t : r)
            t = "0";
        r[field] = v;
        AppendMailboxRecord(state.log, r, ++state.log.count);
    }
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
        AppState state;
        state.settings.DebugMode = 3;
        Fill(state, kSize, c.sizes);
        ComputeTotals(state);
        EXPECT_EQ(state.log.summary.largestSize.str(), c.largest) << c.sizes.size();
        EXPECT_EQ(state.log.summary.averageSize.str(), c.average) << c.sizes.size();
        EXPECT_EQ(state.log.summary.totalSize.str(), c.total) << c.sizes.size();
    }
}

TEST(ComputeTotals, ASizeThatDoesNotConvertLeavesTheSummary) {
    AppState state;
    state.settings.DebugMode = 3;
    state.log.summary.largestSize = "old largest";
    state.log.summary.averageSize = "old average";
    state.log.summary.totalSize = "old total";
    Fill(state, kSize, {"100", "1,5", "3"});
    try {
        ComputeTotals(state);
        FAIL() << "no error";
    } catch (const KestramaError& e) {
        EXPECT_EQ(e.kind, ErrorKind::Conversion);
        EXPECT_STREQ(e.what(), "'1,5' is not a valid integer value");
    }
    EXPECT_EQ(state.log.summary.largestSize.str(), "old largest");
    EXPECT_EQ(state.log.summary.averageSize.str(), "old average");
    EXPECT_EQ(state.log.summary.totalSize.str(), "old total");
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
    AppState state;
    state.settings.DebugMode = 3;
    state.settings.Sort = c.sort;
    state.settings.TOPVALUE = c.above;
    state.settings.TOP = c.top;
    state.reportTopCount = c.top;  // as a run starts it
    // Sort fields 2 to 5 are the record fields 2 to 5; the others hold text.
    Fill(state, c.sort >= 2 && c.sort <= 5 ? std::size_t{c.sort} : std::size_t{kUserName},
         c.values);
    SelectAboveValue(state);
    EXPECT_EQ(state.reportTopCount, c.reportTop);
    EXPECT_EQ(ReportRows(state.reportTopCount, state.log.count), c.rows);
    // The user's setting is never changed by a run.
    EXPECT_EQ(state.settings.TOP, c.top);
    EXPECT_EQ(state.settings.TOPVALUE, c.above);
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
    AppState state;
    state.settings.DebugMode = 3;
    state.settings.Sort = 5;
    state.settings.TOPVALUE = 100;
    state.reportTopCount = 7;
    Fill(state, kSize, {"900", "", "100"});
    EXPECT_THROW(SelectAboveValue(state), KestramaError);
    EXPECT_EQ(state.reportTopCount, 7u);
}

TEST(ReportRows, TopCountWithinTheTableElseEveryRecord) {
    struct Case {
        std::uint32_t top, count, rows;
    };
    const Case cases[] = {{0, 5, 5}, {2, 5, 2}, {5, 5, 5}, {6, 5, 5}, {1, 0, 0}, {0, 0, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(ReportRows(c.top, c.count), c.rows) << c.top << "/" << c.count;
}
