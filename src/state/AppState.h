#pragma once
// All program-wide data, created once at start-up and owned by the program (the batch entry or
// the window), so that a test can start from a fresh one. Only the run controller and the
// window use it whole; each step of a run receives a RunContext and the tables it works on.

#include <atomic>
#include <cstdint>
#include <string>

#include "state/DebugLog.h"
#include "state/KeywordTable.h"
#include "state/ProgramVersion.h"
#include "state/ReadPlan.h"
#include "state/Records.h"
#include "state/ReportSettings.h"
#include "state/ResultGridData.h"
#include "state/UiCallbacks.h"

namespace k32 {

struct AppState {
    AppState();

    ReportSettings settings;
    bool WindowMode = true;
    Text DebugLogPath;
    DebugLogFile debugFile;
    Text StoreStatusText;

    LogData log;
    KeywordTable keywords;

    // The top count this run's reports use. A run starts it from the TOP setting; the
    // above-value step may replace it. Re-sort keeps it until the next run.
    std::uint32_t reportTopCount = 0;

    // True after a run that completed with a mailbox-statistics log, until the next run starts:
    // only then does Re-sort have a whole table of the log the paths name.
    bool mailboxRunComplete = false;

    // How mailbox logs are read; tests cut even small logs into parts with it.
    ReadPlan readPlan = DefaultReadPlan();

    ResultGridData grid;
    UiCallbacks ui;

    // Set by the window while a run is under way when the user closes it: the next event pump
    // ends the run by raising RunStopped.
    std::atomic<bool> stopRequested = false;
    // Bytes of the log that the readers have read, over all runs (see RunContext::bytesRead).
    std::atomic<std::uint64_t> logBytesRead = 0;
};

}  // namespace k32
