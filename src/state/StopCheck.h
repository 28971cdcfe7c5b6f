#pragma once
// Long loops call ThrowIfStopped once per line, comparison or row, so that a run asked to stop
// (the user closed the window) ends within a fraction of a second in any phase. It looks at the
// stop token once every 256 calls: in a batch run, where nothing asks for a stop, it costs one
// increment and one test.

#include "state/RunContext.h"

namespace k32 {

// Raised when the run was asked to stop. It is not a KestramaError, so no step mistakes it for a
// failure of its own: it unwinds the whole run, the report writers' temporary files and an open
// history transaction go with it, and earlier reports and history stay as they were.
struct RunStopped {};

inline void ThrowIfStopped(RunContext& ctx) {
    if (++ctx.stopTicks % 256 != 0)
        return;
    if (ctx.stop.stop_requested())
        throw RunStopped{};
}

// The same check at once, for the last moment before something is committed.
inline void StopIfAsked(const RunContext& ctx) {
    if (ctx.stop.stop_requested())
        throw RunStopped{};
}

}  // namespace k32
