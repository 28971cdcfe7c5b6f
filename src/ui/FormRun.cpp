// Runs from the window: "Go", "Re-sort" and the hidden "Special" button. A run is a value: its
// request is made once, when the button is pressed, and the run goes on a thread of its own
// while the window stays live. Its lines reach the Log tab through a queue; once it has ended,
// the window shows its result. Meanwhile nothing can start a second run or change the paths,
// and closing the window stops the run before the program ends.

#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

#include "app/AppState.h"
#include "app/CommandLine.h"
#include "app/RunProcessing.h"
#include "app/RunThread.h"
#include "history/ConnectionString.h"
#include "history/HistoryStore.h"
#include "state/DebugLog.h"
#include "text/Errors.h"
#include "ui/AdvancedPage.h"
#include "ui/Form1.h"
#include "ui/ResultGridModel.h"
#include "ui/SettingsPage.h"
#include "ui/TextDecode.h"
#include "ui/TrendsPage.h"

namespace k32 {

void Form1::BeginBusy() {
    busy_ = true;
    ButtonGo->setEnabled(false);
    ButtonReSort->setEnabled(false);
    SetPathsEditable(false);
    PanelAdv->SetBusy(true);
    PanelSettings->SetBusy(true);
}

void Form1::EndBusy() {
    busy_ = false;
    stopping_ = false;
    ButtonGo->setText("Go");
    ButtonGo->setEnabled(true);
    ButtonReSort->setEnabled(reSortOffered_);
    SetPathsEditable(true);
    PanelAdv->SetBusy(false);
    PanelSettings->SetBusy(false);
}

void Form1::SetPathsEditable(bool editable) {
    EditOpen->setReadOnly(!editable);
    EditSave->setReadOnly(!editable);
    ButtonSelectSource->setEnabled(editable);
    ButtonSelectDestination->setEnabled(editable);
}

void Form1::StartRun(RunKind kind, RunRequest request) {
    BeginBusy();
    runKind_ = kind;
    runHistory_ = request.history;
    static constexpr RunFunction kRuns[] = {RunProcessing, ReSortAndRewrite, RunExpireReportOnly};
    RunLines lines;
    lines.debugMode = request.settings.DebugMode;
    lines.debugLogPath = state.DebugLogPath.str();
    lines.screenLine = state.screenLine;
    lines.bytesRead = &state.logBytesRead;
    // Queued behind the run's last lines, so the Log tab is complete when the result is shown.
    runThread_ = std::make_unique<RunThread>(
        kRuns[static_cast<int>(kind)], std::move(request), std::move(lines), [this](RunEnd end) {
            QMetaObject::invokeMethod(
                this, [this, end = std::move(end)] { RunFinished(end); }, Qt::QueuedConnection);
        });
}

void Form1::RunFinished(const RunEnd& end) {
    DrainLogLines();
    runThread_.reset();
    // A failed Re-sort leaves the run it sorted, which can still be sorted again.
    if (runKind_ != RunKind::ReSort)
        reSortOffered_ = end.result && end.result->mailboxRun;
    if (end.stopped) {
        AddProgressLine(state, "Run stopped, the window is closing");
    } else if (end.error) {
        try {
            std::rethrow_exception(end.error);
        } catch (const std::exception& e) {
            AddProgressLine(state, std::string("Run ended with error: ") + e.what());
            try {
                AddDebugLine(state, "Run ended with error", e.what());
            } catch (const std::exception&) {
            }
            ShowRunError(e);
        } catch (...) {
            AddProgressLine(state, "Run ended with error: unknown error");
            ShowMessageBox("The run ended with an unknown error.");
        }
    } else {
        ShowResult(end.result);
        state.lastRun = end.result;
    }
    const bool noStatistics =
        end.result && runKind_ == RunKind::Go && end.result->outcome == RunOutcome::NoStatistics;
    if (noStatistics && !closeAfterRun_) {
        ShowMessageBox("No statistics detected.");
        AddProgressLine(state, "No statistics detected, read the manual for more information");
    }
    EndBusy();
    if (closeAfterRun_) {
        close();
        return;
    }
    // A run may have recorded history; after a Re-sort its post office comes first again.
    if (runKind_ == RunKind::ReSort ||
        (end.result && end.result->outcome == RunOutcome::ReportsWritten &&
         runKind_ == RunKind::Go))
        RefreshTrends();
}

void Form1::ShowRunError(const std::exception& e) {
    const auto* k = dynamic_cast<const KestramaError*>(&e);
    // The store names itself in its errors: its file, or its server without a password.
    const std::string& location = runHistory_.location;
    const std::string store = IsServerLocation(location) ? ShowConnection(location).text
                              : location.empty()         ? DefaultHistoryFile()
                                                         : location;
    if (!k || !runHistory_.keep || k->where != store) {
        ShowError(e);
        return;
    }
    // A run records its history and writes its reports together: neither happened.
    const QString where = DecodeForDisplay(k->where);
    AddProgressLine(state, "at " + where.toUtf8().toStdString());
    const bool foreign =
        std::string_view(e.what()).find("not a history database") != std::string_view::npos;
    ShowMessageBox(
        DecodeForDisplay(e.what()) + "\n" + where + "\n\nNo report was written, and the history " +
        (foreign ? QString("database is left as it is. Choose another history database on the "
                           "Settings tab, or untick \"Keep history\" there to run without it.")
                 : QString("is as it was. Check that the history database and its folder can be "
                           "written and that its disk has room, then run again; or untick \"Keep "
                           "history\" on the Settings tab to run without it.")));
}

void Form1::ShowResult(const std::shared_ptr<const RunResult>& result) {
    if (result->outcome != RunOutcome::ReportsWritten)
        return;
    if (runKind_ == RunKind::ExpireOnly)
        return;
    // A failed run changes nothing the window shows, the CSV tab's notice included.
    expireShown_ = !result->mailboxRun;
    if (result->mailboxRun)
        ShowGrid(result);
    ShowReportInViewer(result->log.summary.MhtReportPath.str());
}

// A path that would be cut at 255 bytes would read or write another file than the one named.
bool Form1::PathsUsable() {
    const std::string problem = PathLengthProblem(EditOpen->text().toUtf8().toStdString(), false);
    if (!problem.empty()) {
        ShowMessageBox(
            "The log file box (\"Select Log File\"): " + QString::fromStdString(problem) + ".");
        return false;
    }
    const std::string base = PathLengthProblem(EditSave->text().toUtf8().toStdString(), true);
    if (!base.empty()) {
        ShowMessageBox(
            "The destination box (\"Select Destination\"): " + QString::fromStdString(base) + ".");
        return false;
    }
    return true;
}

void Form1::ButtonGoClick() {
    if (busy_ || !PathsUsable())
        return;
    TabControl1->setCurrentIndex(kTabLog);
    ShowTabPage();
    ButtonGo->setText("Please wait");
    StartRun(RunKind::Go, RequestOf(state));
}

void Form1::ButtonReSortClick() {
    if (busy_ || !reSortOffered_ || !state.MailboxRunComplete())
        return;
    // The new order of the table that the reports on disk hold, written where they are.
    RunRequest request = RequestOf(state);
    request.resortOf = state.lastRun;
    StartRun(RunKind::ReSort, std::move(request));
}

void Form1::Button1Click() {
    if (busy_)
        return;
    StartRun(RunKind::ExpireOnly, RequestOf(state));
}

}  // namespace k32
