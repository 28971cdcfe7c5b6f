#include "history/RecordHistory.h"

#include <unistd.h>

#include <cstdlib>

#include <atomic>
#include <chrono>
#include <deque>
#include <exception>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <utility>

#include "history/ConnectionString.h"
#include "history/HistoryRows.h"
#include "history/Trends.h"
#include "history/TrendsFromStore.h"
#include "history/TrendsReport.h"
#include "state/DebugLog.h"
#include "state/StopCheck.h"
#include "text/BackgroundJob.h"
#include "text/Cp1252Utf8.h"
#include "text/LogDates.h"

namespace k32 {

// The usernames and sizes of one earlier run, read before the store starts recording.
struct EarlierRun {
    std::string names;                  // the usernames one after the other
    std::vector<std::size_t> nameEnds;  // where each ends in `names`
    std::vector<std::optional<double>> sizes;
};

struct HistoryRecording::State {
    HistoryStore& store;
    const MailboxTable& table;
    TextEncoding encoding;  // of the log the table was read from
    HistoryRun run;
    std::vector<HistoryRun> runs;  // the earlier runs, then this one
    std::vector<EarlierRun> earlier;
    std::promise<void> earlierRead;     // `earlier` is filled (or could not be read)
    std::atomic<bool> waiting = false;  // for another recording that holds the store
    std::int64_t id = 0;
    // Rolled back, unless committed, once the recording thread has been waited for.
    std::optional<HistoryStore::Transaction> write;
    BackgroundJob recording;
};

HistoryRecording::HistoryRecording(HistoryStore& store, const MailboxTable& table,
                                   const RunSummary& summary, const std::string& logPath)
    : state_(new State{store,
                       table,
                       summary.encoding,
                       RunOf(summary, table, logPath),
                       {},
                       {},
                       {},
                       false,
                       0,
                       {},
                       {}}) {
    State& s = *state_;

    // From here the store is the recording thread's alone, until Stage waits for it. The
    // thread first reads what the trends need of the earlier runs, without holding the store,
    // then takes the store's write lock (waiting for another recording that holds it) and
    // records this run. A run that fails or is stopped destroys the recording, which stops this
    // thread within a few hundred rows.
    s.recording.Start([&s](std::stop_token stop) {
        try {
            ReadEarlierRuns(s, stop);
            s.store.SetWaiting([&s] { s.waiting = true; }, stop);
            try {
                s.write.emplace(s.store.Begin());
            } catch (...) {
                s.store.SetWaiting({}, {});
                throw;
            }
            // The notice refers to this recording, which the store may outlive.
            s.store.SetWaiting({}, {});
            // Another recording of this post office may have got in meanwhile: the trends
            // then compare with the runs as the store holds them now.
            std::vector<HistoryRun> read(s.runs.begin(), s.runs.end() - 1);
            if (EarlierRunsOf(s.store, s.run) != read)
                ReadEarlierRuns(s, stop);
        } catch (...) {
            s.earlierRead.set_exception(std::current_exception());
            throw;
        }
        s.earlierRead.set_value();
        s.id = RecordMailboxes(*s.write, s.run, s.table, s.encoding, stop);
    });
}

HistoryRecording::~HistoryRecording() = default;

// Reads the earlier runs and the usernames and sizes of their mailboxes. This run comes last: the
// trends are those of the log just read, at its date.
void HistoryRecording::ReadEarlierRuns(State& s, std::stop_token stop) {
    s.runs = EarlierRunsOf(s.store, s.run);
    s.earlier.assign(s.runs.size(), {});
    s.runs.push_back(s.run);
    for (std::size_t i = 0; i + 1 < s.runs.size(); ++i) {
        EarlierRun& e = s.earlier[i];
        s.store.ForEachSize(s.runs[i].id,
                            [&e, &stop](std::string_view username, std::optional<double> mb) {
                                if (e.sizes.size() % 256 == 0 && stop.stop_requested())
                                    throw RunStopped{};
                                e.names.append(username);
                                e.nameEnds.push_back(e.names.size());
                                e.sizes.push_back(mb);
                            });
    }
}

void HistoryRecording::Stage(RunContext& ctx, const std::string& basePath,
                             const std::string& csvSeparator, PendingFiles& pending,
                             const std::string& digitGroupSeparator) {
    State& s = *state_;
    // What the trends read of this run's mailboxes, viewing the table's texts. They meet the
    // earlier runs' texts, which the store holds as the history's UTF-8: a text that is not
    // plain ASCII is viewed in that form, kept in `converted` for the call.
    std::vector<TrendMailbox> now;
    std::deque<std::string> converted;
    auto historyView = [&](std::string_view text) -> std::string_view {
        if (IsPlainAscii(text))
            return text;
        return converted.emplace_back(HistoryText(text, s.encoding));
    };
    now.reserve(s.table.Count());
    for (std::uint32_t i = 1; i <= s.table.Count(); ++i) {
        const MailboxRecordView r = s.table.Get(i);
        now.push_back({historyView(r.field[kUserName]), historyView(r.field[kFullName]),
                       historyView(r.field[kExceeded]), FigureOf(r.field[kSize]),
                       FigureOf(r.field[kSizeLimit]), FigureOf(r.field[kThreshold])});
    }
    // A run's date is always a real time: the log's, or else its file's, which is said.
    if (!ParseLogDate(s.run.processedOn)) {
        const std::string line =
            "The log gives no date: the run is recorded at its file's time, " + s.run.processedAt;
        AddProgressLine(ctx, line);
        AddDebugLine(ctx, "History", line);
    }
    std::future<void> earlierRead = s.earlierRead.get_future();
    while (earlierRead.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
        if (s.waiting.exchange(false)) {
            AddProgressLine(ctx, "Waiting for another run that is recording into the history");
            AddDebugLine(ctx, "History", "waiting for another run that is recording into it");
        }
        StopIfAsked(ctx);
    }
    earlierRead.get();
    // The CSV is written as its rows come: they are never all in memory.
    // The CSV, beside the run's CSV report, holds the names in the log's own bytes.
    TrendsCsvWriter csvOut(basePath, csvSeparator, s.encoding);
    PostOfficeTrends trends = ComputeTrends(
        std::move(s.runs), now,
        [&s](std::size_t run, const EachEarlierSize& each) {
            const EarlierRun& e = s.earlier[run];
            std::size_t from = 0;
            for (std::size_t k = 0; k < e.sizes.size(); ++k) {
                each(std::string_view(e.names).substr(from, e.nameEnds[k] - from), e.sizes[k]);
                from = e.nameEnds[k];
            }
        },
        [&csvOut](const GrowthRow& row) { csvOut.Add(row); });
    s.earlier.clear();
    TrendsReportData data{trends, {}, csvSeparator, digitGroupSeparator};
    // Handed to `pending` at once, so that the file is removed when the recording failed.
    PendingFiles csv;
    csv.Add(csvOut.Finish());

    s.recording.Wait();
    trends.runs.back().id = s.id;
    data.postOffices = PostOfficesOf(s.store);
    pending.Add(WriteTrendsHtml(data, basePath));
    pending.TakeFrom(csv);
}

void HistoryRecording::Commit() {
    state_->write->Commit();
}

HistoryRun HistoryRecording::Recorded() const {
    HistoryRun run = state_->run;
    run.id = state_->id;
    return run;
}

namespace {

// The store as the journal names it: a file by its absolute path (the next run may start in
// another folder), a server without the password.
std::string StoreKey(const std::string& location) {
    if (location.empty())
        return DefaultHistoryFile();
    if (IsServerLocation(location))
        return ConnectionStringWithoutPassword(location);
    if (location.front() == '/')
        return location;
    char* cwd = ::getcwd(nullptr, 0);
    std::string absolute = cwd ? std::string(cwd) + "/" + location : location;
    std::free(cwd);
    return absolute;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> JournalFacts(const std::string& location,
                                                              const HistoryRun& recorded) {
    return {{"store", StoreKey(location)},          {"run-id", std::to_string(recorded.id)},
            {"po-name", recorded.poName},           {"po-path", recorded.poPath},
            {"processed-on", recorded.processedOn}, {"recorded-at", recorded.recordedAt}};
}

std::string JournalStore(const FileJournal& journal) {
    return journal.Fact("store");
}

bool JournalRunRecorded(const FileJournal& journal, const std::string& currentLocation) {
    const std::string store = journal.Fact("store");
    const bool current = store == StoreKey(currentLocation);
    // A file that is gone holds nothing; it is not created to be asked.
    if (!IsServerLocation(store) && ::access(store.c_str(), F_OK) != 0)
        return false;
    const std::unique_ptr<HistoryStore> opened =
        OpenHistoryStore(current ? currentLocation : store);
    HistoryRun run;
    run.id = std::strtoll(journal.Fact("run-id").c_str(), nullptr, 10);
    run.poName = journal.Fact("po-name");
    run.poPath = journal.Fact("po-path");
    run.processedOn = journal.Fact("processed-on");
    run.recordedAt = journal.Fact("recorded-at");
    return opened->HoldsRun(run);
}

}  // namespace k32
