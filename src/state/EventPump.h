#pragma once
// Long loops call PumpEvents once per line, comparison or row. It hands control to the window
// at most about every 20 ms of work, so a run over a million lines stays fast and the window
// still repaints several times a second. In batch mode it costs one test.

#include <chrono>
#include <cstdint>

#include "state/RunContext.h"

namespace k32 {

// Raised by PumpEvents when the window asked the run to stop (the user closed the window). It is
// not a KestramaError, so no step mistakes it for a failure of its own: it unwinds the whole run,
// and the report writers' temporary files go with it, leaving earlier reports as they were.
struct RunStopped {};

inline void PumpEvents(RunContext& ctx) {
    // Reading the clock on every call would cost more than the work between calls.
    if (++ctx.pumpTicks % 256 != 0)
        return;
    if (ctx.stopRequested && ctx.stopRequested->load(std::memory_order_relaxed))
        throw RunStopped{};
    if (!ctx.pumpEvents)
        return;
    auto now = std::chrono::steady_clock::now();
    if (now - ctx.lastPump < std::chrono::milliseconds(20))
        return;
    ctx.lastPump = now;
    ctx.pumpEvents();
    if (ctx.stopRequested && ctx.stopRequested->load(std::memory_order_relaxed))
        throw RunStopped{};
}

}  // namespace k32
