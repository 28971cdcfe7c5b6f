#pragma once
// One processing run: the log's header decides the reader (mailbox statistics of GroupWise 5.5,
// of GroupWise 6 and later, or expire statistics); then analysis and the reports. Errors
// (input/output, conversion) are raised and end the run at the step that raised them.

#include <string>

namespace k32 {

struct AppState;

enum class RunOutcome {
    ReportsWritten,  // at least one statistics branch wrote its reports
    NoStatistics,    // the header shows neither kind of statistics; nothing was written
};

RunOutcome RunProcessing(AppState& state);

// Sorts the mailbox table again with the current settings and rewrites both mailbox reports,
// keeping the totals and the top count of the last run. The window offers it only after a run
// that completed with a mailbox log (AppState::mailboxRunComplete).
void ReSortAndRewrite(AppState& state);

// Reads the log's expire statistics into the expire table, without a report (the hidden
// "Special" button of the window).
void RunExpireReportOnly(AppState& state);

// The folder part of a base path: everything before its last "/", "/" for a name in the root,
// empty when there is no folder.
std::string OutputFolderOf(const std::string& basePath);

}  // namespace k32
