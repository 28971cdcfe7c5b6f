#pragma once
// Long loops call PumpEvents once per line, comparison or row. It hands control to the window
// at most about every 20 ms of work, so a run over a million lines stays fast and the window
// still repaints several times a second. In batch mode it costs one test.

#include <chrono>
#include <cstdint>

#include "state/AppState.h"

namespace k32 {

// Raised by PumpEvents when the window asked the run to stop (the user closed the window). It is
// not a KestramaError, so no step mistakes it for a failure of its own: it unwinds the whole run,
// and the report writers' temporary files go with it, leaving earlier reports as they were.
struct RunStopped {};

inline void PumpEvents(AppState& state) {
    if (!state.ui.pumpEvents)
        return;
    // Reading the clock on every call would cost more than the work between calls.
    if (++state.pumpTicks % 256 != 0)
        return;
    auto now = std::chrono::steady_clock::now();
    if (now - state.lastPump < std::chrono::milliseconds(20))
        return;
    state.lastPump = now;
    state.ui.pumpEvents();
    if (state.stopRequested)
        throw RunStopped{};
}

}  // namespace k32
