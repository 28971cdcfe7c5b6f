#include "history/LimitCheck.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "history/TrendsFromStore.h"

namespace k32 {

LimitStanding StandingOf(HistoryStore& store, const HistoryRun& run, double now, double warningDays,
                         double criticalDays) {
    const std::vector<HistoryMailbox> mailboxes = store.Mailboxes(run.id);
    // The projection counts from the run's date; the days gone since then are used up.
    const double elapsed = std::max(0.0, now - DaysOfIso(run.processedAt).value_or(now));
    LimitStanding s;
    s.mailboxes = mailboxes.size();
    s.totalMb = run.totalMb;
    std::size_t k = 0;  // the rows come in the order of the mailboxes
    const PostOfficeTrends trends =
        TrendsOfStoredRun(store, run, mailboxes, [&](const GrowthRow& row) {
            const bool red = BandOf(mailboxes[k++]) == QuotaBand::Red;
            if (red || !row.daysToLimit)
                return;
            const double left = *row.daysToLimit - elapsed;
            s.withinWarning += left <= warningDays;
            s.withinCritical += left <= criticalDays;
        });
    s.bands = trends.bands;
    return s;
}

}  // namespace k32
