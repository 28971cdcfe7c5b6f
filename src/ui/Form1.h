#pragma once
// The one main window. It owns every control, privately; each control's objectName is its name,
// so that tests and people can find it. The handlers are plain member functions named by control
// and event; what a run does lives in its own file, and the Settings and Advanced tabs are pages
// of their own.

#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/RunRequest.h"
#include "state/ReportSettings.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTableView;
class QWebEngineView;

namespace k32 {

struct AppState;
class AdvancedPage;
class SettingsPage;
class TrendsPage;
class ResultGridModel;
class PrintHandler;
class RunThread;
struct RunEnd;

// Layout units in pixels.
inline constexpr int LayoutMargin = 16;   // M
inline constexpr int ControlWidth = 145;  // W
inline constexpr int ControlHeight = 25;  // H
inline constexpr int ControlGap = 10;     // S

// Tab indexes of TabControl1.
// The Trends tab comes after the six that every run has, so that their places stay.
enum TabIndex : int {
    kTabLog,
    kTabHtml,
    kTabCsv,
    kTabSettings,
    kTabAdvanced,
    kTabHelp,
    kTabTrends
};

class Form1 : public QWidget {
  public:
    Form1(AppState& state, std::string programFolder);
    ~Form1() override;

    AppState& state;
    const std::string programFolder;

    // --- Start-up and the run's hooks (WindowStart.cpp calls these) ---
    // Adds one line to the Log tab; the view follows new lines while it is at the bottom.
    void AppendLogLine(const QString& line);
    // Hands a finished line (time stamp included) over to the Log tab from any thread; the
    // window's thread adds the waiting lines, in order, when it next handles its events.
    void QueueLogLine(std::string_view line);
    // The Log tab in front, an empty report view, and the manual loaded (waiting for it, so
    // that the Help tab is ready before the first run can start).
    void StartPages(const std::string& manualPath);
    // The input log and output base path as the settings give them.
    void ShowPaths(const QString& input, const QString& output);
    void FormResize();
    void ShowReportInViewer(const std::string& path);
    // A modal message box titled with the application's title.
    void ShowMessageBox(const QString& text);

    // --- Runs ---
    // "Go" and "Re-sort"; each does nothing while a run is under way.
    void ButtonGoClick();
    void ButtonReSortClick();
    // True while a run, a re-sort or a dummy-log write is under way.
    bool Busy() const { return busy_; }
    // True once closing the window asked the run under way to stop.
    bool Stopping() const { return stopping_; }
    bool QuitDone() const { return quitDone_; }

    // --- Viewers ---
    // The web view lays a page out whole in memory: a report of 60 MB (some 100,000
    // mailboxes) used up its page process's memory after a minute of work, one of 17 MB showed.
    // A report above this size is not loaded; a short page says where it is instead.
    qint64 ReportViewerLimitBytes = 24 * 1024 * 1024;
    // True while the Output HTML tab holds a report (not an empty page or a notice).
    bool ReportShown() const { return reportShown_; }
    // The view that Print and Print Preview act on: the report or the manual; null elsewhere.
    QWebEngineView* PrintableView() const;

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    // The controls; each one's objectName is its name, so that tests and people find it.
    // Top area.
    QPushButton* ButtonSelectSource;
    QPushButton* ButtonSelectDestination;
    QPushButton* ButtonGo;
    QPushButton* ButtonReSort;
    QPushButton* ButtonQuit;
    QPushButton* ButtonPrint;
    QPushButton* ButtonPrintPreview;
    QPushButton* Button1;  // "Special", never visible
    QLineEdit* EditOpen;
    QLineEdit* EditSave;
    QLabel* Image1;
    QTabWidget* TabControl1;

    // Pages.
    QPlainTextEdit* MemoMainLog;
    QFrame* PanelWEB;
    QWebEngineView* WebBrowserOutput;
    QTableView* StringGridCSV;
    // Stands in for the grid after an expire run, which writes no CSV report.
    QLabel* LabelCsvExpire;
    SettingsPage* PanelSettings;
    AdvancedPage* PanelAdv;
    QFrame* PanelHelp;
    QWebEngineView* WebBrowserHelp;
    TrendsPage* PanelTrends;

    ResultGridModel* gridModel;
    PrintHandler* printHandler;

    // The outer size the last layout pass worked from.
    int WindowWidth = 0;
    int WindowHeight = 0;

    // --- Top area and tabs (Form1.cpp) ---
    void CreateTopArea();
    void CreatePages();
    void ConnectHandlers();
    void ShowTabPage();
    void TabControl1Change();
    void EnableRunButtons();
    void ButtonSelectSourceClick();
    void ButtonSelectDestinationClick();
    void EditOpenChange();
    void EditSaveChange();
    void ButtonQuitClick();
    void QuitApplication();

    // --- Runs (FormRun.cpp) ---
    enum class RunKind { Go, ReSort, ExpireOnly };
    void Button1Click();
    // Disables everything that could start a second run or change its inputs, the path boxes
    // and their Select buttons included, and restores it afterwards.
    void BeginBusy();
    void EndBusy();
    void SetPathsEditable(bool editable);
    // False, after a message naming the box, when a path box holds a path that would be cut.
    bool PathsUsable();
    // Starts the request's run on a thread of its own.
    void StartRun(RunKind kind, RunRequest request);
    // On the window's thread, once the run has ended: its lines, its result or its error.
    void RunFinished(const RunEnd& end);
    // The grid, the viewer and the CSV tab's notice for a run's result.
    void ShowResult(const std::shared_ptr<const RunResult>& result);
    // Shows the run's table in the grid, each column at least as wide as its caption.
    void ShowGrid(const std::shared_ptr<const RunResult>& result);
    // Adds the lines waiting in the queue to the Log tab.
    void DrainLogLines();

    // --- Layout (FormLayout.cpp) ---
    void LayoutWindow();
    void LayoutSettingsPanel();
    void LayoutAdvancedPanel();

    // --- Viewers and printing (FormViewers.cpp) ---
    void ShowReportTooLarge(const QString& path, qint64 bytes);
    void ButtonPrintClick();
    void ButtonPrintPreviewClick();
    // Shows the history that the settings name, with the last run's post office first.
    void RefreshTrends();

    // Shows an error's text in a message box and names its place in the Log tab.
    void ShowError(const std::exception& e);
    // A run's error: said as ShowError does and, when it is the history store's, with what was
    // kept and what to do.
    void ShowRunError(const std::exception& e);
    // Shows a failure's message in a message box with the failing path or place on the line
    // below it, and names that place in the Log tab.
    void ShowFailure(const QString& message, const QString& where);

    bool busy_ = false;
    bool stopping_ = false;
    // Re-sort is offered after a run that completed with a mailbox log, until a run fails or
    // reads another kind of log: the boxes then name another log than the reports it would
    // sort again.
    bool reSortOffered_ = false;
    RunKind runKind_ = RunKind::Go;
    HistoryTarget runHistory_;  // where the run under way records its history
    std::unique_ptr<RunThread> runThread_;
    // Lines from the run's thread, waiting for the window's.
    std::mutex logQueueMutex_;
    std::vector<std::string> logQueue_;
    bool reportShown_ = false;
    // The last completed run read an expire log: the CSV tab says why it shows no grid.
    bool expireShown_ = false;
    bool closeAfterRun_ = false;
    bool quitDone_ = false;
};

}  // namespace k32
