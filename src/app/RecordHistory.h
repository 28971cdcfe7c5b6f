#pragma once
// A mailbox run with history kept: the run's snapshot goes into the history store, and the
// trend reports are written beside the run's two reports. Everything is committed together.

#include <string>

#include "report/HistoryStore.h"
#include "report/ReportData.h"
#include "state/Records.h"
#include "text/PendingFiles.h"

namespace k32 {

// What the store keeps of this run: every mailbox of the table (not only the report's rows).
HistorySnapshot SnapshotOf(const MailboxTable& table, const RunSummary& summary,
                           const std::string& logPath);

// Records the run of `table` in a new transaction of `store` and stages the trend reports
// beside `basePath` into `pending`. The mailboxes go into the store one at a time, straight from
// the table. The caller commits the files and then the transaction.
void RecordAndStageTrends(HistoryStore& store, const MailboxTable& table, const RunSummary& summary,
                          const std::string& logPath, const std::string& basePath,
                          const std::string& csvSeparator, PendingFiles& pending);

}  // namespace k32
