#pragma once
// The program's own data, owned by the program entry (the batch run or the window) and used
// whole only by them: the settings as the user keeps them, the debug log, and the last run that
// completed. A run never reads it: it gets a RunRequest made from it and gives back a RunResult
// (RunRequest.h), which becomes the last run only once it has completed.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "app/RunRequest.h"
#include "state/DebugLog.h"
#include "state/ReadPlan.h"
#include "state/ReportSettings.h"

namespace k32 {

struct AppState {
    ReportSettings settings;
    bool WindowMode = true;
    Text DebugLogPath;
    DebugLogFile debugFile;
    Text StoreStatusText;

    // How mailbox logs are read; tests cut even small logs into parts with it.
    ReadPlan readPlan = DefaultReadPlan();

    // The last run that completed; a failed or stopped run leaves it as it was, so the grid,
    // the viewer and Re-sort keep showing what the reports on disk hold.
    std::shared_ptr<const RunResult> lastRun;

    // Adds one finished line (time stamp included) to the Log tab; empty in batch mode. The
    // window's hands the line over to the window's thread, from whichever thread it comes.
    std::function<void(std::string_view line)> screenLine;

    // Bytes of the log that the readers have read, over all runs (see RunContext::bytesRead).
    std::atomic<std::uint64_t> logBytesRead = 0;

    // True when the last run that completed read a mailbox log: Re-sort can sort it again.
    bool MailboxRunComplete() const { return lastRun && lastRun->mailboxRun; }
};

// The run context of the program's state: its debug mode, debug log and Log tab. On the calling
// thread only: a run on a thread of its own gets a debug log file of its own (RunContextFor).
RunContext ContextOf(AppState& state);

// The request for a run of the state's settings as they are now.
RunRequest RequestOf(const AppState& state);

// Progress and debug lines of the program entries and the window.
void AddProgressLine(AppState& state, std::string_view text);
void AddDebugLine(AppState& state, std::string_view caption, std::string_view value);

// Starts the debug log in the state's debug mode (see StartDebugLogFile): its place may move
// to the fallback folder, which DebugLogPath then names.
void StartDebugLog(AppState& state);
// In the disk modes, writes the "Close debug" line.
void CloseDebugLog(AppState& state);

}  // namespace k32
