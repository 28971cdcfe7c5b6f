// Runs from the window: "Go", "Re-sort" and the hidden "Special" button. A run stays on the
// window's thread and lets the window handle its events between lines (the paced event pump),
// so the window repaints and stays live; meanwhile nothing can start a second run, and closing
// the window stops the run cleanly before the program ends.

#include <QPushButton>
#include <QTabWidget>

#include "app/RunProcessing.h"
#include "state/AppState.h"
#include "state/DebugLog.h"
#include "state/EventPump.h"
#include "ui/AdvancedPage.h"
#include "ui/Form1.h"
#include "ui/SettingsPage.h"
#include "ui/TrendsPage.h"

namespace k32 {

void Form1::BeginBusy() {
    busy_ = true;
    state.stopRequested = false;
    ButtonGo->setEnabled(false);
    ButtonReSort->setEnabled(false);
    PanelAdv->SetBusy(true);
    PanelSettings->SetBusy(true);
}

void Form1::EndBusy() {
    busy_ = false;
    state.stopRequested = false;
    ButtonGo->setText("Go");
    ButtonGo->setEnabled(true);
    ButtonReSort->setEnabled(state.mailboxRunComplete);
    PanelAdv->SetBusy(false);
    PanelSettings->SetBusy(false);
}

void Form1::RunGuarded(const std::function<void(AppState&)>& action) {
    BeginBusy();
    try {
        action(state);
    } catch (const RunStopped&) {
        AddProgressLine(state, "Run stopped, the window is closing");
    } catch (const std::exception& e) {
        AddProgressLine(state, std::string("Run ended with error: ") + e.what());
        try {
            AddDebugLine(state, "Run ended with error", e.what());
        } catch (const std::exception&) {
        }
        ShowError(e);
    }
    EndBusy();
    if (closeAfterRun_)
        close();
}

void Form1::ButtonGoClick() {
    if (busy_)
        return;
    TabControl1->setCurrentIndex(kTabLog);
    ShowTabPage();
    ButtonGo->setText("Please wait");
    bool completed = false;
    RunGuarded(
        [&completed](AppState& s) { completed = RunProcessing(s) == RunOutcome::ReportsWritten; });
    // A failed run changes nothing the window shows, the CSV tab's notice included.
    if (completed) {
        expireShown_ = !state.mailboxRunComplete;
        if (!closeAfterRun_)
            RefreshTrends();
    }
    if (!busy_ && !closeAfterRun_)
        EnableRunButtons();
}

void Form1::ButtonReSortClick() {
    if (busy_ || !state.mailboxRunComplete)
        return;
    RunGuarded(ReSortAndRewrite);
    if (!closeAfterRun_)
        RefreshTrends();
}

void Form1::Button1Click() {
    if (busy_)
        return;
    RunGuarded(RunExpireReportOnly);
}

}  // namespace k32
