#include "app/RunProcessing.h"

#include "analysis/Sorting.h"
#include "analysis/Totals.h"
#include "state/AppState.h"
#include "state/DebugLog.h"
#include "logread/ExpireReader.h"
#include "logread/HeaderReader.h"
#include "logread/Keywords.h"
#include "logread/UserReaders.h"
#include "report/CsvReport.h"
#include "report/MhtExpireReport.h"
#include "report/MhtMailboxReport.h"
#include "text/PendingFiles.h"
#include "text/TextHelpers.h"

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
void ReadUsersForVersion(AppState& state) {
    std::string_view prefix = state.log.summary.versionText.view().substr(0, 3);
    if (prefix == "5.5") {
        ReadUsersGW55(state);
        return;
    }
    if (prefix != "6.0" && prefix != "6.5" && prefix != "7.0" && prefix != "8.0")
        AddProgressLine(state, "No compatible version found, trying anyway");
    ReadUsersGW6(state);
}

// Both reports go to temporary files first and replace the previous pair together: a run that
// fails on the way leaves both previous reports, never a new CSV beside an old web report.
void WriteMailboxReports(AppState& state) {
    PendingFiles pending;
    StageCsvReport(state, pending);
    StageMhtMailboxReport(state, pending);
    pending.CommitAll();
}

void DoneWritingFiles(AppState& state) {
    if (!state.WindowMode)
        return;
    AddProgressLine(state, "Done writing files, check the tabs for the results");
    AddProgressLine(state, "");
}

void RunMailboxBranch(AppState& state) {
    AddDebugLine(state, "Statistics detected", "yes");
    RunSummary& sum = state.log.summary;
    sum.versionText = ReadVersion(state);
    sum.processedOn = ReadProcessedOn(state);
    sum.pathToPO = ReadPathToPO(state);
    sum.postOfficeName = ReadPostOfficeName(state);
    ReadUsersForVersion(state);
    SortMailboxes(state, state.settings.Sort, state.settings.SortDir);
    ComputeTotals(state);
    AddProgressLine(state, "Done processing");
    SelectAboveValue(state);
    WriteMailboxReports(state);
    DoneWritingFiles(state);
}

void RunExpireBranch(AppState& state) {
    AddProgressLine(state, "exp detected");
    RunExpReport3(state);
    // The General Information table shows what this log's header gives.
    RunSummary& sum = state.log.summary;
    sum.processedOn = ReadProcessedOn(state);
    sum.pathToPO = ReadPathToPO(state);
    sum.postOfficeName = ReadPostOfficeName(state);
    WriteMhtExpireReport(state);
    DoneWritingFiles(state);
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
    FormReportPaths(state);
    state.log.count = 0;
    state.reportTopCount = state.settings.TOP;
    // Sizes belong to this run's mailbox table: a run without one shows none, rather than an
    // earlier run's figures.
    RunSummary& sum = state.log.summary;
    sum.largestSize.clear();
    sum.averageSize.clear();
    sum.totalSize.clear();
    const std::uint64_t sourceFileSize = FileSizeOf(state.settings.InputPath.str());
    if (state.WindowMode) {
        AddProgressLine(state, "Opening file: " + state.settings.InputPath.str());
        AddProgressLine(state, "Source FileSize : " + std::to_string(sourceFileSize));
    }
    ReadLogHeader(state);
    DetectLogLanguage(state);
    const bool mailbox = IsMailboxStatistics(state);
    const bool expire = IsExpireStatistics(state);
    if (mailbox)
        RunMailboxBranch(state);
    if (expire)
        RunExpireBranch(state);
    if (mailbox || expire)
        return RunOutcome::ReportsWritten;

    AddDebugLine(state, "Statistics detected", "no");
    if (state.WindowMode) {
        ShowMessage(state, "No statistics detected.");
        AddProgressLine(state, "No statistics detected, read the manual for more information");
    }
    return RunOutcome::NoStatistics;
}

void ReSortAndRewrite(AppState& state) {
    // The record count is shared with the expire table: after an expire run it counts expire
    // records. Re-sort works on the mailbox table and its own rows.
    state.log.count = state.log.mailboxes.Slots() - 1;
    SortMailboxes(state, state.settings.Sort, state.settings.SortDir);
    WriteMailboxReports(state);
}

}  // namespace k32
