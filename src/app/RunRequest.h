#pragma once
// A run as a value: a RunRequest holds everything a run reads, taken once when "Go" or
// "Re-sort" is pressed or the command line is read; a RunResult holds what the run produced.
// Nothing in a run reads the program's state, so editing a box during a run changes the next
// run, never this one.

#include <cstdint>
#include <memory>
#include <string>

#include "state/ReadPlan.h"
#include "state/Records.h"
#include "state/ReportSettings.h"
#include "state/ResultGridData.h"

namespace k32 {

// Where a run's history goes: nowhere, or the store at `location` (empty: the default file).
struct HistoryTarget {
    bool keep = false;
    std::string location;
};

struct RunResult;

struct RunRequest {
    std::string inputPath;
    std::string basePath;
    // A copy of the settings as they were when the request was made.
    ReportSettings settings;
    HistoryTarget history;
    // Window runs show progress lines and fill the result grid; batch runs do neither.
    bool windowMode = false;
    // How mailbox logs are read; tests cut even small logs into parts with it.
    ReadPlan readPlan = DefaultReadPlan();
    // Re-sort only: the completed mailbox run whose table is sorted again (never changed: the
    // run sorts a copy).
    std::shared_ptr<const RunResult> resortOf;
};

// The request for the settings as they are now: the paths and the history target from them.
RunRequest MakeRunRequest(const ReportSettings& settings, bool windowMode);

enum class RunOutcome {
    ReportsWritten,  // at least one statistics branch wrote its reports
    NoStatistics,    // the header shows neither kind of statistics; nothing was written
};

struct RunResult {
    RunOutcome outcome = RunOutcome::NoStatistics;
    // True after a run that completed with a mailbox-statistics log: only then does Re-sort
    // have a whole table of the log the reports describe.
    bool mailboxRun = false;
    // The log held expire statistics, and their web report was written.
    bool expireRun = false;
    // The tables, the header and the summary (the report paths included).
    LogData log;
    // The top count the reports used: the TOP setting, or what the above-value step made of it.
    std::uint32_t topCount = 0;
    // Window runs: the result grid's column widths over the mailbox table.
    ResultGridData grid;
    // The run was recorded in the history store, and the trend reports written beside it.
    bool historyRecorded = false;
};

}  // namespace k32
