#pragma once
// Runs independent jobs of one run side by side, each on a thread of its own, while the calling
// thread (the run controller) passes the jobs' progress and debug lines on. The lines come out
// exactly as if the jobs had run one after the other: all of the first job's lines, then the
// second's, and so on. A job sees only its own inputs and outputs
// and a context of its own; it never touches the window or the debug log file.

#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "state/DebugLog.h"
#include "state/RunContext.h"

namespace k32 {

// A worker's finished lines (time stamp included), waiting for the run controller.
class DeferredLines {
  public:
    enum class Kind { Progress, Debug };

    void Push(Kind kind, std::string_view text);
    // Moves the waiting lines to `out` (emptied first).
    void TakeAll(std::vector<FinishedLine>& out);

  private:
    std::mutex mutex_;
    std::vector<FinishedLine> lines_;
};

using ParallelJob = std::function<void(RunContext& jobContext)>;

// Runs the jobs and returns when all have ended. A single job runs on the calling thread with
// `ctx` itself. When a job fails, its error is raised after the lines of the jobs before it and
// its own lines up to the failure; the later jobs are stopped and their lines dropped, just as
// they would never have run. When the run is asked to stop (the context's token), every job is
// stopped and RunStopped is raised.
void RunJobsInOrder(RunContext& ctx, const std::vector<ParallelJob>& jobs);

}  // namespace k32
