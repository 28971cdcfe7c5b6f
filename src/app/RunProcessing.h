#pragma once
// One processing run: the log's header decides the reader (mailbox statistics of GroupWise 5.5,
// of GroupWise 6 and later, or expire statistics); then analysis and the reports. Errors
// (input/output, conversion) are raised and end the run at the step that raised them.

#include <string>

#include "app/RunRequest.h"
#include "state/KeywordTable.h"
#include "state/ReadPlan.h"
#include "state/Records.h"
#include "state/RunContext.h"

namespace k32 {

// Runs the request: reads the log, sorts, totals, writes both reports (and, with history kept,
// records the run and writes the trend reports, all committed together) and returns what it
// produced. Reads nothing but the request. Raises the input/output and conversion errors, and
// RunStopped when the context's token asks it to stop; then no report or record is changed.
RunResult RunProcessing(const RunRequest& request, RunContext& ctx);

// Sorts a copy of the table of `request.resortOf` (a completed mailbox run) with the request's
// settings and rewrites both mailbox reports, keeping that run's totals, top count and report
// paths. The run it sorts again stays as it was, so a failed Re-sort changes nothing shown.
RunResult ReSortAndRewrite(const RunRequest& request, RunContext& ctx);

// Reads the log's expire statistics into the expire table, without a report (the hidden
// "Special" button of the window).
RunResult RunExpireReportOnly(const RunRequest& request, RunContext& ctx);

// Reads into `sum` what a mailbox log's header tells besides its language (the version, the
// processed-on text, the post office's path and name).
void ReadMailboxHeader(RunContext& ctx, const LogHeader& header, const KeywordTable& keywords,
                       RunSummary& sum);

// Reads the mailboxes of the log at `path` with the reader of its version (`sum.versionText`:
// GroupWise 5.5, else 6 and later, saying so on `ctx` for a version it does not know), and sets
// `sum.encoding` from the bytes read.
MailboxTable ReadMailboxes(RunContext& ctx, const std::string& path, const KeywordTable& keywords,
                           RunSummary& sum, const ReadPlan& plan);

// Puts right what a run killed while replacing its files at `basePath` left: a journal's files
// are put in place when the history (`historyLocation`, the /HISTORY: value) holds its run, or
// it kept none, else removed; then the temporary files of killed writers beside the reports are
// removed. Says what it did on `ctx` (its notice too). Every run on a base path calls it first.
void RecoverInterruptedRun(RunContext& ctx, const std::string& basePath,
                           const std::string& historyLocation);

// The folder part of a base path: everything before its last "/", "/" for a name in the root,
// empty when there is no folder.
std::string OutputFolderOf(const std::string& basePath);

}  // namespace k32
