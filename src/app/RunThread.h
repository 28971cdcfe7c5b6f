#pragma once
// A run on a thread of its own, for the window: the request goes in, and once the run has ended
// (its reports and record committed, or nothing changed) `finished` receives how it ended, on
// the run's thread. The run's progress and debug lines go to `screenLine` (called on the run's
// thread, which must hand them over) and to a debug log descriptor of the run's own, so that
// nothing of the window's is touched from the run's thread.

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "app/RunRequest.h"
#include "state/RunContext.h"
#include "text/BackgroundJob.h"

namespace k32 {

// How a run ended: with a result, an error, or stopped on request (neither).
struct RunEnd {
    std::shared_ptr<const RunResult> result;
    std::exception_ptr error;
    bool stopped = false;
};

// Where a run's lines go.
struct RunLines {
    std::uint8_t debugMode = 3;
    std::string debugLogPath;
    std::function<void(std::string_view line)> screenLine;
    std::atomic<std::uint64_t>* bytesRead = nullptr;
};

using RunFunction = RunResult (*)(const RunRequest&, RunContext&);

class RunThread {
  public:
    // Starts `run` of `request` at once.
    RunThread(RunFunction run, RunRequest request, RunLines lines,
              std::function<void(RunEnd)> finished);
    // Asks the run to stop at its next check; it then ends with `stopped` and changes nothing.
    void RequestStop() { job_.RequestStop(); }
    // Stops the run if it is still going and waits for it.
    ~RunThread() = default;
    RunThread(const RunThread&) = delete;
    RunThread& operator=(const RunThread&) = delete;

  private:
    BackgroundJob job_;
};

}  // namespace k32
