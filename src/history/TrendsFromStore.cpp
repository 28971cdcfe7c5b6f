#include "history/TrendsFromStore.h"

#include <cstdint>
#include <utility>

#include "history/TrendsReport.h"
#include "text/Cp1252Utf8.h"
#include "text/EncodingScan.h"
#include "text/FileJournal.h"
#include "text/PendingFiles.h"

namespace k32 {

std::vector<HistoryRun> EarlierRunsOf(HistoryStore& store, const HistoryRun& run) {
    std::vector<HistoryRun> runs;
    for (HistoryRun& r : store.Runs(run.poName, run.poPath))
        if (r.processedOn != run.processedOn && r.processedAt < run.processedAt)
            runs.push_back(std::move(r));
    return runs;
}

std::vector<PostOfficeSummary> PostOfficesOf(HistoryStore& store) {
    std::vector<PostOfficeSummary> out;
    for (const HistoryRun& last : store.LatestRuns()) {
        PostOfficeSummary p{last, std::nullopt};
        const std::vector<HistoryRun> its = store.Runs(last.poName, last.poPath);
        if (its.size() > 1)
            p.growthMb = its.back().totalMb - its[its.size() - 2].totalMb;
        out.push_back(std::move(p));
    }
    return out;
}

namespace {

// The store keeps texts in UTF-8 and not the encoding of the log they came from. The trend CSV
// holds the log's texts as a run writes them: Windows-1252, the encoding of nearly every log,
// unless a name has a character that Windows-1252 has not, which only a UTF-8 log can give.
TextEncoding CsvEncodingOf(const std::vector<HistoryMailbox>& mailboxes) {
    auto fits = [](const std::string& text) {
        return IsPlainAscii(text) || Utf8FromWindows1252(Windows1252FromUtf8(text)) == text;
    };
    for (const HistoryMailbox& m : mailboxes)
        if (!fits(m.username) || !fits(m.fullname))
            return TextEncoding::Utf8;
    return TextEncoding::Windows1252;
}

}  // namespace

PostOfficeTrends TrendsOfStoredRun(HistoryStore& store, const HistoryRun& run,
                                   const std::vector<HistoryMailbox>& mailboxes,
                                   const EachRow& each) {
    std::vector<HistoryRun> runs = EarlierRunsOf(store, run);
    std::vector<std::int64_t> earlierIds;
    for (const HistoryRun& r : runs)
        earlierIds.push_back(r.id);
    runs.push_back(run);
    std::vector<TrendMailbox> now;
    now.reserve(mailboxes.size());
    for (const HistoryMailbox& m : mailboxes)
        now.push_back({m.username, m.fullname, m.exceeded, m.sizeMb, m.limitMb, m.thresholdPct});
    return ComputeTrends(
        std::move(runs), now,
        [&store, &earlierIds](std::size_t i, const EachEarlierSize& eachSize) {
            store.ForEachSize(earlierIds[i], eachSize);
        },
        each);
}

void WriteTrendsFromStore(HistoryStore& store, const HistoryRun& run, const std::string& basePath,
                          const std::string& csvSeparator, const std::string& digitGroupSeparator) {
    // The run's own mailboxes are held, as the trends view their texts.
    const std::vector<HistoryMailbox> mailboxes = store.Mailboxes(run.id);
    // The CSV is written as its rows come: they are never all in memory.
    TrendsCsvWriter csvOut(basePath, csvSeparator, CsvEncodingOf(mailboxes));
    PendingFiles files;
    const PostOfficeTrends trends = TrendsOfStoredRun(
        store, run, mailboxes, [&csvOut](const GrowthRow& row) { csvOut.Add(row); });
    // The CSV is handed over at once, so that it is removed should the page fail.
    PendingFiles csv;
    csv.Add(csvOut.Finish());
    const TrendsReportData data{trends, PostOfficesOf(store), csvSeparator, digitGroupSeparator};
    files.Add(WriteTrendsHtml(data, basePath));
    files.TakeFrom(csv);
    files.SetJournal(JournalPathOf(basePath));
    files.CommitAll();
}

}  // namespace k32
