#pragma once
// A mailbox run with history kept: the run's snapshot goes into the history store, and the
// trend reports are written beside the run's two reports. Everything is committed together.

#include <memory>
#include <string>

#include "history/HistoryStore.h"
#include "report/ReportData.h"
#include "state/Records.h"
#include "state/RunContext.h"
#include "text/FileJournal.h"
#include "text/PendingFiles.h"

namespace k32 {

// A run being recorded with its trend reports. The store is given the mailboxes on a thread of
// its own, straight from the table, while the caller writes the run's reports and the trends
// are computed; everything is then committed together by the caller, the store last (Commit).
class HistoryRecording {
  public:
    // Starts, on a thread of its own, reading the usernames and sizes of the post office's
    // earlier runs, then opening a transaction of `store` (waiting while another recording holds
    // it) and recording the mailboxes of `table`. The
    // store and the table must stay untouched (the table unchanged) until Stage returns or this
    // recording is destroyed.
    HistoryRecording(HistoryStore& store, const MailboxTable& table, const RunSummary& summary,
                     const std::string& logPath);
    // Waits for the recording; unless committed, rolls it back (a run that fails or is stopped
    // on the way leaves the store as it was).
    ~HistoryRecording();
    HistoryRecording(const HistoryRecording&) = delete;
    HistoryRecording& operator=(const HistoryRecording&) = delete;

    // Computes the trends, waits for the recording (raising its error) and stages the trend
    // reports beside `basePath` into `pending`. The caller commits the files and then this
    // recording. Called once.
    // While the recording waits for another that holds the store, says so once on `ctx`.
    // `digitGroupSeparator` groups the page's figures as the web report groups its numbers.
    void Stage(RunContext& ctx, const std::string& basePath, const std::string& csvSeparator,
               PendingFiles& pending, const std::string& digitGroupSeparator = {});
    // Commits the store's transaction; called once, after Stage.
    void Commit();
    // The run as recorded (its id included), once Stage has returned.
    HistoryRun Recorded() const;

  private:
    struct State;
    static void ReadEarlierRuns(State& s, std::stop_token stop);
    std::unique_ptr<State> state_;
};

// What the journal of a run's files records of its history record (`location`: the /HISTORY:
// value), so that the next run can tell whether the record got in (JournalRunRecorded).
std::vector<std::pair<std::string, std::string>> JournalFacts(const std::string& location,
                                                              const HistoryRun& recorded);

// Whether the store that a journal names holds the run it names. The store is opened by
// `currentLocation` when that is the same store (a password in it is not in the journal), else
// by the journal's own. Raises the store's error when it cannot be opened or read.
bool JournalRunRecorded(const FileJournal& journal, const std::string& currentLocation);

// The store that a journal names, for messages (never with a password).
std::string JournalStore(const FileJournal& journal);

}  // namespace k32
