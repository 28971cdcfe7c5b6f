#pragma once
// How near the mailboxes of a recorded run are to their limits, as a monitoring check reads it:
// the quota bands and how many mailboxes the trend line brings to their limit within a number of
// days, counted from a given time rather than from the run's own date.

#include <cstddef>

#include "history/HistoryStore.h"
#include "history/Trends.h"

namespace k32 {

struct LimitStanding {
    std::size_t mailboxes = 0;
    double totalMb = 0;
    BandCounts bands;
    // Mailboxes under their limit (not red) whose projected day of reaching it lies within
    // the warning days, and within the critical days, of `now`; one already past that day
    // counts in both.
    std::size_t withinWarning = 0, withinCritical = 0;
};

// The standing of `run` (a run the store holds) against its earlier runs, projected as the
// trend reports project it. `now` and the run's date are days since 1970-01-01 of the same
// clock; a run dated after `now` counts from its own date. Raises the store's error.
LimitStanding StandingOf(HistoryStore& store, const HistoryRun& run, double now, double warningDays,
                         double criticalDays);

}  // namespace k32
