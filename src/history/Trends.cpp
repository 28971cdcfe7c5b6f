#include "history/Trends.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <functional>
#include <numeric>
#include <string_view>
#include <unordered_map>

namespace k32 {

std::optional<double> DaysOfIso(const std::string& iso) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (std::sscanf(iso.c_str(), "%d-%d-%dT%d:%d:%d", &y, &mo, &d, &h, &mi, &s) < 3)
        return std::nullopt;
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = s;
    return static_cast<double>(timegm(&tm)) / 86400.0;
}

std::string IsoDateOfDay(double day) {
    if (!std::isfinite(day) || day < -719162 || day >= 2932897)  // 0001-01-01 .. 9999-12-31
        return {};
    const auto t = static_cast<std::time_t>(std::floor(day) * 86400.0);
    std::tm tm{};
    if (!gmtime_r(&t, &tm))
        return {};
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
    return buf;
}

std::optional<double> DaysToLimit(const std::vector<std::pair<double, double>>& points,
                                  double limit, double today) {
    return ProjectToLimit(points, limit, today).days;
}

LimitProjection ProjectToLimit(const std::vector<std::pair<double, double>>& points, double limit,
                               double today) {
    if (points.size() < kProjectionMinRuns)
        return {};
    double minDay = points.front().first, maxDay = minDay, sx = 0, sy = 0;
    for (const auto& [x, y] : points) {
        minDay = std::min(minDay, x);
        maxDay = std::max(maxDay, x);
        sx += x;
        sy += y;
    }
    if (maxDay - minDay < kProjectionMinDays)
        return {};
    const double n = static_cast<double>(points.size()), mx = sx / n, my = sy / n;
    double sxx = 0, sxy = 0;
    for (const auto& [x, y] : points) {
        sxx += (x - mx) * (x - mx);
        sxy += (x - mx) * (y - my);
    }
    const double slope = sxy / sxx;  // MB per day
    if (!(slope > 0))
        return {slope, std::nullopt};
    const double nowOnLine = my + slope * (today - mx);
    if (nowOnLine >= limit)
        return {slope, 0.0};
    return {slope, (limit - nowOnLine) / slope};
}

namespace {

QuotaBand BandOfFigures(std::string_view exceededText, const std::optional<double>& sizeMb,
                        const std::optional<double>& limitMb,
                        const std::optional<double>& thresholdPct) {
    // Red at or over the limit, amber at or over the warning threshold and under the limit,
    // green under it. The log's Exceeded text ("Size", "Threshold") decides only where a figure
    // is missing: it names the threshold as often as the limit.
    const bool exceeded = !exceededText.empty() && exceededText != "No";
    if (!limitMb || *limitMb <= 0)
        return QuotaBand::NoLimit;
    if (!sizeMb) {
        if (!exceeded)
            return QuotaBand::Green;
        return exceededText.starts_with("Size") ? QuotaBand::Red : QuotaBand::Amber;
    }
    const double used = *sizeMb / *limitMb * 100;
    if (used >= 100)
        return QuotaBand::Red;
    if (thresholdPct ? used >= *thresholdPct : exceeded)
        return QuotaBand::Amber;
    return QuotaBand::Green;
}

}  // namespace

QuotaBand BandOf(const HistoryMailbox& m) {
    return BandOfFigures(m.exceeded, m.sizeMb, m.limitMb, m.thresholdPct);
}

namespace {

using SizeByUser = std::unordered_map<std::string, double>;

SizeByUser SizesOf(const std::vector<HistoryMailbox>& mailboxes) {
    SizeByUser sizes;
    sizes.reserve(mailboxes.size());
    for (const HistoryMailbox& m : mailboxes)
        if (m.sizeMb)
            sizes.emplace(m.username, *m.sizeMb);
    return sizes;
}

// Sets the size then and the growth of `r` from the earlier sizes (none: no earlier run).
void SetGrowth(GrowthRow& r, const SizeByUser* then) {
    r.sizeThen.reset();
    r.growthMb.reset();
    r.growthPct.reset();
    if (!then)
        return;
    if (auto it = then->find(r.username); it != then->end()) {
        r.sizeThen = it->second;
        if (r.sizeNow) {
            r.growthMb = *r.sizeNow - it->second;
            if (it->second > 0)
                r.growthPct = *r.growthMb / it->second * 100;
        }
    }
}

// Sets the size then and the growth of `r` from its earlier size (none: not in that run).
void SetGrowthFrom(GrowthRow& r, const std::optional<double>& then) {
    r.sizeThen = then;
    r.growthMb.reset();
    r.growthPct.reset();
    if (then && r.sizeNow) {
        r.growthMb = *r.sizeNow - *then;
        if (*then > 0)
            r.growthPct = *r.growthMb / *then * 100;
    }
}

// Larger growth first; of equal growth, the earlier row first (the order a stable sort keeps).
bool GrowsMore(const GrowthRow* a, const GrowthRow* b) {
    if (*a->growthMb != *b->growthMb)
        return *a->growthMb > *b->growthMb;
    return a < b;
}

// The usernames of the last run, each by the index of its first mailbox, in one open-addressed
// table: a lookup touches a slot or two instead of a node per entry.
class UsernameIndex {
  public:
    // Indexes the usernames of `now`; `who[k]` becomes the index of the first mailbox with the
    // username of mailbox k.
    UsernameIndex(const std::vector<TrendMailbox>& now, std::vector<std::uint32_t>& who)
        : now_(now) {
        who.resize(now.size());
        std::size_t size = 16;
        while (size < now.size() * 2)
            size *= 2;
        slots_.assign(size, Slot{kEmpty, 0});
        mask_ = size - 1;
        for (std::size_t k = 0; k < now.size(); ++k) {
            const std::size_t h = std::hash<std::string_view>{}(now[k].username);
            const auto tag = static_cast<std::uint32_t>(h >> 32);
            std::size_t i = h & mask_;
            for (;; i = (i + 1) & mask_) {
                Slot& slot = slots_[i];
                if (slot.index == kEmpty) {
                    slot = {static_cast<std::uint32_t>(k), tag};
                    break;
                }
                if (slot.tag == tag && now_[slot.index].username == now[k].username)
                    break;  // a later mailbox of a username already here
            }
            who[k] = slots_[i].index;
        }
    }

    std::optional<std::uint32_t> Find(std::string_view username) const {
        const std::size_t h = std::hash<std::string_view>{}(username);
        const auto tag = static_cast<std::uint32_t>(h >> 32);
        for (std::size_t i = h & mask_;; i = (i + 1) & mask_) {
            const Slot& slot = slots_[i];
            if (slot.index == kEmpty)
                return std::nullopt;
            if (slot.tag == tag && now_[slot.index].username == username)
                return slot.index;
        }
    }

  private:
    static constexpr std::uint32_t kEmpty = 0xFFFFFFFF;
    struct Slot {
        std::uint32_t index, tag;
    };
    const std::vector<TrendMailbox>& now_;
    std::vector<Slot> slots_;
    std::size_t mask_ = 0;
};

// An earlier run's mailbox that is also in the last run: the index of that username (its first
// mailbox in the last run) and its size.
struct EarlierSize {
    std::uint32_t who;
    double size;
};

}  // namespace

PostOfficeTrends ComputeTrends(std::vector<HistoryRun> runs,
                               const std::vector<std::vector<HistoryMailbox>>& mailboxesOf) {
    if (runs.empty())
        return ComputeTrends(std::move(runs), std::vector<TrendMailbox>{}, {});
    const std::vector<HistoryMailbox>& last = mailboxesOf[runs.size() - 1];
    std::vector<TrendMailbox> now;
    now.reserve(last.size());
    for (const HistoryMailbox& m : last)
        now.push_back({m.username, m.fullname, m.exceeded, m.sizeMb, m.limitMb, m.thresholdPct});
    return ComputeTrends(std::move(runs), now,
                         [&mailboxesOf](std::size_t run, const EachEarlierSize& each) {
                             for (const HistoryMailbox& m : mailboxesOf[run])
                                 each(m.username, m.sizeMb);
                         });
}

PostOfficeTrends ComputeTrends(std::vector<HistoryRun> runs, const std::vector<TrendMailbox>& now,
                               const EarlierSizes& earlier, const EachRow& each) {
    PostOfficeTrends t;
    t.runs = std::move(runs);
    if (t.runs.empty())
        return t;
    const std::size_t last = t.runs.size() - 1;
    std::vector<double> dayOf(t.runs.size());
    for (std::size_t i = 0; i <= last; ++i)
        dayOf[i] = DaysOfIso(t.runs[i].processedAt).value_or(0);
    const double today = dayOf[last];
    if (last > 0) {
        t.previous = last - 1;
        double best = 0;
        for (std::size_t i = 0; i < last; ++i) {
            const double d = std::fabs(dayOf[i] - (today - 30));
            if (!t.monthAgo || d < best) {
                t.monthAgo = i;
                best = d;
            }
        }
    }

    // Each username of the last run by the index of its first mailbox, so that the earlier runs
    // are matched by number from here on. A first run has nothing to match (and its sizes, all
    // of one day, give no projection), so each mailbox stands for itself.
    const std::size_t count = now.size();
    std::vector<std::uint32_t> who;
    std::optional<UsernameIndex> indexOf;
    if (last > 0) {
        indexOf.emplace(now, who);
    } else {
        who.resize(count);
        std::iota(who.begin(), who.end(), 0u);
    }

    // The earlier runs' sizes of the mailboxes still here; the previous run's names gone.
    std::vector<std::vector<EarlierSize>> sizesOf(last);
    std::vector<char> inPrevious(t.previous ? count : 0);
    for (std::size_t i = 0; i < last; ++i) {
        const bool isPrevious = t.previous && i == *t.previous;
        std::vector<EarlierSize>& sizes = sizesOf[i];
        earlier(i, [&](std::string_view username, std::optional<double> size) {
            const std::optional<std::uint32_t> at = indexOf->Find(username);
            if (!at) {
                if (isPrevious)
                    t.goneMailboxes.push_back({std::string(username), size});
                return;
            }
            if (isPrevious)
                inPrevious[*at] = 1;
            if (size)
                sizes.push_back({*at, *size});
        });
    }
    // A username's size in an earlier run is that of its first mailbox there with a size.
    auto sizesThen = [&](std::size_t run) {
        std::vector<std::optional<double>> then(count);
        for (const EarlierSize& e : sizesOf[run])
            if (!then[e.who])
                then[e.who] = e.size;
        return then;
    };

    std::vector<std::optional<double>> thenPrevious, thenMonthAgo;
    if (t.previous)
        thenPrevious = sizesThen(*t.previous);
    if (t.monthAgo && t.monthAgo != t.previous)
        thenMonthAgo = sizesThen(*t.monthAgo);

    // Each limited mailbox's sizes over the runs, for the projection: the points of one
    // username lie together, run after run.
    std::vector<char> limited(count);
    for (std::size_t k = 0; k < count; ++k)
        if (now[k].limitMb && *now[k].limitMb > 0)
            limited[who[k]] = 1;
    std::vector<std::size_t> start(count + 1);
    for (std::size_t i = 0; i < last; ++i)
        for (const EarlierSize& e : sizesOf[i])
            start[e.who + 1] += limited[e.who];
    for (std::size_t k = 0; k < count; ++k)
        if (now[k].sizeMb)
            start[who[k] + 1] += limited[who[k]];
    for (std::size_t u = 0; u < count; ++u)
        start[u + 1] += start[u];
    std::vector<std::pair<double, double>> points(start[count]);
    {
        std::vector<std::size_t> next(start.begin(), start.end() - 1);
        for (std::size_t i = 0; i < last; ++i)
            for (const EarlierSize& e : sizesOf[i])
                if (limited[e.who])
                    points[next[e.who]++] = {dayOf[i], e.size};
        for (std::size_t k = 0; k < count; ++k)
            if (now[k].sizeMb && limited[who[k]])
                points[next[who[k]]++] = {today, *now[k].sizeMb};
    }
    sizesOf.clear();

    // The row of mailbox k against the previous run, into `r` (whose texts keep their storage).
    std::vector<std::pair<double, double>> series;
    auto rowOf = [&](std::size_t k, GrowthRow& r) {
        const TrendMailbox& m = now[k];
        r.username.assign(m.username);
        r.fullname.assign(m.fullname);
        r.sizeNow = m.sizeMb;
        r.sizeThen.reset();
        r.growthMb.reset();
        r.growthPct.reset();
        if (t.previous)
            SetGrowthFrom(r, thenPrevious[who[k]]);
        r.limitMb.reset();
        r.usedPct.reset();
        r.daysToLimit.reset();
        r.growthPerWeekMb.reset();
        r.limitDate.clear();
        if (m.limitMb && *m.limitMb > 0) {
            r.limitMb = m.limitMb;
            if (m.sizeMb)
                r.usedPct = *m.sizeMb / *m.limitMb * 100;
            series.assign(points.begin() + static_cast<std::ptrdiff_t>(start[who[k]]),
                          points.begin() + static_cast<std::ptrdiff_t>(start[who[k] + 1]));
            const LimitProjection p = ProjectToLimit(series, *m.limitMb, today);
            r.daysToLimit = p.days;
            if (p.mbPerDay)
                r.growthPerWeekMb = *p.mbPerDay * 7;
            // The day the line reaches the limit, counted from this run's time of day.
            if (p.days && *p.days <= kLimitDateDays)
                r.limitDate = IsoDateOfDay(today + *p.days);
        }
    };

    // One pass over the mailboxes: each row is handed on (or kept), and of the rows only the
    // figures that rank them are kept, by row number.
    std::vector<std::pair<double, std::size_t>> grownSincePrevious, grownSinceMonthAgo, used,
        reaching;
    if (!each)
        t.sincePrevious.reserve(count);
    GrowthRow r;
    for (std::size_t k = 0; k < count; ++k) {
        const TrendMailbox& m = now[k];
        switch (BandOfFigures(m.exceeded, m.sizeMb, m.limitMb, m.thresholdPct)) {
            case QuotaBand::Green:
                ++t.bands.green;
                break;
            case QuotaBand::Amber:
                ++t.bands.amber;
                break;
            case QuotaBand::Red:
                ++t.bands.red;
                break;
            case QuotaBand::NoLimit:
                ++t.bands.noLimit;
                break;
        }
        rowOf(k, r);
        if (r.growthMb)
            grownSincePrevious.emplace_back(*r.growthMb, k);
        if (!thenMonthAgo.empty() && thenMonthAgo[who[k]] && m.sizeMb)
            grownSinceMonthAgo.emplace_back(*m.sizeMb - *thenMonthAgo[who[k]], k);
        if (r.usedPct)
            used.emplace_back(*r.usedPct, k);
        if (r.daysToLimit && *r.daysToLimit <= kProjectionHorizonDays && m.sizeMb &&
            *m.sizeMb < *m.limitMb)
            reaching.emplace_back(*r.daysToLimit, k);
        if (each)
            each(r);
        else
            t.sincePrevious.push_back(r);
    }

    // The `keep` largest figures, of equal figures the earlier row first (a stable order).
    auto largest = [](std::vector<std::pair<double, std::size_t>>& v, std::size_t keep) {
        keep = std::min(keep, v.size());
        std::partial_sort(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(keep), v.end(),
                          [](const auto& a, const auto& b) {
                              return a.first != b.first ? a.first > b.first : a.second < b.second;
                          });
        v.resize(keep);
    };
    auto rowsOf = [&](const std::vector<std::pair<double, std::size_t>>& ranked,
                      const std::vector<std::optional<double>>* then) {
        std::vector<GrowthRow> rows(ranked.size());
        for (std::size_t j = 0; j < ranked.size(); ++j) {
            rowOf(ranked[j].second, rows[j]);
            if (then)
                SetGrowthFrom(rows[j], (*then)[who[ranked[j].second]]);
        }
        return rows;
    };
    largest(grownSincePrevious, kTopGrowers);
    t.topSincePrevious = rowsOf(grownSincePrevious, nullptr);
    if (t.monthAgo == t.previous) {
        t.topSinceMonthAgo = t.topSincePrevious;
    } else if (t.monthAgo) {
        largest(grownSinceMonthAgo, kTopGrowers);
        t.topSinceMonthAgo = rowsOf(grownSinceMonthAgo, &thenMonthAgo);
    }
    largest(used, kFullestShown);
    t.fullest = rowsOf(used, nullptr);
    // Soonest first; of equal days, the earlier row first.
    std::stable_sort(reaching.begin(), reaching.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    t.reachingLimit = rowsOf(reaching, nullptr);

    if (t.previous)
        for (std::size_t k = 0; k < count; ++k)
            if (!inPrevious[who[k]])
                t.newMailboxes.emplace_back(now[k].username);
    return t;
}

std::vector<GrowthRow> GrowthSince(std::vector<GrowthRow> rows,
                                   const std::vector<HistoryMailbox>& earlier) {
    const SizeByUser then = SizesOf(earlier);
    for (GrowthRow& r : rows)
        SetGrowth(r, &then);
    return rows;
}

std::vector<GrowthRow> TopGrowers(const std::vector<GrowthRow>& rows, std::size_t count) {
    std::vector<const GrowthRow*> order;
    for (const GrowthRow& r : rows)
        if (r.growthMb)
            order.push_back(&r);
    const std::size_t keep = std::min(order.size(), count);
    std::partial_sort(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(keep), order.end(),
                      GrowsMore);
    std::vector<GrowthRow> top;
    top.reserve(keep);
    for (std::size_t j = 0; j < keep; ++j)
        top.push_back(*order[j]);
    return top;
}

}  // namespace k32
