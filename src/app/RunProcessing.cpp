#include "app/RunProcessing.h"

#include "analysis/Sorting.h"
#include "analysis/Totals.h"
#include "history/RecordHistory.h"
#include "logread/ExpireReader.h"
#include "logread/HeaderReader.h"
#include "logread/Keywords.h"
#include "logread/UserReaders.h"
#include "report/CsvReport.h"
#include "history/HistoryStore.h"
#include "report/MhtExpireReport.h"
#include "report/MhtMailboxReport.h"
#include "report/ResultGrid.h"
#include "state/AppState.h"
#include "state/DebugLog.h"
#include "state/ParallelJobs.h"
#include "text/Errors.h"
#include "text/PendingFiles.h"
#include "text/TextHelpers.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

namespace k32 {

namespace {

void FormReportPaths(AppState& state) {
    const std::string base = state.settings.OutputBasePath.str();
    RunSummary& sum = state.log.summary;
    sum.CsvReportPath = base + ".csv";
    sum.MhtReportPath = base + ".mht";
    sum.OutputFolder = OutputFolderOf(base);
}

// Chooses the user reader by the first three characters of the version text.
MailboxTable ReadUsersForVersion(RunContext& ctx, AppState& state) {
    const std::string path = state.settings.InputPath.str();
    std::string_view prefix = state.log.summary.versionText.view().substr(0, 3);
    if (prefix == "5.5")
        return ReadUsersGW55(ctx, path, state.keywords, state.readPlan);
    if (prefix != "6.0" && prefix != "6.5" && prefix != "7.0" && prefix != "8.0")
        AddProgressLine(ctx, "No compatible version found, trying anyway");
    return ReadUsersGW6(ctx, path, state.keywords, state.readPlan);
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
                         HistoryStore* store = nullptr, const std::string& logPath = {}) {
    // The store records the run while the reports are written.
    std::optional<HistoryRecording> recording;
    if (store)
        recording.emplace(*store, data.table, data.summary, logPath);
    PendingFiles csv, mht;
    RunJobsInOrder(ctx, {[&](RunContext& job) { StageCsvReport(job, data, csv); },
                         [&](RunContext& job) { StageMhtMailboxReport(job, data, mht); }});
    csv.TakeFrom(mht);
    if (!store) {
        csv.CommitAll();
        return;
    }
    PendingFiles trends;
    recording->Stage(data.settings.OutputBasePath.str(), data.settings.CSVSeperator.str(), trends);
    csv.TakeFrom(trends);
    csv.CommitAll([&recording] { recording->Commit(); });
}

// Once both reports are in place, the window's grid shows what the CSV report holds and the
// viewer the web report. A batch run has neither.
void ShowMailboxReports(RunContext& ctx, AppState& state) {
    if (!state.WindowMode)
        return;
    state.grid = FillResultGrid(ctx, state.log.mailboxes);
    if (state.ui.gridChanged)
        state.ui.gridChanged();
    if (state.ui.showReport)
        state.ui.showReport(state.log.summary.MhtReportPath.str());
}

void DoneWritingFiles(RunContext& ctx) {
    if (!ctx.windowMode)
        return;
    AddProgressLine(ctx, "Done writing files, check the tabs for the results");
    AddProgressLine(ctx, "");
}

// The new table replaces the last run's only once both reports are in place: until then the
// window's grid and Re-sort keep the table that matches the reports on disk.
void RunMailboxBranch(RunContext& ctx, AppState& state) {
    AddDebugLine(ctx, "Statistics detected", "yes");
    RunSummary& sum = state.log.summary;
    const LogHeader& header = state.log.header;
    sum.versionText = ReadVersion(ctx, header, state.keywords);
    sum.groupWise5 = IsGroupWise5(sum.versionText.view());
    sum.processedOn = ReadProcessedOn(ctx, header, state.keywords);
    sum.pathToPO = ReadPathToPO(ctx, header, state.keywords);
    sum.postOfficeName = ReadPostOfficeName(ctx, header, state.keywords);
    // A history store that cannot be used fails the run before the log is read.
    std::unique_ptr<HistoryStore> store;
    if (state.settings.KeepHistory)
        store = OpenHistoryStore(state.settings.HistoryFile);
    MailboxTable table = ReadUsersForVersion(ctx, state);
    SortMailboxes(ctx, table, state.settings.Sort, state.settings.SortDir);
    ComputeTotals(ctx, table, sum);
    AddProgressLine(ctx, "Done processing");
    const std::uint32_t top = SelectAboveValue(ctx, table, state.settings, state.reportTopCount);
    WriteMailboxReports(ctx, {table, sum, state.settings, ReportRows(top, table.Count())},
                        store.get(), state.settings.InputPath.str());
    state.log.mailboxes = std::move(table);
    state.reportTopCount = top;
    ShowMailboxReports(ctx, state);
    DoneWritingFiles(ctx);
}

void RunExpireBranch(RunContext& ctx, AppState& state) {
    AddProgressLine(ctx, "exp detected");
    RunSummary& sum = state.log.summary;
    state.log.expires =
        RunExpReport3(ctx, state.settings.InputPath.str(), state.keywords, state.log.header, sum);
    // The General Information table shows what this log's header gives.
    const LogHeader& header = state.log.header;
    sum.processedOn = ReadProcessedOn(ctx, header, state.keywords);
    sum.pathToPO = ReadPathToPO(ctx, header, state.keywords);
    sum.postOfficeName = ReadPostOfficeName(ctx, header, state.keywords);
    const ExpireReportData data{state.log.expires, sum, state.settings,
                                ReportRows(state.reportTopCount, state.log.expires.Count())};
    WriteMhtExpireReport(ctx, data);
    if (state.WindowMode && state.ui.showReport)
        state.ui.showReport(sum.MhtReportPath.str());
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

std::string OutputFolderOf(const std::string& basePath) {
    auto slash = basePath.rfind('/');
    if (slash == std::string::npos)
        return {};
    if (slash == 0)
        return "/";
    return basePath.substr(0, slash);
}

RunOutcome RunProcessing(AppState& state) {
    RunContext ctx = ContextOf(state);
    state.mailboxRunComplete = false;
    FormReportPaths(state);
    state.reportTopCount = state.settings.TOP;
    // Sizes belong to this run's mailbox table: a run without one shows none, rather than an
    // earlier run's figures.
    RunSummary& sum = state.log.summary;
    sum.largestSize.clear();
    sum.averageSize.clear();
    sum.totalSize.clear();
    const std::string inputPath = state.settings.InputPath.str();
    CheckLogReadable(inputPath);
    CheckOutputFolder(sum.OutputFolder.str());
    const std::uint64_t sourceFileSize = FileSizeOf(inputPath);
    if (state.WindowMode) {
        AddProgressLine(ctx, "Opening file: " + state.settings.InputPath.str());
        AddProgressLine(ctx, "Source FileSize : " + std::to_string(sourceFileSize));
    }
    state.log.header = ReadLogHeader(ctx, state.settings.InputPath.str(), state.keywords);
    DetectLogLanguage(ctx, state.log.header, state.keywords, sum);
    const bool mailbox = IsMailboxStatistics(state.log.header, state.keywords);
    const bool expire = IsExpireStatistics(state.log.header, state.keywords);
    if (mailbox)
        RunMailboxBranch(ctx, state);
    if (expire)
        RunExpireBranch(ctx, state);
    state.mailboxRunComplete = mailbox;
    if (mailbox || expire)
        return RunOutcome::ReportsWritten;

    AddDebugLine(ctx, "Statistics detected", "no");
    if (state.WindowMode) {
        ShowMessage(state, "No statistics detected.");
        AddProgressLine(ctx, "No statistics detected, read the manual for more information");
    }
    return RunOutcome::NoStatistics;
}

void ReSortAndRewrite(AppState& state) {
    RunContext ctx = ContextOf(state);
    MailboxTable& table = state.log.mailboxes;
    SortMailboxes(ctx, table, state.settings.Sort, state.settings.SortDir);
    WriteMailboxReports(ctx, {table, state.log.summary, state.settings,
                              ReportRows(state.reportTopCount, table.Count())});
    ShowMailboxReports(ctx, state);
}

void RunExpireReportOnly(AppState& state) {
    RunContext ctx = ContextOf(state);
    state.mailboxRunComplete = false;
    state.log.expires = RunExpReport3(ctx, state.settings.InputPath.str(), state.keywords,
                                      state.log.header, state.log.summary);
}

}  // namespace k32
