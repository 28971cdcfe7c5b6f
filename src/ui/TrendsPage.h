#pragma once
// The Trends tab: how a post office and its mailboxes grew over the runs its history holds.
// Two charts (the post office's total size over time, the mailboxes that grew most since the
// run compared with), the growth table of every mailbox, a choice of the run to look at and of
// the earlier run to compare it with and, when the history holds several post offices, of the
// post office. A mailbox selected in the table shows its size over every recorded run in place
// of the growth chart. With history off it says how to turn it on. The page reads the history
// afresh at each Refresh (after every run and re-sort) and keeps nothing open in between.
//
// The store is read on a thread of its own, which opens its own connection and builds plain
// values only; the window's thread puts them into the charts and the table when they arrive, so
// a long history or a slow server never stops the window. A newer read supersedes an older one:
// the older is asked to stop and its result is dropped.

#include <QWidget>
#include <cstdint>
#include <exception>
#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "history/HistoryTypes.h"
#include "ui/TrendsModel.h"

class QChartView;
class QComboBox;
class QLabel;
class QPainter;
class QPrinter;
class QStackedWidget;
class QTableView;

namespace k32 {

class HistoryStore;

class TrendsPage : public QWidget {
  public:
    explicit TrendsPage(QWidget* parent);
    // Stops a read under way and waits for its thread, which stops at its next row.
    ~TrendsPage() override;

    // What the page shows the history of. `location` is the store (a file or a
    // "postgresql://" connection string); `preferredPostOffice` names the post office of the
    // last run (name and path), shown first.
    struct Source {
        bool historyOn = false;
        std::string location;
        std::string preferredPoName;
        std::string preferredPoPath;
        bool operator==(const Source&) const = default;
    };
    // Reads the history again and shows it when read; until then the page says that it is
    // reading. Errors (a store that cannot be read) are shown on the page, never raised: the tab
    // is a view, and the run that preceded it has succeeded.
    void Refresh(const Source& source);
    // What the page shows, as the last Refresh was given it.
    const Source& Shown() const { return source_; }
    // True while the page waits for a read of the history (a refresh, or another post office
    // or run chosen); what it shows meanwhile is the last read's.
    bool Reading() const { return reading_; }

    // Paints the page on `printer`, fitted to its page: the title, both charts and the growth
    // table in its current order, on as many pages as the table needs. False when the printer
    // could not be opened.
    bool PrintOn(QPrinter* printer);

    // The page's controls, named by kind and role.
    QLabel* LabelTrendsInfo;
    QLabel* LabelTrendsPostOffice;
    QComboBox* ComboTrendsPostOffice;
    QLabel* LabelTrendsRun;
    QComboBox* ComboTrendsRun;
    QLabel* LabelTrendsCompare;
    QComboBox* ComboTrendsCompare;
    QChartView* ChartTrendsTotal;
    QChartView* ChartTrendsGrowth;
    QChartView* ChartTrendsMailbox;  // the selected mailbox over time, in the growth chart's place
    QTableView* GridTrends;
    TrendsModel* model;

    // How many of the biggest growers the growth chart shows at most; fewer when their names
    // would not fit its height.
    static constexpr int kGrowthChartBars = 10;

  private:
    struct RunEntry {
        long long id = 0;
        QString label;  // date and time as the choice lists show them
        qint64 msecsSinceEpoch = 0;
        double totalMb = 0;
        long long mailboxes = 0;
    };
    struct PostOffice {
        std::string name, path;
    };
    // What a read of the store hands back to the window's thread: plain values only.
    struct ReadResult {
        std::exception_ptr error;  // the store could not be read
        bool stopped = false;      // superseded before it was done
        bool hasPostOffices = false;
        std::vector<PostOffice> postOffices;  // in the store's order
        std::size_t chosen = 0;               // of postOffices
        bool hasRuns = false;
        std::vector<RunEntry> runs;       // of the chosen post office, oldest first
        std::size_t chosenRun = 0;        // of runs: the run looked at
        std::vector<TrendsRow> lastRows;  // the run looked at against the run before it
        std::vector<TrendsRow> rows;      // the table
        bool hasMailbox = false;
        std::vector<MailboxPoint> mailbox;  // the selected mailbox over time
    };
    // Reads what it needs from a store opened on the reading thread, into the result; raises
    // ReadStopped once a stop is requested.
    using ReadWork = std::function<void(HistoryStore&, ReadResult&, std::stop_token)>;
    struct Read {
        std::uint64_t generation;
        std::jthread thread;
    };

    void ShowMessage(const QString& text);
    // Says that the history could not be read, why, and where it is.
    void ShowReadError(const std::exception& e);
    void ShowContent();
    void LoadPostOffice();  // the runs of the chosen post office, then their comparison
    void LoadRun();         // the run chosen to look at, against the run before it
    void LoadComparison();  // the growth between the chosen runs
    void LoadMailbox();     // the selected mailbox over time, or the growth chart again
    // On the reading thread: the runs of `po` and the growth of the run `runId` (its newest
    // when empty or gone) since the run before it.
    static void ReadRuns(HistoryStore& store, const PostOffice& po, std::optional<long long> runId,
                         ReadResult& result, const std::stop_token& stop);
    // Starts `work` on a thread of its own, superseding any read under way.
    void StartRead(ReadWork work);
    // Drops the reads under way: their results will not be shown.
    void Supersede();
    // Takes a read's result on the window's thread; shows it when it is the newest read's.
    void ApplyRead(std::uint64_t generation, ReadResult result);
    void ApplyRuns(ReadResult& result);
    void ApplyRows(std::vector<TrendsRow> rows);
    void FitColumns();
    void SetReading(bool reading);
    QString RunsInfo() const;
    void FillTotalChart();
    void FillGrowthChart();
    void FillMailboxChart(const std::vector<MailboxPoint>& points);
    // As many labels on the date and size axes as the charts' plots hold whole.
    void FitAxes();
    const PostOffice* ChosenPostOffice() const;

    Source source_;
    std::vector<PostOffice> postOffices_;
    std::vector<RunEntry> runs_;  // of the chosen post office, oldest first
    std::size_t chosenRun_ = 0;   // of runs_: the run looked at
    // Every mailbox of the run looked at, with the limit figures and the projection; compared
    // with the run before it.
    std::vector<TrendsRow> lastRows_;
    QStackedWidget* rightChart_;         // the growth chart, or the selected mailbox over time
    int growthBars_ = kGrowthChartBars;  // as many as the growth chart's height holds
    bool filling_ = false;  // the choice lists are being filled, not changed by the user
    QWidget* content_;
    std::uint64_t generation_ = 0;  // of the newest read; an older read's result is dropped
    bool reading_ = false;
    std::list<Read> reads_;  // under way, or done with their result not yet taken
};

}  // namespace k32
