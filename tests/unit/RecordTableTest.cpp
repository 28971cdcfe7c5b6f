// The mailbox table: records appended at 1..count, read back as copies, swapped and reordered
// whole, and tables read in parts joined in order.

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "state/Records.h"

using namespace k32;
using namespace k32::test;

namespace {

MailboxRecord Named(const std::string& name) {
    MailboxRecord r;
    for (std::size_t f = 0; f < kMailboxFields; ++f)
        r[f] = name + "/" + std::to_string(f);
    return r;
}

std::string NameAt(const MailboxTable& table, std::uint32_t i) {
    return std::string(table.Get(i).field[kUserName]);
}

}  // namespace

TEST(RecordTable, AppendKeepsLogOrderAndCutsBackToTheNewLength) {
    MailboxTable table;
    for (std::uint32_t i = 1; i <= 3; ++i)
        table.Store(Named("u" + std::to_string(i)), i);
    EXPECT_EQ(table.Slots(), 4u);
    for (std::uint32_t i = 1; i <= 3; ++i) {
        const MailboxRecordView v = table.Get(i);
        for (std::size_t f = 0; f < kMailboxFields; ++f)
            EXPECT_EQ(v.field[f], "u" + std::to_string(i) + "/" + std::to_string(f));
    }
    // A second, shorter run: appending at 1 cuts the table back.
    table.Store(Named("new"), 1);
    EXPECT_EQ(table.Slots(), 2u);
    EXPECT_EQ(NameAt(table, 1), "new/0");
}

TEST(RecordTable, SlotsNeverStoredAreEmptyRecords) {
    MailboxTable table;
    table.Store(Named("third"), 3);
    for (std::uint32_t i : {0u, 1u, 2u})
        for (std::string_view f : table.Get(i).field)
            EXPECT_TRUE(f.empty()) << i;
    EXPECT_EQ(NameAt(table, 3), "third/0");

    MailboxRecord empty;
    table.Store(empty, 4);
    for (std::string_view f : table.Get(4).field)
        EXPECT_TRUE(f.empty());
}

TEST(RecordTable, FieldsKeepTheirFirst255Bytes) {
    MailboxTable table;
    MailboxRecord r;
    r[kFullName] = std::string(300, 'f');
    r[kExceeded] = std::string("\xE9\0\xFF", 3);
    table.Store(r, 1);
    EXPECT_EQ(table.Get(1).field[kFullName], std::string(255, 'f'));
    EXPECT_EQ(table.Get(1).field[kExceeded], std::string("\xE9\0\xFF", 3));
}

TEST(RecordTable, SwapExchangesWholeRecords) {
    MailboxTable table;
    for (std::uint32_t i = 1; i <= 3; ++i)
        table.Store(Named("u" + std::to_string(i)), i);
    table.Swap(2, 2);
    EXPECT_EQ(NameAt(table, 2), "u2/0");
    table.Swap(1, 3);
    EXPECT_EQ(NameAt(table, 1), "u3/0");
    EXPECT_EQ(table.Get(1).field[kExceeded], "u3/9");
    EXPECT_EQ(NameAt(table, 3), "u1/0");
    table.Swap(1, 3);
    EXPECT_EQ(NameAt(table, 1), "u1/0");
    EXPECT_EQ(NameAt(table, 3), "u3/0");
}

TEST(RecordTable, ManyLongRecordsStayIntact) {
    // Far more bytes than one storage chunk holds; views taken early stay valid.
    MailboxTable table;
    const std::uint32_t n = 20000;
    MailboxRecord r;
    for (std::uint32_t i = 1; i <= n; ++i) {
        for (std::size_t f = 0; f < kMailboxFields; ++f)
            r[f] = std::to_string(i) + ":" +
                   std::string(100 + (i + f) % 150, static_cast<char>('a' + f));
        table.Store(r, i);
    }
    const MailboxRecordView first = table.Get(1);
    for (std::uint32_t i = n + 1; i <= n + 5000; ++i)
        table.Store(r, i);
    EXPECT_EQ(first.field[kUid], "1:" + std::string(100 + 7 % 150, 'g'));
    for (std::uint32_t i = 1; i <= n; i += 997) {
        const MailboxRecordView v = table.Get(i);
        for (std::size_t f = 0; f < kMailboxFields; ++f)
            ASSERT_EQ(v.field[f], std::to_string(i) + ":" +
                                      std::string(100 + (i + f) % 150, static_cast<char>('a' + f)))
                << i << "/" << f;
    }
}

TEST(RecordTable, AppendStoresBehindTheCountAndCountsTheRecord) {
    MailboxTable table;
    table.Append(Named("a"));
    table.Append(Named("b"));
    EXPECT_EQ(table.Count(), 2u);
    EXPECT_EQ(NameAt(table, 2), "b/0");
    // Behind counted records that were never stored.
    table.SetCount(4);
    table.Append(Named("e"));
    EXPECT_EQ(table.Count(), 5u);
    EXPECT_EQ(NameAt(table, 4), "");
    EXPECT_EQ(NameAt(table, 5), "e/0");
    table.Clear();
    EXPECT_EQ(table.Count(), 0u);
    table.Append(Named("x"));
    EXPECT_EQ(table.Count(), 1u);
    EXPECT_EQ(NameAt(table, 1), "x/0");
}

namespace {

// A table of the named records at 1, 2, ... ("" stores nothing there), then counted as given:
// a count below the records leaves the last ones uncounted, one above them counts records that
// were never stored.
MailboxTable TableOf(const std::vector<std::string>& names, std::uint32_t count) {
    MailboxTable table;
    for (std::size_t i = 0; i < names.size(); ++i)
        if (!names[i].empty())
            table.Store(Named(names[i]), static_cast<std::uint32_t>(i + 1));
    table.SetCount(count);
    return table;
}

std::vector<std::array<std::string, kMailboxFields>> Expected(
    const std::vector<std::string>& names) {
    std::vector<std::array<std::string, kMailboxFields>> records;
    for (const std::string& name : names) {
        std::array<std::string, kMailboxFields> fields{};
        if (!name.empty())
            for (std::size_t f = 0; f < kMailboxFields; ++f)
                fields[f] = Named(name)[f].str();
        records.push_back(fields);
    }
    return records;
}

}  // namespace

TEST(RecordTable, AppendTableJoinsRecordsAndCountsInOrder) {
    struct Case {
        const char* name;
        std::vector<std::string> first;
        std::uint32_t firstCount;
        std::vector<std::string> second;
        std::uint32_t secondCount;
        std::vector<std::string> joined;
    };
    const Case cases[] = {
        {"both full", {"a1", "a2"}, 2, {"b1", "b2", "b3"}, 3, {"a1", "a2", "b1", "b2", "b3"}},
        {"first empty", {}, 0, {"b1", "b2"}, 2, {"b1", "b2"}},
        {"second empty", {"a1"}, 1, {}, 0, {"a1"}},
        {"both empty", {}, 0, {}, 0, {}},
        {"counted but never stored stay empty",
         {"a1"},
         3,
         {"", "b2"},
         3,
         {"a1", "", "", "", "b2", ""}},
        {"records past the first count are dropped",
         {"a1", "a2", "a3"},
         2,
         {"b1"},
         1,
         {"a1", "a2", "b1"}},
        {"records past the second count are not taken", {"a1"}, 1, {"b1", "b2"}, 1, {"a1", "b1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MailboxTable table = TableOf(c.first, c.firstCount);
        MailboxTable second = TableOf(c.second, c.secondCount);
        table.AppendTable(std::move(second));
        EXPECT_EQ(table.Count(), c.joined.size());
        EXPECT_EQ(RecordTexts(table), Expected(c.joined));
        EXPECT_EQ(second.Count(), 0u);
        EXPECT_EQ(second.Slots(), 1u);
        // The joined table takes further records behind the joined ones.
        table.Append(Named("next"));
        EXPECT_EQ(NameAt(table, table.Count()), "next/0");
        EXPECT_EQ(table.Count(), c.joined.size() + 1);
    }
}

TEST(RecordTable, AppendTableOfManyLongRecordsKeepsEveryByte) {
    // Each part holds several storage chunks; three parts are joined as the parts of a log are.
    auto record = [](std::uint32_t n) {
        MailboxRecord r;
        for (std::size_t f = 0; f < kMailboxFields; ++f)
            r[f] = std::to_string(n) + ":" +
                   std::string(150 + (n + f) % 100, static_cast<char>('a' + f));
        return r;
    };
    const std::uint32_t perPart = 1500;
    MailboxTable parts[3];
    for (std::uint32_t p = 0; p < 3; ++p)
        for (std::uint32_t i = 1; i <= perPart; ++i)
            parts[p].Append(record(p * perPart + i));
    MailboxTable table = std::move(parts[0]);
    table.AppendTable(std::move(parts[1]));
    table.AppendTable(std::move(parts[2]));
    table.Append(record(3 * perPart + 1));
    ASSERT_EQ(table.Count(), 3 * perPart + 1);
    for (std::uint32_t n = 1; n <= table.Count(); ++n) {
        const MailboxRecord expected = record(n);
        const MailboxRecordView v = table.Get(n);
        for (std::size_t f = 0; f < kMailboxFields; ++f)
            ASSERT_EQ(v.field[f], expected[f].view()) << n << "/" << f;
    }
}
