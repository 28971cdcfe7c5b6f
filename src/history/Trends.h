#pragma once
// Trends of one post office over its recorded runs: growth per mailbox against an earlier run,
// quota bands, the days until each mailbox reaches its limit, mailboxes new and gone, and the
// post office's totals over time. Plain figures, for the trend reports and the window.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "history/HistoryTypes.h"

namespace k32 {

// Days since 1970-01-01 of an ISO 8601 date-time ("YYYY-MM-DDTHH:MM:SS"), with its fraction.
std::optional<double> DaysOfIso(const std::string& iso);

// "YYYY-MM-DD" of the day that holds `day` (days since 1970-01-01, with its fraction); empty
// outside the years 1 to 9999.
std::string IsoDateOfDay(double day);

// A mailbox compared with an earlier run. Figures that do not exist are empty: no earlier run
// or the mailbox is new (then), no limit (limit, used), too few runs (days to limit, growth per
// week, limit date). The growth per week is the slope of the line that projects the days to the
// limit; the limit date is the day that line reaches the limit, empty beyond kLimitDateDays.
struct GrowthRow {
    std::string username, fullname;
    std::optional<double> sizeThen, sizeNow, growthMb, growthPct, limitMb, usedPct, daysToLimit;
    std::optional<double> growthPerWeekMb = std::nullopt;
    std::string limitDate = {};
};

// A mailbox of the previous run that the last run no longer has, with its size then.
struct GoneMailbox {
    std::string username;
    std::optional<double> lastSizeMb;
    bool operator==(const GoneMailbox&) const = default;
};

enum class QuotaBand { Green, Amber, Red, NoLimit };

struct BandCounts {
    std::size_t green = 0, amber = 0, red = 0, noLimit = 0;
};

// Runs needed for a projection, and the days they must span.
inline constexpr std::size_t kProjectionMinRuns = 3;
inline constexpr double kProjectionMinDays = 7;
// Mailboxes reaching their limit within this many days are listed.
inline constexpr double kProjectionHorizonDays = 90;
// Beyond this many days (ten years) a projection gives no date: the figure says nothing a reader
// can use.
inline constexpr double kLimitDateDays = 3650;

// The least-squares line through (day, size) points: its slope in MB per day, and the days from
// `today` until it reaches `limit` (0 when it is there already). Both are empty with fewer than
// kProjectionMinRuns points or a span under kProjectionMinDays; the days also when the line does
// not rise.
struct LimitProjection {
    std::optional<double> mbPerDay, days;
};
LimitProjection ProjectToLimit(const std::vector<std::pair<double, double>>& points, double limit,
                               double today);
// The days of ProjectToLimit alone.
std::optional<double> DaysToLimit(const std::vector<std::pair<double, double>>& points,
                                  double limit, double today);

QuotaBand BandOf(const HistoryMailbox& m);

// The rows shown as growing most, and as the fullest.
inline constexpr std::size_t kTopGrowers = 20;
inline constexpr std::size_t kFullestShown = 50;

// Everything the trend reports show for one post office. `runs` in time order, the last one
// being the run just recorded; `mailboxesOf[i]` the mailboxes of runs[i].
struct PostOfficeTrends {
    std::vector<HistoryRun> runs;
    std::optional<std::size_t> previous;   // index of the run before the last
    std::optional<std::size_t> monthAgo;   // index of the run closest to 30 days before the last
    std::vector<GrowthRow> sincePrevious;  // every mailbox of the last run, against previous
    // The kTopGrowers rows that grew most (TopGrowers) against previous and against monthAgo.
    std::vector<GrowthRow> topSincePrevious, topSinceMonthAgo;
    // The kFullestShown rows most used of their limit, the most first (of equal use, in order).
    std::vector<GrowthRow> fullest;
    BandCounts bands;
    std::vector<GrowthRow> reachingLimit;    // within the horizon, soonest first
    std::vector<std::string> newMailboxes;   // usernames, against previous
    std::vector<GoneMailbox> goneMailboxes;  // against previous, in its order
};

PostOfficeTrends ComputeTrends(std::vector<HistoryRun> runs,
                               const std::vector<std::vector<HistoryMailbox>>& mailboxesOf);

// A mailbox of the run just recorded, as the trends read it: views of texts that the caller
// keeps for the call.
struct TrendMailbox {
    std::string_view username, fullname, exceeded;
    std::optional<double> sizeMb, limitMb, thresholdPct;
};
// Hands each mailbox of runs[run] (an earlier run), in its order, to `each`: its username
// (valid during that call) and its size.
using EachEarlierSize = std::function<void(std::string_view username, std::optional<double>)>;
using EarlierSizes = std::function<void(std::size_t run, const EachEarlierSize& each)>;

// Takes each row of sincePrevious, in order, in place of keeping it.
using EachRow = std::function<void(const GrowthRow&)>;

// The same trends from the mailboxes of the last run and only the usernames and sizes of the
// earlier runs, which is all they need; each earlier run is read once, as it is handed over.
// With `each`, the rows of sincePrevious go to it one at a time (the same row object, refilled)
// and sincePrevious stays empty, so that they are never all in memory.
PostOfficeTrends ComputeTrends(std::vector<HistoryRun> runs, const std::vector<TrendMailbox>& now,
                               const EarlierSizes& earlier, const EachRow& each = {});

// The rows compared with an earlier run instead: size then and growth from `earlier`, the
// limit, use and projection kept.
std::vector<GrowthRow> GrowthSince(std::vector<GrowthRow> rows,
                                   const std::vector<HistoryMailbox>& earlier);

// The rows with the largest growth in MB, at most `count`, largest first (rows without an
// earlier size are left out).
std::vector<GrowthRow> TopGrowers(const std::vector<GrowthRow>& rows, std::size_t count);

// One row of the post-office overview.
struct PostOfficeSummary {
    HistoryRun last;
    std::optional<double> growthMb;  // total since its previous run
};

}  // namespace k32
