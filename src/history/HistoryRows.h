#pragma once
// How a run read from a log becomes what the history store keeps: the run's own figures and one
// row per mailbox, taken from the mailbox table as the readers filled it. Shared by a mailbox run
// that records its history and by the import of many logs.

#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

#include "history/HistoryStore.h"
#include "history/HistoryTypes.h"
#include "state/RecordTable.h"
#include "state/Records.h"

namespace k32 {

// A figure of the log ("472", "80%", "1234"); empty when there is none or it is "-1" (no
// limit).
std::optional<double> FigureOf(std::string_view text);

// The run of the log at `logPath` as the store keeps it, without its mailboxes. Its date is the
// header's, else the log file's modification time (the time now when the file cannot be asked); a
// log without a processed-on text gets that time as its text too, so that two such logs are two
// runs, not one replacing the other.
HistoryRun RunOfLog(const RunSummary& summary, const std::string& logPath);

// RunOfLog with the count and the total size of the mailboxes of `table`.
HistoryRun RunOf(const RunSummary& summary, const MailboxTable& table, const std::string& logPath);

// Fills `m` with mailbox `r`, reusing the storage of its texts.
void FillMailbox(const MailboxRecordView& r, HistoryMailbox& m);

// Records `run` with the mailboxes of `table`, in table order, through `write`; returns the
// run's id. A stop asked for through `stop` raises RunStopped within a few hundred rows.
std::int64_t RecordMailboxes(HistoryStore::Transaction& write, const HistoryRun& run,
                             const MailboxTable& table, std::stop_token stop = {});

}  // namespace k32
