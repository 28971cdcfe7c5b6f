#include "analysis/Totals.h"

#include "state/ColumnTable.h"
#include "state/DebugLog.h"
#include "text/Convert.h"
#include "text/TextHelpers.h"

namespace k32 {

void ComputeTotals(RunContext& ctx, const MailboxTable& table, RunSummary& summary) {
    AddDebugLine(ctx, "Calculation totals", "");
    const std::uint32_t count = table.Count();
    std::int64_t largest = 0, total = 0, average = 0;
    for (std::uint32_t i = 1; i <= count; ++i) {
        // Every record counts, a missing size ("-1") included.
        std::int64_t v = StrToInt64(table.Get(i).field[kSize]);
        if (v > largest)
            largest = v;
        total += v;
    }
    if (count != 0)
        average = total / static_cast<std::int64_t>(count);
    summary.averageSize = IntToText(average);
    summary.largestSize = IntToText(largest);
    summary.totalSize = IntToText(total);
}

std::uint32_t SelectAboveValue(RunContext& ctx, const MailboxTable& table, const ReportSettings& s,
                               std::uint32_t topCount) {
    if (s.TOPVALUE == 0)
        return topCount;
    if (!IsNumberSortField(s.Sort))
        return topCount;  // the above value applies to number fields only
    AddProgressLine(ctx, "Top value calculation.");
    const std::size_t field = ColumnOfSortField(s.Sort)->field;
    std::uint32_t last = 0;
    for (std::uint32_t i = 1; i <= table.Count(); ++i) {
        std::int32_t k = StrToInt32(table.Get(i).field[field]);
        if (k >= 0 && static_cast<std::uint32_t>(k) >= s.TOPVALUE)
            last = i;
    }
    return last;
}

std::uint32_t ReportRows(std::uint32_t topCount, std::uint32_t count) {
    return topCount >= 1 && topCount <= count ? topCount : count;
}

}  // namespace k32
