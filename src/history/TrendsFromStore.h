#pragma once
// The trend reports of a recorded run written from the history store alone, with no log: the
// same files that the run wrote when it was recorded, as far as the store still holds what it
// held then.

#include <string>
#include <vector>

#include "history/HistoryStore.h"
#include "history/Trends.h"

namespace k32 {

// The runs a run's trends compare with: those of its post office of an earlier date, by date,
// whatever order they were recorded in (a log of last year recorded today compares with the runs
// before it, never with newer ones). Runs of the same processed-on text or date are left out.
std::vector<HistoryRun> EarlierRunsOf(HistoryStore& store, const HistoryRun& run);

// The overview of every post office of the store: its newest run and the growth of its total
// since the run before.
std::vector<PostOfficeSummary> PostOfficesOf(HistoryStore& store);

// The trends of `run` (a run the store holds, whose mailboxes are `mailboxes`) against its
// earlier runs, of which only the usernames and sizes are read, each run once, as the trends ask
// for them. The rows of sincePrevious go to `each`, one at a time, when it is given.
PostOfficeTrends TrendsOfStoredRun(HistoryStore& store, const HistoryRun& run,
                                   const std::vector<HistoryMailbox>& mailboxes,
                                   const EachRow& each = {});

// Computes the trends of `run` (a run the store holds) against its earlier runs and writes
// <basePath>-trends.html and <basePath>-trends.csv, the CSV separated by `csvSeparator` and the
// page's figures grouped by `digitGroupSeparator` (none when empty): both replace their
// targets together or not at all, through the journal of `basePath` (a kill on the way is put
// right by the next run on the same reports). Raises the store's error or the input/output error
// naming the file; then no target has changed.
void WriteTrendsFromStore(HistoryStore& store, const HistoryRun& run, const std::string& basePath,
                          const std::string& csvSeparator,
                          const std::string& digitGroupSeparator = {});

}  // namespace k32
