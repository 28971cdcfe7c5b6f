#include "app/RecordHistory.h"

#include <sys/stat.h>

#include <ctime>

#include "analysis/Trends.h"
#include "report/TrendsReport.h"
#include "text/LogDates.h"

namespace k32 {

namespace {

// A figure of the log ("472", "80%", "1234"); empty when there is none or it is "-1" (no
// limit).
std::optional<double> FigureOf(std::string_view text) {
    while (!text.empty() && (text.back() == '%' || text.back() == ' '))
        text.remove_suffix(1);
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    if (text.empty())
        return std::nullopt;
    bool negative = false;
    if (text.front() == '-') {
        negative = true;
        text.remove_prefix(1);
    }
    double v = 0;
    bool digits = false;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            v = v * 10 + (c - '0');
            digits = true;
        } else if (c != ',' && c != '.') {
            return std::nullopt;
        }
    }
    if (!digits || negative)
        return std::nullopt;
    return v;
}

}  // namespace

HistorySnapshot SnapshotOf(const MailboxTable& table, const RunSummary& summary,
                           const std::string& logPath) {
    HistorySnapshot snap;
    HistoryRun& run = snap.run;
    run.poName = summary.postOfficeName.str();
    run.poPath = summary.pathToPO.str();
    run.gwVersion = summary.versionText.str();
    run.language = summary.languageName.str();
    run.processedOn = summary.processedOn.str();
    run.logPath = logPath;
    struct stat st {};
    const bool haveStat = ::stat(logPath.c_str(), &st) == 0;
    run.logBytes = haveStat ? static_cast<std::int64_t>(st.st_size) : 0;
    if (auto at = ParseLogDate(run.processedOn))
        run.processedAt = *at;
    else
        run.processedAt = IsoUtc(haveStat ? st.st_mtime : std::time(nullptr));
    run.recordedAt = IsoUtc(std::time(nullptr));
    snap.mailboxes.reserve(table.Count());
    for (std::uint32_t i = 1; i <= table.Count(); ++i) {
        const MailboxRecordView r = table.Get(i);
        HistoryMailbox m;
        m.username = std::string(r.field[kUserName]);
        m.fullname = std::string(r.field[kFullName]);
        m.sizeMb = FigureOf(r.field[kSize]);
        m.inbox = FigureOf(r.field[kInbox]);
        m.outbox = FigureOf(r.field[kOutbox]);
        m.wastebin = FigureOf(r.field[kWastebasket]);
        m.limitMb = FigureOf(r.field[kSizeLimit]);
        m.thresholdPct = FigureOf(r.field[kThreshold]);
        m.exceeded = std::string(r.field[kExceeded]);
        m.uid = std::string(r.field[kUid]);
        run.totalMb += m.sizeMb.value_or(0);
        snap.mailboxes.push_back(std::move(m));
    }
    run.mailboxes = static_cast<std::int64_t>(snap.mailboxes.size());
    return snap;
}

void RecordAndStageTrends(HistoryStore& store, const HistorySnapshot& snapshot,
                          const std::string& basePath, const std::string& csvSeparator,
                          PendingFiles& pending) {
    store.Begin();
    const std::int64_t id = store.RecordRun(snapshot);
    std::vector<HistoryRun> runs = store.Runs(snapshot.run.poName, snapshot.run.poPath);
    // This run last, whatever its date: the trends are those of the log just read.
    std::vector<HistoryRun> ordered;
    for (const HistoryRun& r : runs)
        if (r.id != id)
            ordered.push_back(r);
    HistoryRun self = snapshot.run;
    self.id = id;
    ordered.push_back(self);
    std::vector<std::vector<HistoryMailbox>> mailboxesOf;
    mailboxesOf.reserve(ordered.size());
    for (std::size_t i = 0; i + 1 < ordered.size(); ++i)
        mailboxesOf.push_back(store.Mailboxes(ordered[i].id));
    mailboxesOf.push_back(snapshot.mailboxes);
    const PostOfficeTrends trends = ComputeTrends(std::move(ordered), mailboxesOf);

    TrendsReportData data{trends, {}, csvSeparator};
    for (const HistoryRun& last : store.LatestRuns()) {
        PostOfficeSummary p{last, std::nullopt};
        const std::vector<HistoryRun> its = store.Runs(last.poName, last.poPath);
        if (its.size() > 1)
            p.growthMb = its.back().totalMb - its[its.size() - 2].totalMb;
        data.postOffices.push_back(std::move(p));
    }
    StageTrendsReports(data, basePath, pending);
}

}  // namespace k32
