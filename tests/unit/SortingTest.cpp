// Sorting the mailbox table by one of seven fields, ascending or descending.

#include <gtest/gtest.h>

#include <array>
#include <random>

#include "TestSupport.h"
#include "analysis/Sorting.h"
#include "text/Convert.h"
#include "text/Errors.h"
#include "text/TextHelpers.h"

using namespace k32;
using namespace k32::test;

namespace {

// The record field each sort field orders by.
constexpr std::array<std::size_t, 7> kSortField = {kUserName,    kFullName, kInbox, kOutbox,
                                                   kWastebasket, kSize,     kUid};

// Records whose sort field holds the given values; the threshold field holds a tag ("t0",
// "t1", ...) that tells the records apart.
void Fill(MailboxTable& table, std::size_t field, const std::vector<std::string>& values) {
    table.Clear();
    for (std::size_t i = 0; i < values.size(); ++i) {
        MailboxRecord r;
        for (Text& t : r)
            t = "0";
        r[field] = values[i];
        r[kThreshold] = "t" + std::to_string(i);
        table.Append(r);
    }
}

std::vector<std::string> Column(const MailboxTable& table, std::size_t field) {
    std::vector<std::string> out;
    for (std::uint32_t i = 1; i <= table.Count(); ++i)
        out.emplace_back(table.Get(i).field[field]);
    return out;
}

struct SortCase {
    const char* name;
    std::uint8_t field, direction;
    std::vector<std::string> values, sorted;
};

class SortOrder : public ::testing::TestWithParam<SortCase> {};

TEST_P(SortOrder, PutsTheValuesInOrder) {
    const SortCase& c = GetParam();
    RunContext ctx;
    MailboxTable table;
    const std::size_t field = c.field <= 6 ? kSortField[c.field] : kUserName;
    Fill(table, field, c.values);
    SortMailboxes(ctx, table, c.field, c.direction);
    EXPECT_EQ(Column(table, field), c.sorted);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SortOrder,
    ::testing::Values(
        // The letter B is below the underscore.
        SortCase{"UnderscoreAfterLetters", 0, 0, {"a_b", "ab"}, {"ab", "a_b"}},
        // Accented capitals and small letters are not folded and stand above ASCII.
        SortCase{
            "AccentsAfterAscii", 0, 0, {"\xE4lg", "\xC4lg", "Zeta"}, {"Zeta", "\xC4lg", "\xE4lg"}},
        SortCase{
            "AccentsDescending", 0, 1, {"\xC4lg", "Zeta", "\xE4lg"}, {"\xE4lg", "\xC4lg", "Zeta"}},
        SortCase{"ShorterPrefixFirst", 0, 0, {"abc", "AB", "a"}, {"a", "AB", "abc"}},
        SortCase{"CaseBlindNames", 1, 0, {"bob", "Alice", "carl"}, {"Alice", "bob", "carl"}},
        SortCase{"UidDescending", 6, 1, {"a1x", "C3z", "b2y"}, {"C3z", "b2y", "a1x"}},
        SortCase{"NumbersNotText", 2, 0, {"10", "9", "100"}, {"9", "10", "100"}},
        SortCase{"OutboxDescending", 3, 1, {"3", "30", "12"}, {"30", "12", "3"}},
        SortCase{"WastebinAscending", 4, 0, {"7", "0", "2"}, {"0", "2", "7"}},
        // A negative figure compares as greater than every real one.
        SortCase{"MissingSizeLastAscending", 5, 0, {"-1", "0", "250"}, {"0", "250", "-1"}},
        SortCase{"MissingSizeFirstDescending", 5, 1, {"0", "-1", "250"}, {"-1", "250", "0"}},
        SortCase{"SignedFigures", 5, 0, {"+5", "-2", "4", "-1"}, {"4", "+5", "-2", "-1"}},
        SortCase{"EmptyTable", 5, 1, {}, {}}, SortCase{"OneRecord", 0, 0, {"only"}, {"only"}},
        SortCase{"AlreadySorted", 5, 1, {"900", "600", "5"}, {"900", "600", "5"}},
        // Out of range: the table stays as it is.
        SortCase{"FieldAboveSix", 7, 0, {"b", "a"}, {"b", "a"}},
        SortCase{"DirectionAboveOne", 0, 2, {"b", "a"}, {"b", "a"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SortStability, EqualKeysKeepTheirOrderInBothDirections) {
    for (std::uint8_t direction : {0, 1}) {
        RunContext ctx;
        MailboxTable table;
        Fill(table, kSize, {"5", "7", "5", "005", "7"});
        SortMailboxes(ctx, table, 5, direction);
        const std::vector<std::string> ascending = {"t0", "t2", "t3", "t1", "t4"};
        const std::vector<std::string> descending = {"t1", "t4", "t0", "t2", "t3"};
        EXPECT_EQ(Column(table, kThreshold), direction == 0 ? ascending : descending);

        Fill(table, kUserName, {"abc", "ABC", "Abc"});
        SortMailboxes(ctx, table, 0, direction);
        EXPECT_EQ(Column(table, kThreshold), (std::vector<std::string>{"t0", "t1", "t2"}));
    }
}

TEST(SortErrors, AFigureThatDoesNotConvertMovesNothing) {
    RunContext ctx;
    MailboxTable table;
    Fill(table, kSize, {"30", "10", "", "20"});
    try {
        SortMailboxes(ctx, table, 5, 0);
        FAIL() << "no error";
    } catch (const KestramaError& e) {
        EXPECT_EQ(e.kind, ErrorKind::Conversion);
        EXPECT_STREQ(e.what(), "'' is not a valid integer value");
    }
    EXPECT_EQ(Column(table, kSize), (std::vector<std::string>{"30", "10", "", "20"}));

    Fill(table, kInbox, {"2", "1,5"});
    EXPECT_THROW(SortMailboxes(ctx, table, 2, 1), KestramaError);
    EXPECT_EQ(Column(table, kInbox), (std::vector<std::string>{"2", "1,5"}));

    // A lone record is never compared, so its figure is never converted.
    Fill(table, kSize, {"n/a"});
    EXPECT_NO_THROW(SortMailboxes(ctx, table, 5, 0));
    // Text fields are not converted, and out-of-range sorts look at nothing.
    Fill(table, kSize, {"x", "y"});
    EXPECT_NO_THROW(SortMailboxes(ctx, table, 0, 0));
    EXPECT_NO_THROW(SortMailboxes(ctx, table, 5, 2));
    EXPECT_NO_THROW(SortMailboxes(ctx, table, 9, 0));
}

TEST(SortLog, WritesTheSettingsAndTheFieldCaption) {
    struct Case {
        std::uint8_t field, direction;
        std::vector<std::string> lines;  // after the time stamp
    };
    auto debug = [](std::string_view caption, std::string_view value) {
        return "DEBUG ; " + PadRight(caption, 30).str() + ": " + std::string(value);
    };
    const Case cases[] = {
        {2, 1, {debug("Sorting", "2, 1"), "Sorting.", debug("Sorting by Inbox", "Desscending")}},
        {3, 1, {debug("Sorting", "3, 1"), "Sorting.", debug("Sorting by Outbox", "Descending")}},
        {6, 0, {debug("Sorting", "6, 0"), "Sorting.", debug("Sorting by UID", "Ascending")}},
        {7, 0, {debug("Sorting", "7, 0"), "Sorting."}},
    };
    for (const Case& c : cases) {
        ContextCapture log(2);
        MailboxTable empty;
        SortMailboxes(log.ctx, empty, c.field, c.direction);
        EXPECT_EQ(log.lines, c.lines);
    }
}

// The order is that of the plain pairwise sort: n passes over neighbours, swapping those out
// of order, numbers compared as unsigned 32-bit values, text as upper-cased unsigned bytes.
std::vector<std::string> PairwiseSortTags(std::vector<std::pair<std::string, std::string>> records,
                                          std::uint8_t field, std::uint8_t direction) {
    const bool number = field >= 2 && field <= 5;
    auto greater = [&](const std::string& a, const std::string& b) {
        if (number)
            return static_cast<std::uint32_t>(StrToInt32(a)) >
                   static_cast<std::uint32_t>(StrToInt32(b));
        return UpperCaseText(a).view() > UpperCaseText(b).view();
    };
    const std::size_t n = records.size();
    for (std::size_t pass = 0; pass < n; ++pass)
        for (std::size_t i = 0; i + 1 < n; ++i) {
            const auto& a = records[i].first;
            const auto& b = records[i + 1].first;
            if (direction == 0 ? greater(a, b) : greater(b, a))
                std::swap(records[i], records[i + 1]);
        }
    std::vector<std::string> tags;
    for (const auto& r : records)
        tags.push_back(r.second);
    return tags;
}

TEST(SortRandomTables, MatchTheOrderOfThePairwiseSort) {
    std::mt19937 rng(4711);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    const std::string letters = "aAbB_z\xE4\xC4 .";
    for (int round = 0; round < 200; ++round) {
        const auto field = static_cast<std::uint8_t>(pick(7));
        const auto direction = static_cast<std::uint8_t>(pick(2));
        const bool number = field >= 2 && field <= 5;
        std::vector<std::string> values;
        const int n = pick(40);
        for (int i = 0; i < n; ++i) {
            std::string v;
            if (number) {
                const int kind = pick(6);
                v = kind == 0   ? "-1"
                    : kind == 1 ? std::to_string(-pick(5))
                    : kind == 2 ? "+" + std::to_string(pick(10))
                    : kind == 3 ? "2147483647"
                                : std::to_string(pick(kind == 4 ? 10 : 1000000));
            } else {
                const int length = pick(5);
                for (int k = 0; k < length; ++k)
                    v += letters[static_cast<std::size_t>(pick(static_cast<int>(letters.size())))];
            }
            values.push_back(v);
        }
        RunContext ctx;
        MailboxTable table;
        Fill(table, kSortField[field], values);
        std::vector<std::pair<std::string, std::string>> reference;
        for (std::size_t i = 0; i < values.size(); ++i)
            reference.push_back({values[i], "t" + std::to_string(i)});

        SortMailboxes(ctx, table, field, direction);
        ASSERT_EQ(Column(table, kThreshold), PairwiseSortTags(reference, field, direction))
            << "round " << round << " field " << int(field) << " direction " << int(direction);
    }
}

}  // namespace
