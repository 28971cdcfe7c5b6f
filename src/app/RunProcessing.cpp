#include "app/RunProcessing.h"

#include "analysis/Sorting.h"
#include "analysis/Totals.h"
#include "history/ConnectionString.h"
#include "history/HistoryStore.h"
#include "history/RecordHistory.h"
#include "logread/ExpireReader.h"
#include "logread/HeaderReader.h"
#include "logread/Keywords.h"
#include "logread/UserReaders.h"
#include "report/CsvReport.h"
#include "report/MhtExpireReport.h"
#include "report/MhtMailboxReport.h"
#include "report/ResultGrid.h"
#include "state/DebugLog.h"
#include "state/KeywordTable.h"
#include "state/ParallelJobs.h"
#include "state/StopCheck.h"
#include "text/Errors.h"
#include "text/FileJournal.h"
#include "text/PendingFiles.h"
#include "text/TemporaryFiles.h"
#include "text/TextHelpers.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

namespace k32 {

RunRequest MakeRunRequest(const ReportSettings& settings, bool windowMode) {
    RunRequest request;
    request.settings = settings;
    request.inputPath = settings.InputPath.str();
    request.basePath = settings.OutputBasePath.str();
    request.history = {settings.KeepHistory, settings.HistoryFile};
    request.windowMode = windowMode;
    return request;
}

namespace {

void FormReportPaths(const std::string& base, RunSummary& sum) {
    sum.CsvReportPath = base + ".csv";
    sum.MhtReportPath = base + ".mht";
    sum.OutputFolder = OutputFolderOf(base);
}

// Both reports are written at the same time, each on its own thread into its own temporary
// file, and then replace the previous pair together: a run that fails on the way leaves both
// previous reports, never a new CSV beside an old web report.
//
// With history kept, the run's snapshot is recorded in an open transaction and the trend
// reports are staged beside them; the transaction commits only once every file is in place, and
// a failed commit puts the previous files back. So a run records its snapshot and replaces its
// reports, or does neither.
void WriteMailboxReports(RunContext& ctx, const MailboxReportData& data,
                         const std::string& basePath, HistoryStore* store = nullptr,
                         const std::string& logPath = {}, const std::string& storeLocation = {}) {
    // The store records the run while the reports are written.
    std::optional<HistoryRecording> recording;
    if (store)
        recording.emplace(*store, data.table, data.summary, logPath);
    PendingFiles csv, mht;
    RunJobsInOrder(ctx, {[&](RunContext& job) { StageCsvReport(job, data, csv); },
                         [&](RunContext& job) { StageMhtMailboxReport(job, data, mht); }});
    csv.TakeFrom(mht);
    // A stop asked for up to here leaves every earlier file and record as it was.
    StopIfAsked(ctx);
    if (!store) {
        csv.SetJournal(JournalPathOf(basePath));
        csv.CommitAll();
        return;
    }
    PendingFiles trends;
    recording->Stage(ctx, basePath, data.settings.CSVSeperator.str(), trends,
                     data.settings.DECSeperator.str());
    csv.TakeFrom(trends);
    StopIfAsked(ctx);
    // The record commits first, then the files follow; the journal lets the next run finish
    // the files (or remove them, when the record did not get in) after a kill in between.
    // Where the record and the trend reports go. The debug log says it before the commit: a
    // debug log that fails then fails the run before anything changed, never after.
    const std::string where = storeLocation.empty() ? DefaultHistoryFile()
                              : IsServerLocation(storeLocation)
                                  ? ConnectionStringWithoutPassword(storeLocation)
                                  : storeLocation;
    const std::string trendFiles = basePath + "-trends.html, " + basePath + "-trends.csv";
    AddDebugLine(ctx, "Recording the run into", where);
    AddDebugLine(ctx, "Trend reports", trendFiles);
    csv.SetJournal(JournalPathOf(basePath), JournalFacts(storeLocation, recording->Recorded()));
    csv.CommitAll([&recording] { recording->Commit(); });
    AddProgressLine(ctx, "Recorded in the history: " + where);
    AddProgressLine(ctx, "Trend reports written: " + trendFiles);
}

// The four files a mailbox run may write at `basePath`.
std::vector<std::string> ReportTargets(const std::string& basePath) {
    return {basePath + ".csv", basePath + ".mht", basePath + "-trends.html",
            basePath + "-trends.csv"};
}

void SayRecovered(RunContext& ctx, const std::string& line) {
    AddProgressLine(ctx, line);
    AddDebugLine(ctx, "Recovery", line);
    if (ctx.notice)
        ctx.notice(line);
}

}  // namespace

void RecoverInterruptedRun(RunContext& ctx, const std::string& basePath,
                           const std::string& historyLocation) {
    const std::vector<std::string> targets = ReportTargets(basePath);
    const std::string journal = JournalPathOf(basePath);
    std::string unasked;
    const Recovery done = RecoverFiles(journal, targets, [&](const FileJournal& j) {
        try {
            return JournalRunRecorded(j, historyLocation);
        } catch (const KestramaError& e) {
            unasked = JournalStore(j) + " (" + e.what() + ")";
            return false;
        }
    });
    switch (done) {
        case Recovery::None:
            break;
        case Recovery::Finished:
            SayRecovered(ctx, "An interrupted run's reports were put in place: " + basePath);
            break;
        case Recovery::Undone:
            SayRecovered(ctx,
                         unasked.empty()
                             ? "An interrupted run's unfinished reports were removed, as the "
                               "history does not hold its run: " +
                                   basePath
                             : "An interrupted run's unfinished reports were removed, as the "
                               "history database could not be asked whether it holds the run: " +
                                   unasked);
            break;
        case Recovery::Unreadable:
            SayRecovered(ctx,
                         "A journal beside the reports was not followed, as it is damaged or "
                         "not this user's: " +
                             journal);
            break;
    }
    std::vector<std::string> mine = targets;
    mine.push_back(journal);
    for (const std::string& removed : RemoveStaleTemporaries(mine))
        AddDebugLine(ctx, "Removed a stale temporary file", removed);
}

namespace {

void RecoverInterruptedRun(RunContext& ctx, const RunRequest& request) {
    RecoverInterruptedRun(ctx, request.basePath, request.history.location);
}

// Points the readers' encoding scan of `ctx` at evidence of its own while it lives; the run's
// encoding is what the readers saw.
class EncodingScope {
  public:
    explicit EncodingScope(RunContext& ctx) : ctx_(ctx), before_(ctx.encodingSeen) {
        ctx.encodingSeen = &seen_;
    }
    ~EncodingScope() { ctx_.encodingSeen = before_; }
    EncodingScope(const EncodingScope&) = delete;
    EncodingScope& operator=(const EncodingScope&) = delete;
    TextEncoding Encoding() const { return seen_.Encoding(); }

  private:
    RunContext& ctx_;
    EncodingEvidence* before_;
    EncodingEvidence seen_;
};

void DoneWritingFiles(RunContext& ctx) {
    if (!ctx.windowMode)
        return;
    AddProgressLine(ctx, "Done writing files, check the tabs for the results");
    AddProgressLine(ctx, "");
}

// The window's grid shows what the CSV report holds; a batch run has none.
void FillGridOf(RunContext& ctx, RunResult& result) {
    if (ctx.windowMode)
        result.grid = FillResultGrid(ctx, result.log.mailboxes);
}

void RunMailboxBranch(RunContext& ctx, const RunRequest& request, const KeywordTable& keywords,
                      RunResult& result) {
    AddDebugLine(ctx, "Statistics detected", "yes");
    RunSummary& sum = result.log.summary;
    const LogHeader& header = result.log.header;
    ReadMailboxHeader(ctx, header, keywords, sum);
    // A history store that cannot be used fails the run before the log is read.
    std::unique_ptr<HistoryStore> store;
    if (request.history.keep)
        store = OpenHistoryStore(request.history.location);
    MailboxTable table = ReadMailboxes(ctx, request.inputPath, keywords, sum, request.readPlan);
    SortMailboxes(ctx, table, request.settings.Sort, request.settings.SortDir);
    ComputeTotals(ctx, table, sum);
    AddProgressLine(ctx, "Done processing");
    const std::uint32_t top = SelectAboveValue(ctx, table, request.settings, result.topCount);
    WriteMailboxReports(ctx, {table, sum, request.settings, ReportRows(top, table.Count())},
                        request.basePath, store.get(), request.inputPath, request.history.location);
    result.log.mailboxes = std::move(table);
    result.topCount = top;
    result.historyRecorded = store != nullptr;
    FillGridOf(ctx, result);
    DoneWritingFiles(ctx);
}

void RunExpireBranch(RunContext& ctx, const RunRequest& request, KeywordTable& keywords,
                     RunResult& result) {
    AddProgressLine(ctx, "exp detected");
    RunSummary& sum = result.log.summary;
    {
        EncodingScope scan(ctx);
        result.log.expires =
            RunExpReport3(ctx, request.inputPath, keywords, result.log.header, sum);
        sum.encoding = scan.Encoding();
    }
    // The General Information table shows what this log's header gives.
    const LogHeader& header = result.log.header;
    sum.processedOn = ReadProcessedOn(ctx, header, keywords);
    sum.pathToPO = ReadPathToPO(ctx, header, keywords);
    sum.postOfficeName = ReadPostOfficeName(ctx, header, keywords);
    const ExpireReportData data{result.log.expires, sum, request.settings,
                                ReportRows(result.topCount, result.log.expires.Count())};
    WriteMhtExpireReport(ctx, data);
    DoneWritingFiles(ctx);
}

// The reports' folder must exist before the log is read: a mistyped destination fails at once,
// not after reading a large log. An empty folder is the working folder.
void CheckOutputFolder(const std::string& folder) {
    if (folder.empty())
        return;
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        throw KestramaError(ErrorKind::InputOutput, "Path not found", folder);
}

// Opens the log once for reading, so that a log that cannot be read is reported before the
// reports' folder is looked at. (Without blocking: a FIFO without a writer is refused when it
// is read.)
void CheckLogReadable(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        ThrowIoError(errno, path);
    ::close(fd);
}

}  // namespace

void ReadMailboxHeader(RunContext& ctx, const LogHeader& header, const KeywordTable& keywords,
                       RunSummary& sum) {
    sum.versionText = ReadVersion(ctx, header, keywords);
    sum.groupWise5 = IsGroupWise5(sum.versionText.view());
    sum.processedOn = ReadProcessedOn(ctx, header, keywords);
    sum.pathToPO = ReadPathToPO(ctx, header, keywords);
    sum.postOfficeName = ReadPostOfficeName(ctx, header, keywords);
}

// The reader is chosen by the first three characters of the version text.
MailboxTable ReadMailboxes(RunContext& ctx, const std::string& path, const KeywordTable& keywords,
                           RunSummary& sum, const ReadPlan& plan) {
    EncodingScope scan(ctx);
    std::string_view prefix = sum.versionText.view().substr(0, 3);
    MailboxTable table;
    if (prefix == "5.5") {
        table = ReadUsersGW55(ctx, path, keywords, plan);
    } else {
        if (prefix != "6.0" && prefix != "6.5" && prefix != "7.0" && prefix != "8.0")
            AddProgressLine(ctx, "No compatible version found, trying anyway");
        table = ReadUsersGW6(ctx, path, keywords, plan);
    }
    sum.encoding = scan.Encoding();
    return table;
}

std::string OutputFolderOf(const std::string& basePath) {
    auto slash = basePath.rfind('/');
    if (slash == std::string::npos)
        return {};
    if (slash == 0)
        return "/";
    return basePath.substr(0, slash);
}

RunResult RunProcessing(const RunRequest& request, RunContext& ctx) {
    RunResult result;
    RunSummary& sum = result.log.summary;
    FormReportPaths(request.basePath, sum);
    result.topCount = request.settings.TOP;
    CheckLogReadable(request.inputPath);
    CheckOutputFolder(sum.OutputFolder.str());
    RecoverInterruptedRun(ctx, request);
    const std::uint64_t sourceFileSize = FileSizeOf(request.inputPath);
    if (ctx.windowMode) {
        AddProgressLine(ctx, "Opening file: " + request.inputPath);
        AddProgressLine(ctx, "Source FileSize : " + std::to_string(sourceFileSize));
    }
    KeywordTable keywords = EnglishKeywordTable();
    result.log.header = ReadLogHeader(ctx, request.inputPath, keywords);
    DetectLogLanguage(ctx, result.log.header, keywords, sum);
    const bool mailbox = IsMailboxStatistics(result.log.header, keywords);
    const bool expire = IsExpireStatistics(result.log.header, keywords);
    if (mailbox)
        RunMailboxBranch(ctx, request, keywords, result);
    if (expire)
        RunExpireBranch(ctx, request, keywords, result);
    result.mailboxRun = mailbox;
    result.expireRun = expire;
    if (mailbox || expire) {
        result.outcome = RunOutcome::ReportsWritten;
        return result;
    }
    AddDebugLine(ctx, "Statistics detected", "no");
    result.outcome = RunOutcome::NoStatistics;
    return result;
}

RunResult ReSortAndRewrite(const RunRequest& request, RunContext& ctx) {
    const RunResult& last = *request.resortOf;
    RunResult result;
    result.outcome = RunOutcome::ReportsWritten;
    result.mailboxRun = true;
    result.log.header = last.log.header;
    result.log.summary = last.log.summary;
    result.topCount = last.topCount;
    result.log.mailboxes = last.log.mailboxes.Clone();
    MailboxTable& table = result.log.mailboxes;
    RecoverInterruptedRun(ctx, request);
    SortMailboxes(ctx, table, request.settings.Sort, request.settings.SortDir);
    WriteMailboxReports(
        ctx,
        {table, result.log.summary, request.settings, ReportRows(result.topCount, table.Count())},
        request.basePath);
    FillGridOf(ctx, result);
    return result;
}

RunResult RunExpireReportOnly(const RunRequest& request, RunContext& ctx) {
    RunResult result;
    KeywordTable keywords = EnglishKeywordTable();
    result.log.expires =
        RunExpReport3(ctx, request.inputPath, keywords, result.log.header, result.log.summary);
    return result;
}

}  // namespace k32
