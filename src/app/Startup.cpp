#include "app/Startup.h"

#include <unistd.h>

#include <iostream>

#include "app/AppState.h"
#include "app/CommandLine.h"
#include "app/ErrorLines.h"
#include "app/RunProcessing.h"
#include "app/TerminalProgress.h"
#include "state/DebugLog.h"
#include "text/Errors.h"
#include "text/TextHelpers.h"

namespace k32 {

namespace {

void ReportError(const KestramaError& e, const std::string& inputPath = {}) {
    for (const std::string& line : ErrorLines(e, inputPath))
        std::cerr << line << '\n';
}

// The log's size for the progress line; 0 (no line) when it cannot be read, which the run
// then reports itself.
std::uint64_t LogSizeOrZero(const std::string& path) {
    try {
        return FileSizeOf(path);
    } catch (const KestramaError&) {
        return 0;
    }
}

}  // namespace

std::string ProgramFolder() {
    std::string buf(4096, '\0');
    ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n <= 0)
        return ".";
    buf.resize(static_cast<std::size_t>(n));
    auto slash = buf.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : buf.substr(0, slash);
}

StartMode StartFromCommandLine(AppState& state, const std::vector<std::string>& params,
                               const std::string& programFolder) {
    try {
        const CommandLine line = ParseCommandLine(params, programFolder, state.settings);
        state.WindowMode = line.windowMode;
        state.DebugLogPath = line.debugLogPath;
        if (!line.message.empty())
            std::cerr << "kestrama32: " << line.message << '\n';
    } catch (const KestramaError& e) {
        ReportError(e);
        return StartMode::WrongCommandLine;
    }
    return state.WindowMode ? StartMode::Window : StartMode::Batch;
}

int RunBatch(AppState& state) {
    try {
        StartDebugLog(state);
    } catch (const KestramaError& e) {
        ReportError(e);
        return kExitError;
    }
    const std::string inputPath = state.settings.InputPath.str();
    try {
        // The request is made once, from the command line's settings.
        const RunRequest request = RequestOf(state);
        RunResult result;
        {
            // Cleared (when the scope ends, an error included) before anything else is printed.
            TerminalProgress progress(state.logBytesRead, LogSizeOrZero(inputPath), STDERR_FILENO);
            RunContext ctx = ContextOf(state);
            ctx.notice = [](std::string_view line) { std::cerr << "kestrama32: " << line << '\n'; };
            result = RunProcessing(request, ctx);
        }
        if (result.outcome == RunOutcome::NoStatistics) {
            std::cerr << "kestrama32: No statistics detected.\n";
            return kExitNoStatistics;
        }
        return kExitReportsWritten;
    } catch (const KestramaError& e) {
        ReportError(e, inputPath);
        // Leave the reason in the debug log too, the only trace a batch run leaves.
        try {
            AddDebugLine(state, "Run ended with error", e.what());
        } catch (const KestramaError&) {
        }
        return kExitError;
    }
}

}  // namespace k32
