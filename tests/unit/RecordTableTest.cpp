// The mailbox table: records appended at 1..count, read back as copies, swapped and reordered
// whole.

#include <gtest/gtest.h>

#include "state/AppState.h"
#include "state/Records.h"

using namespace k32;

namespace {

MailboxRecord Named(const std::string& name) {
    MailboxRecord r;
    for (std::size_t f = 0; f < kMailboxFields; ++f)
        r[f] = name + "/" + std::to_string(f);
    return r;
}

std::string NameAt(const LogData& log, std::uint32_t i) {
    return std::string(GetMailboxRecord(log, i).field[kUserName]);
}

}  // namespace

TEST(RecordTable, AppendKeepsLogOrderAndCutsBackToTheNewLength) {
    LogData log;
    for (std::uint32_t i = 1; i <= 3; ++i)
        AppendMailboxRecord(log, Named("u" + std::to_string(i)), i);
    EXPECT_EQ(log.mailboxes.Slots(), 4u);
    for (std::uint32_t i = 1; i <= 3; ++i) {
        const MailboxRecordView v = GetMailboxRecord(log, i);
        for (std::size_t f = 0; f < kMailboxFields; ++f)
            EXPECT_EQ(v.field[f], "u" + std::to_string(i) + "/" + std::to_string(f));
    }
    // A second, shorter run: appending at 1 cuts the table back.
    AppendMailboxRecord(log, Named("new"), 1);
    EXPECT_EQ(log.mailboxes.Slots(), 2u);
    EXPECT_EQ(NameAt(log, 1), "new/0");
}

TEST(RecordTable, SlotsNeverStoredAreEmptyRecords) {
    LogData log;
    AppendMailboxRecord(log, Named("third"), 3);
    for (std::uint32_t i : {0u, 1u, 2u})
        for (std::string_view f : GetMailboxRecord(log, i).field)
            EXPECT_TRUE(f.empty()) << i;
    EXPECT_EQ(NameAt(log, 3), "third/0");

    MailboxRecord empty;
    AppendMailboxRecord(log, empty, 4);
    for (std::string_view f : GetMailboxRecord(log, 4).field)
        EXPECT_TRUE(f.empty());
}

TEST(RecordTable, FieldsKeepTheirFirst255Bytes) {
    LogData log;
    MailboxRecord r;
    r[kFullName] = std::string(300, 'f');
    r[kExceeded] = std::string("\xE9\0\xFF", 3);
    AppendMailboxRecord(log, r, 1);
    EXPECT_EQ(GetMailboxRecord(log, 1).field[kFullName], std::string(255, 'f'));
    EXPECT_EQ(GetMailboxRecord(log, 1).field[kExceeded], std::string("\xE9\0\xFF", 3));
}

TEST(RecordTable, SwapExchangesWholeRecords) {
    LogData log;
    for (std::uint32_t i = 1; i <= 3; ++i)
        AppendMailboxRecord(log, Named("u" + std::to_string(i)), i);
    SwapMailboxRecords(log, 2, 2);
    EXPECT_EQ(NameAt(log, 2), "u2/0");
    SwapMailboxRecords(log, 1, 3);
    EXPECT_EQ(NameAt(log, 1), "u3/0");
    EXPECT_EQ(GetMailboxRecord(log, 1).field[kExceeded], "u3/9");
    EXPECT_EQ(NameAt(log, 3), "u1/0");
    SwapMailboxRecords(log, 1, 3);
    EXPECT_EQ(NameAt(log, 1), "u1/0");
    EXPECT_EQ(NameAt(log, 3), "u3/0");
}

TEST(RecordTable, ManyLongRecordsStayIntact) {
    // Far more bytes than one storage chunk holds; views taken early stay valid.
    LogData log;
    const std::uint32_t n = 20000;
    MailboxRecord r;
    for (std::uint32_t i = 1; i <= n; ++i) {
        for (std::size_t f = 0; f < kMailboxFields; ++f)
            r[f] = std::to_string(i) + ":" +
                   std::string(100 + (i + f) % 150, static_cast<char>('a' + f));
        AppendMailboxRecord(log, r, i);
    }
    const MailboxRecordView first = GetMailboxRecord(log, 1);
    for (std::uint32_t i = n + 1; i <= n + 5000; ++i)
        AppendMailboxRecord(log, r, i);
    EXPECT_EQ(first.field[kUid], "1:" + std::string(100 + 7 % 150, 'g'));
    for (std::uint32_t i = 1; i <= n; i += 997) {
        const MailboxRecordView v = GetMailboxRecord(log, i);
        for (std::size_t f = 0; f < kMailboxFields; ++f)
            ASSERT_EQ(v.field[f], std::to_string(i) + ":" +
                                      std::string(100 + (i + f) % 150, static_cast<char>('a' + f)))
                << i << "/" << f;
    }
}
