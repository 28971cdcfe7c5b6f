#include "app/RunThread.h"

#include <utility>

#include "state/DebugLog.h"
#include "state/StopCheck.h"

namespace k32 {

RunThread::RunThread(RunFunction run, RunRequest request, RunLines lines,
                     std::function<void(RunEnd)> finished) {
    job_.Start([run, request = std::move(request), lines = std::move(lines),
                finished = std::move(finished)](std::stop_token stop) {
        DebugLogFile debugLog;
        debugLog.path = lines.debugLogPath;
        RunContext ctx;
        ctx.windowMode = request.windowMode;
        ctx.debugMode = lines.debugMode;
        ctx.debugLog = &debugLog;
        ctx.screenLine = lines.screenLine;
        ctx.stop = stop;
        ctx.bytesRead = lines.bytesRead;
        RunEnd end;
        try {
            end.result = std::make_shared<const RunResult>(run(request, ctx));
        } catch (const RunStopped&) {
            end.stopped = true;
        } catch (...) {
            end.error = std::current_exception();
        }
        debugLog.Close();
        finished(std::move(end));
    });
}

}  // namespace k32
