#pragma once
// What the history store keeps of a mailbox-statistics run: the run itself and one row per
// mailbox. Figures that a log does not give (no limit, a GroupWise 5.5 log) are empty.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace k32 {

struct HistoryRun {
    std::int64_t id = 0;
    std::string poName, poPath, gwVersion, language;
    std::string processedOn;  // the header's text
    std::string processedAt;  // ISO 8601, from the header's date or the log's modification time
    std::string logPath;
    std::int64_t logBytes = 0;
    std::string recordedAt;  // ISO 8601, when the run was recorded
    std::int64_t mailboxes = 0;
    double totalMb = 0;

    bool operator==(const HistoryRun&) const = default;
};

struct HistoryMailbox {
    std::string username, fullname;
    std::optional<double> sizeMb, inbox, outbox, wastebin, limitMb, thresholdPct;
    std::string exceeded, uid;
};

// A run with its mailboxes.
struct HistorySnapshot {
    HistoryRun run;
    std::vector<HistoryMailbox> mailboxes;
};

// One mailbox as one run recorded it: a point of that mailbox's size over time.
struct MailboxPoint {
    HistoryRun run;
    HistoryMailbox mailbox;
};

}  // namespace k32
