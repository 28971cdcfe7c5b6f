#pragma once
// The data one processing run fills and every later step reads: the mailbox and expire tables
// (each with its own record count), the header lines of the log and the run summary.

#include <array>
#include <cstdint>

#include "state/RecordTable.h"
#include "text/EncodingScan.h"
#include "text/Text.h"

namespace k32 {

// Fields of a mailbox record, in record order.
enum MailboxField : std::size_t {
    kUserName = 0,
    kFullName = 1,
    kInbox = 2,
    kOutbox = 3,
    kWastebasket = 4,
    kSize = 5,
    kUid = 6,
    kSizeLimit = 7,
    kThreshold = 8,
    kExceeded = 9,
};

inline constexpr std::size_t kMailboxFields = 10;
inline constexpr std::size_t kExpireFields = 7;

// A record as a reader builds it: owned texts, each cut at 255 bytes.
using MailboxRecord = std::array<Text, kMailboxFields>;
using ExpireRecord = std::array<Text, kExpireFields>;
// A record as the table gives it out: read-only views.
using MailboxRecordView = RecordView<kMailboxFields>;
using ExpireRecordView = RecordView<kExpireFields>;

using MailboxTable = RecordTable<kMailboxFields>;
using ExpireTable = RecordTable<kExpireFields>;

inline constexpr std::size_t kHeaderLineSlots = 101;
inline constexpr std::uint32_t kMaxHeaderLines = 99;

struct RunSummary {
    Text versionText;
    bool groupWise5 = false;
    Text processedOn;
    Text postOfficeName;
    Text pathToPO;
    Text languageName = "English";
    Text largestSize;
    Text averageSize;
    Text totalSize;
    Text CsvReportPath;
    Text MhtReportPath;
    Text OutputFolder;
    // The encoding of the log's texts, decided by its bytes once it has been read whole.
    TextEncoding encoding = TextEncoding::Windows1252;
};

// The log's header: the lines up to the one announcing the post office, at 1..HeaderLineCount.
struct LogHeader {
    std::array<Text, kHeaderLineSlots> HeaderLines;
    std::uint32_t HeaderLineCount = 0;
};

// What the last run read, as the program keeps it between runs.
struct LogData {
    MailboxTable mailboxes;
    ExpireTable expires;
    LogHeader header;
    RunSummary summary;
};

}  // namespace k32
