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
#include "text/EncodingScan.h"

namespace k32 {

// A figure of the log ("472", "80%", "1234"); empty when there is none or it is "-1" (no
// limit).
std::optional<double> FigureOf(std::string_view text);

// The history's texts are UTF-8, whichever log they came from: a log's text as the history keeps
// it, from the log's encoding (Windows-1252 in the stored form of text/Cp1252Utf8.h). Plain ASCII,
// nearly every text, is taken as it is.
std::string HistoryText(std::string_view logText, TextEncoding encoding);
void AssignHistoryText(std::string& out, std::string_view logText, TextEncoding encoding);

// A file name as the history keeps it: UTF-8 as it is (as a rule, a name of this system is), a
// name in another encoding read as Windows-1252 rather than refused.
std::string HistoryPathText(const std::string& path);

// The run of the log at `logPath` as the store keeps it, without its mailboxes. Its date is the
// header's, else the log file's modification time (the time now when the file cannot be asked); a
// log without a processed-on text gets that time as its text too, so that two such logs are two
// runs, not one replacing the other.
HistoryRun RunOfLog(const RunSummary& summary, const std::string& logPath);

// RunOfLog with the count and the total size of the mailboxes of `table`.
HistoryRun RunOf(const RunSummary& summary, const MailboxTable& table, const std::string& logPath);

// Fills `m` with mailbox `r` of a log in `encoding`, reusing the storage of its texts.
void FillMailbox(const MailboxRecordView& r, TextEncoding encoding, HistoryMailbox& m);

// Records `run` with the mailboxes of `table` (read from a log in `encoding`), in table order,
// through `write`; returns the run's id. A stop asked for through `stop` raises RunStopped
// within a few hundred rows.
std::int64_t RecordMailboxes(HistoryStore::Transaction& write, const HistoryRun& run,
                             const MailboxTable& table, TextEncoding encoding,
                             std::stop_token stop = {});

}  // namespace k32
