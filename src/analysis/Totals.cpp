#include "analysis/Totals.h"

#include "state/AppState.h"
#include "state/DebugLog.h"
#include "text/Convert.h"
#include "text/TextHelpers.h"

namespace k32 {

void ComputeTotals(AppState& state) {
    AddDebugLine(state, "Calculation totals", "");
    const LogData& log = state.log;
    std::int64_t largest = 0, total = 0, average = 0;
    for (std::uint32_t i = 1; i <= log.count; ++i) {
        // Every record counts, a missing size ("-1") included.
        std::int64_t v = StrToInt64(GetMailboxRecord(log, i).field[kSize]);
        if (v > largest)
            largest = v;
        total += v;
    }
    if (log.count != 0)
        average = total / static_cast<std::int64_t>(log.count);
    state.log.summary.averageSize = IntToText(average);
    state.log.summary.largestSize = IntToText(largest);
    state.log.summary.totalSize = IntToText(total);
}

void SelectAboveValue(AppState& state) {
    const ReportSettings& s = state.settings;
    if (s.TOPVALUE == 0)
        return;
    if (s.Sort < 2 || s.Sort > 5)
        return;  // the above value applies to number fields only
    AddProgressLine(state, "Top value calculation.");
    // Sort fields 2..5 are the record fields 2, 3, 4 and 5.
    const std::size_t field = s.Sort;
    std::uint32_t last = 0;
    for (std::uint32_t i = 1; i <= state.log.count; ++i) {
        std::int32_t k = StrToInt32(GetMailboxRecord(state.log, i).field[field]);
        if (k >= 0 && static_cast<std::uint32_t>(k) >= s.TOPVALUE)
            last = i;
    }
    state.reportTopCount = last;
}

std::uint32_t ReportRows(std::uint32_t topCount, std::uint32_t count) {
    return topCount >= 1 && topCount <= count ? topCount : count;
}

}  // namespace k32
