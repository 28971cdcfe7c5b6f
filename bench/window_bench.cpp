// How the window keeps up with large logs, measured on the real window (not a test: it prints
// figures and judges nothing). bench/window_bench.sh makes the logs and runs it.
//
//   window_bench PROGRAM RUN_LOG GRID_LOG WORK_DIR
//
// 1. RUN_LOG through the batch program PROGRAM (best of three) and through "Go" in the window:
//    the two times, their ratio, and how many event-loop turns the window made during its run
//    (a 0 ms timer counts them) with the longest stretch without one.
// 2. GRID_LOG through "Go": the time the result grid takes to take in every mailbox, the time
//    from the end of the run to the grid painted on its tab, scrolling to the last row and back,
//    and the memory the grid adds next to the records (resident size around the grid's fill).

#include <malloc.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <cstdio>
#include <fstream>

#include "app/AppState.h"
#include "settings/StoredSettings.h"
#include "state/ReportSettings.h"
#include "ui/Form1.h"
#include "ui/WindowStart.h"

namespace {

// The window's control of that objectName.
template <typename T>
T* Control(const QObject& form, const char* name) {
    T* control = form.findChild<T*>(QString::fromLatin1(name));
    if (!control)
        qFatal("no control named %s", name);
    return control;
}

double ResidentMB() {
    malloc_trim(0);
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// Runs the event loop until the widget has been painted once more.
class PaintWaiter : public QObject {
  public:
    explicit PaintWaiter(QWidget* w) : widget_(w) { w->installEventFilter(this); }
    void Wait() {
        painted_ = false;
        widget_->update();
        while (!painted_)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }

  protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        // Marked once the paint event has been handled, not when it arrives.
        if (o == widget_ && e->type() == QEvent::Paint)
            QTimer::singleShot(0, this, [this] { painted_ = true; });
        return false;
    }

  private:
    QWidget* widget_;
    bool painted_ = false;
};

double BatchSeconds(const QString& program, const QString& log, const QString& base) {
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer t;
        t.start();
        QProcess batch;
        batch.start(program, {"/IN:" + log, "/OUT:" + base, "/OPTIONS:5110;."});
        batch.waitForFinished(-1);
        best = std::min(best, t.elapsed() / 1000.0);
        if (batch.exitCode() != 0)
            std::fprintf(stderr, "batch run ended with %d\n", batch.exitCode());
    }
    return best;
}

// Presses "Go" on `log` and returns the run's seconds; counts event-loop turns meanwhile.
double WindowRun(k32::Form1& form, const QString& log, const QString& base, long* turns,
                 double* longestGapMs) {
    Control<QLineEdit>(form, "EditOpen")->setText(log);
    Control<QLineEdit>(form, "EditSave")->setText(base);
    QElapsedTimer clock, gap;
    long count = 0;
    double longest = 0;
    QTimer turn;
    turn.setInterval(0);
    QObject::connect(&turn, &QTimer::timeout, [&] {
        ++count;
        longest = std::max(longest, gap.nsecsElapsed() / 1e6);
        gap.restart();
    });
    clock.start();
    gap.start();
    turn.start();
    Control<QPushButton>(form, "ButtonGo")->click();
    // The run goes on its own thread; the window's loop turns until it has shown the result.
    while (form.Busy())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    turn.stop();
    const double seconds = clock.elapsed() / 1000.0;
    longest = std::max(longest, gap.nsecsElapsed() / 1e6);
    if (turns)
        *turns = count;
    if (longestGapMs)
        *longestGapMs = longest;
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: window_bench PROGRAM RUN_LOG GRID_LOG WORK_DIR\n");
        return 2;
    }
    const QString program = argv[1], runLog = argv[2], gridLog = argv[3], work = argv[4];
    const QString store = work + "/Kestrama32.ini";
    qputenv("KESTRAMA32_SETTINGS", store.toUtf8());
    {
        k32::ReportSettings defaults;
        k32::SetDefaultSettings(defaults);
        k32::RunContext ctx;
        k32::SaveAllSettings(defaults, ctx);  // no first-run message box to answer
    }
    QApplication app(argc, argv);
    k32::AppState state;
    auto form = k32::FormCreate(state, {}, QFileInfo(program).absolutePath().toStdString());
    // The report view would load each report in the background and take the processor from the
    // runs being timed; the report itself is written all the same.
    form->ReportViewerLimitBytes = 0;

    // 1. Window run against batch run, same log.
    const double batch = BatchSeconds(program, runLog, work + "/batch");
    long turns = 0;
    double gapMs = 0;
    const double window = WindowRun(*form, runLog, work + "/window", &turns, &gapMs);
    std::printf("run log:            %.0f MB\n", QFileInfo(runLog).size() / 1e6);
    std::printf("batch run:          %.2f s (best of 3)\n", batch);
    std::printf("window run:         %.2f s\n", window);
    std::printf("ratio:              %.2fx the batch run (target at most 1.2x)\n", window / batch);
    std::printf(
        "event-loop turns:   %.1f a second (%ld in all), longest gap %.0f ms "
        "(target at least 10 a second)\n",
        turns / window, turns, gapMs);

    // 2. The grid over every mailbox of a large log.
    // The widths are worked out on the run's thread; the window then shows the new table.
    double fillMs = 0, beforeFill = 0, afterFill = 0;
    QElapsedTimer fillClock;
    QAbstractItemModel* gridModel = Control<QTableView>(*form, "StringGridCSV")->model();
    QObject::connect(gridModel, &QAbstractItemModel::modelAboutToBeReset, [&] {
        beforeFill = ResidentMB();
        fillClock.start();
    });
    QObject::connect(gridModel, &QAbstractItemModel::modelReset, [&] {
        fillMs = fillClock.nsecsElapsed() / 1e6;
        afterFill = ResidentMB();
    });
    Control<QTabWidget>(*form, "TabControl1")->setCurrentIndex(k32::kTabLog);
    const double startMB = ResidentMB();
    const double gridRun = WindowRun(*form, gridLog, work + "/grid", nullptr, nullptr);
    QTableView* grid = Control<QTableView>(*form, "StringGridCSV");
    PaintWaiter painted(grid->viewport());
    QElapsedTimer t;
    t.start();
    Control<QTabWidget>(*form, "TabControl1")->setCurrentIndex(k32::kTabCsv);
    painted.Wait();
    const double showMs = t.nsecsElapsed() / 1e6;
    t.restart();
    grid->scrollToBottom();
    painted.Wait();
    const double endMs = t.nsecsElapsed() / 1e6;
    t.restart();
    grid->scrollToTop();
    painted.Wait();
    const double backMs = t.nsecsElapsed() / 1e6;
    const double paintedMB = ResidentMB();
    const auto rows = grid->model()->rowCount() - 1;

    std::printf("grid log:           %.0f MB, %d mailboxes in the grid, run %.2f s\n",
                QFileInfo(gridLog).size() / 1e6, int(rows), gridRun);
    std::printf("grid shown:         %.1f ms (the model takes the run's table)\n", fillMs);
    std::printf("run end to painted: %.1f ms\n", showMs);
    std::printf("scroll to end:      %.1f ms, back to the top %.1f ms\n", endMs, backMs);
    std::printf(
        "resident memory:    %.0f MB before the run, %.0f MB with the records, "
        "%.0f MB after the fill, %.0f MB painted\n",
        startMB, beforeFill, afterFill, paintedMB);
    std::printf("grid adds:          %.1f MB next to %.1f MB for the records\n",
                paintedMB - beforeFill, beforeFill - startMB);

    // 3. Closing the window during a run of the large log, while it reads and while it writes:
    // from the close to the window gone (the run stopped, nothing left half-written).
    auto* memo = Control<QPlainTextEdit>(*form, "MemoMainLog");
    for (const char* phase : {"Sorting.", "Writing to CSV file: "}) {
        const int seenBefore = memo->toPlainText().count(phase);
        Control<QLineEdit>(*form, "EditOpen")->setText(gridLog);
        Control<QLineEdit>(*form, "EditSave")->setText(work + "/grid");
        Control<QPushButton>(*form, "ButtonGo")->click();
        while (form->Busy() && memo->toPlainText().count(phase) == seenBefore)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QElapsedTimer closing;
        closing.start();
        form->close();
        while (form->Busy() || form->isVisible())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::printf("close during a run: %.0f ms after \"%s\" (target at most 1000 ms)\n",
                    closing.nsecsElapsed() / 1e6, phase);
        form->show();
    }
    form.reset();
    return 0;
}
