#pragma once
// The Trends tab: how a post office and its mailboxes grew over the runs its history holds.
// Two charts (the post office's total size over time, the mailboxes that grew most since the
// run compared with), the growth table of every mailbox, a choice of the earlier run to compare
// with and, when the history holds several post offices, of the post office. With history off
// it says how to turn it on. The page reads the history afresh at each Refresh (after every run
// and re-sort) and keeps nothing open in between.

#include <QWidget>
#include <exception>
#include <string>
#include <vector>

#include "ui/TrendsModel.h"

class QChartView;
class QComboBox;
class QLabel;
class QPainter;
class QPrinter;
class QTableView;

namespace k32 {

class TrendsPage : public QWidget {
  public:
    explicit TrendsPage(QWidget* parent);

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
    // Reads the history again and shows it. Errors (a store that cannot be read) are shown on
    // the page, never raised: the tab is a view, and the run that preceded it has succeeded.
    void Refresh(const Source& source);
    // What the page shows, as the last Refresh was given it.
    const Source& Shown() const { return source_; }

    // Paints the page on `printer`, fitted to its page: the title, both charts and the growth
    // table in its current order, on as many pages as the table needs. False when the printer
    // could not be opened.
    bool PrintOn(QPrinter* printer);

    // The page's controls, named by kind and role.
    QLabel* LabelTrendsInfo;
    QLabel* LabelTrendsPostOffice;
    QComboBox* ComboTrendsPostOffice;
    QLabel* LabelTrendsCompare;
    QComboBox* ComboTrendsCompare;
    QChartView* ChartTrendsTotal;
    QChartView* ChartTrendsGrowth;
    QTableView* GridTrends;
    TrendsModel* model;

    // How many of the biggest growers the growth chart shows.
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

    void ShowMessage(const QString& text);
    // Says that the history could not be read, why, and where it is.
    void ShowReadError(const std::exception& e);
    void ShowContent();
    void LoadPostOffice();  // the runs of the chosen post office, then LoadComparison()
    void LoadComparison();  // the growth between the chosen runs
    void FillTotalChart();
    void FillGrowthChart();

    Source source_;
    std::vector<PostOffice> postOffices_;
    std::vector<RunEntry> runs_;  // of the chosen post office, oldest first
    // Every mailbox of its last run, with the limit figures and the projection; compared with
    // the run before it.
    std::vector<TrendsRow> lastRows_;
    bool filling_ = false;  // the choice lists are being filled, not changed by the user
    QWidget* content_;
};

}  // namespace k32
