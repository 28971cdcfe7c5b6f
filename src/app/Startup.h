#pragma once
// The start-up sequence. The mode is decided from the command line before any window object
// exists: a batch run never creates a window.

#include <string>
#include <vector>

namespace k32 {

struct AppState;

// Exit codes of the program.
enum ExitCode : int {
    kExitReportsWritten = 0,
    kExitError = 1,         // an input/output or conversion error ended the run
    kExitCommandLine = 2,   // the command line was wrong, or no window could be shown
    kExitNoStatistics = 3,  // the log holds no statistics; nothing was written
};

// The folder of the running executable, without a trailing "/".
std::string ProgramFolder();

enum class StartMode { Window, Batch, WrongCommandLine };

// Parses the command line into the state and says how the program goes on. The reason for a
// wrong command line goes to standard error.
StartMode StartFromCommandLine(AppState& state, const std::vector<std::string>& params,
                               const std::string& programFolder);

// The batch run after a successful StartFromCommandLine: starts the debug log, runs the
// processing and returns the exit code. Errors go to standard error.
int RunBatch(AppState& state);

}  // namespace k32
