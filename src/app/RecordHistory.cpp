#include "app/RecordHistory.h"

#include <sys/stat.h>

#include <ctime>
#include <exception>
#include <functional>
#include <thread>
#include <utility>

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

// The run's own figures, without its mailboxes (their count and total are set by the caller).
HistoryRun RunOf(const RunSummary& summary, const std::string& logPath) {
    HistoryRun run;
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
    return run;
}

// Fills `m` with mailbox `r`, reusing the storage of its texts.
void FillMailbox(const MailboxRecordView& r, HistoryMailbox& m) {
    m.username.assign(r.field[kUserName]);
    m.fullname.assign(r.field[kFullName]);
    m.sizeMb = FigureOf(r.field[kSize]);
    m.inbox = FigureOf(r.field[kInbox]);
    m.outbox = FigureOf(r.field[kOutbox]);
    m.wastebin = FigureOf(r.field[kWastebasket]);
    m.limitMb = FigureOf(r.field[kSizeLimit]);
    m.thresholdPct = FigureOf(r.field[kThreshold]);
    m.exceeded.assign(r.field[kExceeded]);
    m.uid.assign(r.field[kUid]);
}

// Raises, in the calling thread, what a job that ran beside it raised.
class JobBeside {
  public:
    explicit JobBeside(std::function<void()> job)
        : thread_([this, job = std::move(job)] {
              try {
                  job();
              } catch (...) {
                  error_ = std::current_exception();
              }
          }) {}
    // Waits for a job that the caller abandons (the caller is raising an error of its own).
    ~JobBeside() {
        if (thread_.joinable())
            thread_.join();
    }
    JobBeside(const JobBeside&) = delete;
    JobBeside& operator=(const JobBeside&) = delete;
    void Wait() {
        thread_.join();
        if (error_)
            std::rethrow_exception(error_);
    }

  private:
    std::exception_ptr error_;
    std::thread thread_;
};

}  // namespace

HistorySnapshot SnapshotOf(const MailboxTable& table, const RunSummary& summary,
                           const std::string& logPath) {
    HistorySnapshot snap{RunOf(summary, logPath), {}};
    snap.mailboxes.resize(table.Count());
    for (std::uint32_t i = 1; i <= table.Count(); ++i) {
        HistoryMailbox& m = snap.mailboxes[i - 1];
        FillMailbox(table.Get(i), m);
        snap.run.totalMb += m.sizeMb.value_or(0);
    }
    snap.run.mailboxes = static_cast<std::int64_t>(snap.mailboxes.size());
    return snap;
}

void RecordAndStageTrends(HistoryStore& store, const MailboxTable& table, const RunSummary& summary,
                          const std::string& logPath, const std::string& basePath,
                          const std::string& csvSeparator, PendingFiles& pending) {
    HistoryRun run = RunOf(summary, logPath);
    // What the trends read of this run's mailboxes, viewing the table's texts.
    std::vector<TrendMailbox> now;
    now.reserve(table.Count());
    for (std::uint32_t i = 1; i <= table.Count(); ++i) {
        const MailboxRecordView r = table.Get(i);
        now.push_back({r.field[kUserName], r.field[kFullName], r.field[kExceeded],
                       FigureOf(r.field[kSize]), FigureOf(r.field[kSizeLimit]),
                       FigureOf(r.field[kThreshold])});
        run.totalMb += now.back().sizeMb.value_or(0);
    }
    run.mailboxes = static_cast<std::int64_t>(now.size());

    store.Begin();
    // The earlier runs of this post office: all but the one this run replaces. This run comes
    // last, whatever its date: the trends are those of the log just read.
    std::vector<HistoryRun> ordered;
    for (HistoryRun& r : store.Runs(run.poName, run.poPath))
        if (r.processedOn != run.processedOn)
            ordered.push_back(std::move(r));
    ordered.push_back(run);
    std::vector<std::int64_t> ids;
    for (const HistoryRun& r : ordered)
        ids.push_back(r.id);
    PostOfficeTrends trends = ComputeTrends(
        std::move(ordered), now, [&store, &ids](std::size_t i, const EachEarlierSize& each) {
            store.ForEachSize(ids[i], each);
        });

    // The store records the mailboxes on a thread of its own while the trend CSV is written:
    // the two share nothing but the table, which both only read.
    std::int64_t id = 0;
    JobBeside recording([&] {
        id = store.RecordRunRows(run, table.Count(), [&table](std::size_t i, HistoryMailbox& m) {
            FillMailbox(table.Get(static_cast<std::uint32_t>(i + 1)), m);
        });
    });
    TrendsReportData data{trends, {}, csvSeparator};
    FinishedFile csv = WriteTrendsCsv(data, basePath);
    // Hands the CSV to `pending` even when the recording failed, so that it is removed.
    PendingFiles csvOnly;
    csvOnly.Add(std::move(csv));
    recording.Wait();
    trends.runs.back().id = id;

    for (const HistoryRun& last : store.LatestRuns()) {
        PostOfficeSummary p{last, std::nullopt};
        const std::vector<HistoryRun> its = store.Runs(last.poName, last.poPath);
        if (its.size() > 1)
            p.growthMb = its.back().totalMb - its[its.size() - 2].totalMb;
        data.postOffices.push_back(std::move(p));
    }
    pending.Add(WriteTrendsHtml(data, basePath));
    pending.TakeFrom(csvOnly);
}

}  // namespace k32
