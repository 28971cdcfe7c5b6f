#pragma once
// What every step of a run needs besides its own data: where its progress and debug lines go,
// and the token that stops the run. Readers, analysis and writers receive this
// and the tables they work on, never the whole program state.

#include <atomic>
#include <cstdint>
#include <functional>
#include <stop_token>
#include <string_view>

namespace k32 {

class DebugLogFile;
class DeferredLines;
class EncodingEvidence;

struct RunContext {
    // Progress lines are shown in window mode only.
    bool windowMode = false;
    // 0 Disk / Screen, 1 Disk only, 2 Screen only, 3 Off.
    std::uint8_t debugMode = 3;
    // The debug log's file, for the disk modes.
    DebugLogFile* debugLog = nullptr;
    // Adds one finished line (time stamp included) to the Log tab; empty in batch mode. In the
    // window it is called on the run's thread and must hand the line over safely.
    std::function<void(std::string_view line)> screenLine;
    // A line that the user must see even in a batch run, where it goes to standard error (what
    // a run did to put right what a killed run left); empty: the progress line says it.
    std::function<void(std::string_view line)> notice;
    // Asked to stop when the user closes the window during a run: the next ThrowIfStopped
    // raises RunStopped (StopCheck.h).
    std::stop_token stop;
    // On a worker thread: the lines wait here, in order, until the run controller passes them
    // on (see ParallelJobs.h); the worker never touches the file or the window itself.
    DeferredLines* deferred = nullptr;
    // Bytes of the log read so far, added up by the readers of every part (one atomic add per
    // block read), for a progress display on another thread. Null: not counted.
    std::atomic<std::uint64_t>* bytesRead = nullptr;
    // What the readers that read a log whole (every part of it) saw of its encoding: each part
    // adds its scan when it reaches its end. Null: not scanned.
    EncodingEvidence* encodingSeen = nullptr;

    // Pacing of the stop checks.
    std::uint32_t stopTicks = 0;
};

}  // namespace k32
