#include "analysis/Trends.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <unordered_map>
#include <unordered_set>

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

std::optional<double> DaysToLimit(const std::vector<std::pair<double, double>>& points,
                                  double limit, double today) {
    if (points.size() < kProjectionMinRuns)
        return std::nullopt;
    double minDay = points.front().first, maxDay = minDay, sx = 0, sy = 0;
    for (const auto& [x, y] : points) {
        minDay = std::min(minDay, x);
        maxDay = std::max(maxDay, x);
        sx += x;
        sy += y;
    }
    if (maxDay - minDay < kProjectionMinDays)
        return std::nullopt;
    const double n = static_cast<double>(points.size()), mx = sx / n, my = sy / n;
    double sxx = 0, sxy = 0;
    for (const auto& [x, y] : points) {
        sxx += (x - mx) * (x - mx);
        sxy += (x - mx) * (y - my);
    }
    const double slope = sxy / sxx;  // MB per day
    if (!(slope > 0))
        return std::nullopt;
    const double nowOnLine = my + slope * (today - mx);
    if (nowOnLine >= limit)
        return 0.0;
    return (limit - nowOnLine) / slope;
}

QuotaBand BandOf(const HistoryMailbox& m) {
    const bool exceeded = !m.exceeded.empty() && m.exceeded != "No";
    if (!m.limitMb || *m.limitMb <= 0)
        return exceeded ? QuotaBand::Red : QuotaBand::NoLimit;
    const double used = m.sizeMb.value_or(0) / *m.limitMb * 100;
    if (exceeded || used >= 100)
        return QuotaBand::Red;
    if (m.thresholdPct && used >= *m.thresholdPct)
        return QuotaBand::Amber;
    return QuotaBand::Green;
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

std::vector<GrowthRow> GrowthAgainst(const std::vector<HistoryMailbox>& now,
                                     const SizeByUser* then) {
    std::vector<GrowthRow> rows;
    rows.reserve(now.size());
    for (const HistoryMailbox& m : now) {
        GrowthRow r{m.username, m.fullname, {}, m.sizeMb, {}, {}, {}, {}, {}};
        SetGrowth(r, then);
        if (m.limitMb && *m.limitMb > 0) {
            r.limitMb = m.limitMb;
            if (m.sizeMb)
                r.usedPct = *m.sizeMb / *m.limitMb * 100;
        }
        rows.push_back(std::move(r));
    }
    return rows;
}

}  // namespace

PostOfficeTrends ComputeTrends(std::vector<HistoryRun> runs,
                               const std::vector<std::vector<HistoryMailbox>>& mailboxesOf) {
    PostOfficeTrends t;
    t.runs = std::move(runs);
    if (t.runs.empty())
        return t;
    const std::size_t last = t.runs.size() - 1;
    const std::vector<HistoryMailbox>& now = mailboxesOf[last];
    const double today = DaysOfIso(t.runs[last].processedAt).value_or(0);
    if (last > 0) {
        t.previous = last - 1;
        double best = 0;
        for (std::size_t i = 0; i < last; ++i) {
            const double d = std::fabs(DaysOfIso(t.runs[i].processedAt).value_or(0) - (today - 30));
            if (!t.monthAgo || d < best) {
                t.monthAgo = i;
                best = d;
            }
        }
    }
    SizeByUser prev, month;
    if (t.previous)
        prev = SizesOf(mailboxesOf[*t.previous]);
    if (t.monthAgo)
        month = SizesOf(mailboxesOf[*t.monthAgo]);
    t.sincePrevious = GrowthAgainst(now, t.previous ? &prev : nullptr);
    t.sinceMonthAgo = GrowthAgainst(now, t.monthAgo ? &month : nullptr);

    // Each mailbox's sizes over the runs, for the projection.
    std::unordered_map<std::string, std::vector<std::pair<double, double>>> series;
    series.reserve(now.size());
    for (const HistoryMailbox& m : now)
        series[m.username];
    for (std::size_t i = 0; i <= last; ++i) {
        const double day = DaysOfIso(t.runs[i].processedAt).value_or(0);
        for (const HistoryMailbox& m : mailboxesOf[i])
            if (m.sizeMb)
                if (auto it = series.find(m.username); it != series.end())
                    it->second.emplace_back(day, *m.sizeMb);
    }
    for (std::size_t k = 0; k < now.size(); ++k) {
        const HistoryMailbox& m = now[k];
        switch (BandOf(m)) {
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
        if (!m.limitMb || *m.limitMb <= 0)
            continue;
        const auto days = DaysToLimit(series[m.username], *m.limitMb, today);
        t.sincePrevious[k].daysToLimit = days;
        t.sinceMonthAgo[k].daysToLimit = days;
        if (days && *days <= kProjectionHorizonDays && m.sizeMb && *m.sizeMb < *m.limitMb)
            t.reachingLimit.push_back(t.sincePrevious[k]);
    }
    std::stable_sort(
        t.reachingLimit.begin(), t.reachingLimit.end(),
        [](const GrowthRow& a, const GrowthRow& b) { return *a.daysToLimit < *b.daysToLimit; });
    if (t.previous) {
        std::unordered_set<std::string> inNow, inPrev;
        for (const HistoryMailbox& m : now)
            inNow.insert(m.username);
        for (const HistoryMailbox& m : mailboxesOf[*t.previous]) {
            inPrev.insert(m.username);
            if (!inNow.count(m.username))
                t.goneMailboxes.push_back(m.username);
        }
        for (const HistoryMailbox& m : now)
            if (!inPrev.count(m.username))
                t.newMailboxes.push_back(m.username);
    }
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
    std::vector<GrowthRow> top;
    for (const GrowthRow& r : rows)
        if (r.growthMb)
            top.push_back(r);
    std::stable_sort(top.begin(), top.end(), [](const GrowthRow& a, const GrowthRow& b) {
        return *a.growthMb > *b.growthMb;
    });
    if (top.size() > count)
        top.resize(count);
    return top;
}

}  // namespace k32
