#include "ui/TrendsPage.h"
#include "ui/Named.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHorizontalBarSeries>
#include <QLabel>
#include <QLineSeries>
#include <QPainter>
#include <QPrinter>
#include <QRegularExpression>
#include <QTableView>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "history/HistoryStore.h"
#include "history/Trends.h"
#include "text/Errors.h"
#include "ui/TextDecode.h"

namespace k32 {

namespace {

QChartView* NewChartView(QWidget* parent, const char* name) {
    auto* view = Named<QChartView>(parent, name);
    view->setRenderHint(QPainter::Antialiasing);
    auto* chart = new QChart;
    chart->legend()->setVisible(false);
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->setBackgroundRoundness(0);
    view->setChart(chart);
    return view;
}

// Removes every series and axis of a chart, for a new fill.
void ClearChart(QChart* chart) {
    chart->removeAllSeries();
    for (QAbstractAxis* axis : chart->axes()) {
        chart->removeAxis(axis);
        delete axis;
    }
}

// An axis range with a little room above the largest value, never empty.
std::pair<double, double> PaddedRange(double low, double high) {
    if (high <= low)
        return {low - 1, high + 1};
    const double pad = (high - low) * 0.08;
    return {std::max(0.0, low - pad), high + pad};
}

QString PostOfficeLabel(const std::string& name, const std::string& path) {
    QString label = DecodeHistoryText(name);
    if (!path.empty())
        label += "  (" + DecodeHistoryText(path) + ")";
    return label;
}

}  // namespace

TrendsPage::TrendsPage(QWidget* parent) : QWidget(parent) {
    setObjectName("PanelTrends");
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);

    LabelTrendsInfo = Named<QLabel>(this, "LabelTrendsInfo");
    LabelTrendsInfo->setWordWrap(true);
    LabelTrendsInfo->setTextFormat(Qt::RichText);
    LabelTrendsInfo->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    LabelTrendsInfo->setMargin(8);
    outer->addWidget(LabelTrendsInfo);

    content_ = new QWidget(this);
    outer->addWidget(content_, 1);
    auto* layout = new QVBoxLayout(content_);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);

    auto* choices = new QHBoxLayout;
    LabelTrendsPostOffice = Named<QLabel>(content_, "LabelTrendsPostOffice");
    LabelTrendsPostOffice->setText("Post office");
    ComboTrendsPostOffice = Named<QComboBox>(content_, "ComboTrendsPostOffice");
    // The post office's name and path may be long: its box takes the room the choice of run
    // leaves, and that one always shows whole.
    ComboTrendsPostOffice->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    ComboTrendsPostOffice->setMinimumContentsLength(16);
    LabelTrendsCompare = Named<QLabel>(content_, "LabelTrendsCompare");
    LabelTrendsCompare->setText("Compare with the run of");
    ComboTrendsCompare = Named<QComboBox>(content_, "ComboTrendsCompare");
    ComboTrendsCompare->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    choices->addWidget(LabelTrendsPostOffice);
    choices->addWidget(ComboTrendsPostOffice, 3);
    choices->addSpacing(16);
    choices->addWidget(LabelTrendsCompare);
    choices->addWidget(ComboTrendsCompare);
    ComboTrendsCompare->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    choices->addStretch(1);
    layout->addLayout(choices);

    auto* charts = new QHBoxLayout;
    ChartTrendsTotal = NewChartView(content_, "ChartTrendsTotal");
    ChartTrendsGrowth = NewChartView(content_, "ChartTrendsGrowth");
    charts->addWidget(ChartTrendsTotal, 1);
    charts->addWidget(ChartTrendsGrowth, 1);
    layout->addLayout(charts, 5);

    GridTrends = Named<QTableView>(content_, "GridTrends");
    model = new TrendsModel(GridTrends);
    GridTrends->setModel(model);
    // The indicator first: turning sorting on sorts by the column it shows.
    GridTrends->horizontalHeader()->setSortIndicator(model->SortColumn(), model->SortOrder());
    GridTrends->setSortingEnabled(true);
    GridTrends->setEditTriggers(QAbstractItemView::NoEditTriggers);
    GridTrends->setSelectionBehavior(QAbstractItemView::SelectRows);
    GridTrends->verticalHeader()->setVisible(false);
    GridTrends->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    GridTrends->verticalHeader()->setDefaultSectionSize(20);
    GridTrends->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    GridTrends->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(GridTrends, 6);

    connect(ComboTrendsPostOffice, &QComboBox::currentIndexChanged, this, [this] {
        if (!filling_)
            LoadPostOffice();
    });
    connect(ComboTrendsCompare, &QComboBox::currentIndexChanged, this, [this] {
        if (!filling_)
            LoadComparison();
    });

    Refresh({});
}

void TrendsPage::ShowMessage(const QString& text) {
    LabelTrendsInfo->setText(text);
    LabelTrendsInfo->setVisible(true);
    content_->setVisible(false);
}

void TrendsPage::ShowReadError(const std::exception& e) {
    // The store's error names it; other errors get the store named here.
    // A connection string may hold a password: only the store's own error names a server.
    const auto* named = dynamic_cast<const KestramaError*>(&e);
    const std::string& location = source_.location;
    QString where;
    if (named && !named->where.empty())
        where = DecodeForDisplay(named->where);
    else if (IsServerLocation(location))
        where = "the history server";
    else
        where = DecodeForDisplay(location.empty() ? DefaultHistoryFile() : location);
    ShowMessage("<p>The history could not be read: " + DecodeForDisplay(e.what()).toHtmlEscaped() +
                "</p><p>" + where.toHtmlEscaped() + "</p>");
}

void TrendsPage::ShowContent() {
    content_->setVisible(true);
}

void TrendsPage::FillTotalChart() {
    QChart* chart = ChartTrendsTotal->chart();
    ClearChart(chart);
    chart->setTitle("Total size of the post office (MB)");
    auto* sizes = new QLineSeries;
    sizes->setName("Total size (MB)");
    sizes->setPointsVisible(true);  // a single run still shows as a point
    double low = 0, high = 0;
    for (std::size_t i = 0; i < runs_.size(); ++i) {
        sizes->append(static_cast<qreal>(runs_[i].msecsSinceEpoch), runs_[i].totalMb);
        low = i == 0 ? runs_[i].totalMb : std::min(low, runs_[i].totalMb);
        high = i == 0 ? runs_[i].totalMb : std::max(high, runs_[i].totalMb);
    }
    chart->addSeries(sizes);

    auto* time = new QDateTimeAxis;
    time->setFormat("yyyy-MM-dd");
    time->setTickCount(std::clamp(static_cast<int>(runs_.size()), 2, 5));
    if (!runs_.empty()) {
        // One day either side, so that a single run or runs of one day still have a range.
        const QDateTime first = QDateTime::fromMSecsSinceEpoch(runs_.front().msecsSinceEpoch);
        const QDateTime last = QDateTime::fromMSecsSinceEpoch(runs_.back().msecsSinceEpoch);
        time->setRange(first.addDays(-1), last.addDays(1));
    }
    chart->addAxis(time, Qt::AlignBottom);
    sizes->attachAxis(time);

    auto* megabytes = new QValueAxis;
    const auto [from, to] = PaddedRange(low, high);
    megabytes->setRange(from, to);
    megabytes->applyNiceNumbers();
    megabytes->setLabelFormat("%.0f");
    chart->addAxis(megabytes, Qt::AlignLeft);
    sizes->attachAxis(megabytes);
}

void TrendsPage::FillGrowthChart() {
    QChart* chart = ChartTrendsGrowth->chart();
    ClearChart(chart);
    // The biggest growers in the table, largest at the top.
    std::vector<const TrendsRow*> top;
    for (int r = 0; r < model->rowCount(); ++r)
        if (model->Row(r).growthMb && *model->Row(r).growthMb > 0)
            top.push_back(&model->Row(r));
    const std::size_t bars = std::min<std::size_t>(top.size(), kGrowthChartBars);
    std::partial_sort(top.begin(), top.begin() + static_cast<std::ptrdiff_t>(bars), top.end(),
                      [](const TrendsRow* a, const TrendsRow* b) {
                          if (*a->growthMb != *b->growthMb)
                              return *a->growthMb > *b->growthMb;
                          return a->username < b->username;
                      });
    top.resize(bars);
    chart->setTitle(top.empty() ? QString("No mailbox grew since the run compared with")
                                : QString("Largest growth since the run compared with (MB)"));
    if (top.empty())
        return;
    auto* set = new QBarSet("Growth (MB)");
    QStringList names;
    double high = 0;
    // A horizontal bar chart draws its first category at the bottom.
    for (auto it = top.rbegin(); it != top.rend(); ++it) {
        *set << *(*it)->growthMb;
        names << DecodeHistoryText((*it)->username);
        high = std::max(high, *(*it)->growthMb);
    }
    auto* series = new QHorizontalBarSeries;
    series->append(set);
    series->setBarWidth(0.7);
    chart->addSeries(series);
    auto* categories = new QBarCategoryAxis;
    categories->append(names);
    chart->addAxis(categories, Qt::AlignLeft);
    series->attachAxis(categories);
    auto* megabytes = new QValueAxis;
    megabytes->setRange(0, high * 1.08);
    megabytes->applyNiceNumbers();
    megabytes->setLabelFormat("%.0f");
    chart->addAxis(megabytes, Qt::AlignBottom);
    series->attachAxis(megabytes);
}

namespace {

// Paints a widget into `target`, scaled to fit it whole with its proportions kept. Painting
// goes through the painter, so on a printer the charts stay drawings, not pictures.
// Returns the height painted.
double PaintWidgetFitted(QPainter& painter, QWidget* widget, const QRectF& target) {
    if (widget->width() <= 0 || widget->height() <= 0)
        return 0;
    const double scale =
        std::min(target.width() / widget->width(), target.height() / widget->height());
    painter.save();
    painter.translate(target.topLeft());
    painter.scale(scale, scale);
    widget->render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
    painter.restore();
    return widget->height() * scale;
}

// Rows whose texts decide the printed column widths; enough for any page's worth.
constexpr int kRowsMeasured = 2000;

}  // namespace

bool TrendsPage::PrintOn(QPrinter* printer) {
    QPainter painter(printer);
    if (!painter.isActive())
        return false;
    // The page is laid out on a width of 1000 units and scaled to the printable width, so the
    // same page comes out on any paper and resolution.
    constexpr double kWidth = 1000;
    const QRect device(0, 0, printer->width(), printer->height());
    const double scale = device.width() / kWidth;
    painter.scale(scale, scale);
    const double height = device.height() / scale;

    QFont text("Sans Serif");
    text.setPixelSize(11);
    QFont bold = text;
    bold.setBold(true);
    QFont title = text;
    title.setPixelSize(18);
    title.setBold(true);
    double y = 0;

    auto line = [&](const QFont& font, const QString& words) {
        painter.setFont(font);
        const double h = QFontMetricsF(font).height() * 1.3;
        painter.drawText(QRectF(0, y, kWidth, h), Qt::AlignLeft | Qt::AlignVCenter, words);
        y += h;
    };
    if (!content_->isVisible()) {
        // History off, or nothing to show: the page prints what the tab says.
        line(title, "Trends");
        painter.setFont(text);
        QRectF box(0, y, kWidth, height - y);
        painter.drawText(box, Qt::TextWordWrap,
                         LabelTrendsInfo->text().remove(QRegularExpression("<[^>]*>")));
        return true;
    }
    line(title, "Trends: " + ComboTrendsPostOffice->currentText());
    if (ComboTrendsCompare->count() > 0)
        line(text, LabelTrendsCompare->text() + " " + ComboTrendsCompare->currentText());
    y += 8;
    const double chartHeight = std::min(320.0, height / 3);
    const double left =
        PaintWidgetFitted(painter, ChartTrendsTotal, QRectF(0, y, kWidth / 2 - 5, chartHeight));
    const double right = PaintWidgetFitted(painter, ChartTrendsGrowth,
                                           QRectF(kWidth / 2 + 5, y, kWidth / 2 - 5, chartHeight));
    y += std::max(left, right) + 12;

    // The table in its current order, each column as wide as its caption and texts need, the
    // whole scaled to the page's width.
    const int columns = model->columnCount();
    std::vector<double> widths(static_cast<std::size_t>(columns));
    double total = 0;
    const QFontMetricsF boldMetrics(bold), textMetrics(text);
    for (int c = 0; c < columns; ++c) {
        double w = boldMetrics.horizontalAdvance(
            model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString());
        for (int r = 0; r < std::min(model->rowCount(), kRowsMeasured); ++r)
            w = std::max(w, textMetrics.horizontalAdvance(
                                model->data(model->index(r, c), Qt::DisplayRole).toString()));
        total += widths[static_cast<std::size_t>(c)] = w + 12;
    }
    for (double& w : widths)
        w *= kWidth / total;
    const double rowHeight = QFontMetricsF(text).height() * 1.35;
    auto row = [&](const QFont& font, auto cell) {
        painter.setFont(font);
        double x = 0;
        for (int c = 0; c < columns; ++c) {
            const double w = widths[static_cast<std::size_t>(c)];
            const QRectF box(x + 3, y, w - 6, rowHeight);
            const auto [words, align] = cell(c);
            painter.drawText(box, align | Qt::AlignVCenter,
                             QFontMetricsF(font).elidedText(words, Qt::ElideRight, box.width()));
            x += w;
        }
        y += rowHeight;
        painter.setPen(QColor(200, 200, 200));
        painter.drawLine(QPointF(0, y), QPointF(kWidth, y));
        painter.setPen(Qt::black);
    };
    auto header = [&] {
        row(bold, [&](int c) {
            const bool text = c == TrendsModel::kUsername || c == TrendsModel::kFullname;
            return std::pair(model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(),
                             text ? Qt::AlignLeft : Qt::AlignRight);
        });
    };
    header();
    for (int r = 0; r < model->rowCount(); ++r) {
        if (y + rowHeight > height) {
            printer->newPage();
            y = 0;
            header();
        }
        row(text, [&](int c) {
            const QModelIndex index = model->index(r, c);
            const auto align = Qt::Alignment(model->data(index, Qt::TextAlignmentRole).toInt());
            return std::pair(model->data(index, Qt::DisplayRole).toString(),
                             align & Qt::AlignHorizontal_Mask);
        });
    }
    return true;
}

namespace {

// A recorded time (ISO 8601, as the store keeps it) on the local clock of this machine, so
// that the chart's date axis and the choice lists show the date the log gives.
QDateTime LocalTimeOf(const std::string& iso) {
    QDateTime t = QDateTime::fromString(QString::fromStdString(iso), Qt::ISODate);
    return QDateTime(t.date(), t.time());
}

// Raised on a reading thread once its read is superseded or the page goes.
struct ReadStopped {};

void StopPoint(const std::stop_token& stop) {
    if (stop.stop_requested())
        throw ReadStopped{};
}

// The store as the page names it: a connection string may hold a password.
QString StoreShown(const std::string& location) {
    const std::string file = location.empty() ? DefaultHistoryFile() : location;
    return IsServerLocation(file) ? QString("the history server") : DecodeForDisplay(file);
}

}  // namespace

void TrendsPage::Refresh(const Source& source) {
    source_ = source;
    Supersede();
    if (!source.historyOn) {
        ShowMessage(
            "<p><b>History is off.</b></p>"
            "<p>With history kept, every run of a mailbox-statistics log is recorded, and this tab "
            "shows how the post office and its mailboxes grow from run to run: the total size "
            "over time, the mailboxes that grew most, and when a mailbox will reach its "
            "limit.</p>"
            "<p>To turn it on, tick <b>Keep history</b> on the <b>Settings</b> tab, then run a "
            "mailbox-statistics log with <b>Go</b>. Trends start with the second run of a post "
            "office. In a batch run, add <code>/HISTORY:</code> as the last switch.</p>");
        return;
    }
    const std::string file = source.location.empty() ? DefaultHistoryFile() : source.location;
    // Only a run creates the history: a file that does not exist yet is left so.
    if (!IsServerLocation(file) && !QFileInfo::exists(QString::fromLocal8Bit(file.c_str()))) {
        ShowMessage("<p>No run has been recorded yet in " + StoreShown(file).toHtmlEscaped() +
                    ".</p><p>Run a mailbox-statistics log with <b>Go</b>: its mailboxes are "
                    "recorded, and trends start with the next run of the same post "
                    "office.</p>");
        return;
    }
    StartRead([name = source.preferredPoName, path = source.preferredPoPath](
                  HistoryStore& store, ReadResult& result, const std::stop_token& stop) {
        for (const HistoryRun& run : store.LatestRuns())
            result.postOffices.push_back({run.poName, run.poPath});
        result.hasPostOffices = true;
        // The post office of the last run first chosen; the list in the store's order.
        for (std::size_t i = 0; i < result.postOffices.size(); ++i)
            if (result.postOffices[i].name == name && result.postOffices[i].path == path)
                result.chosen = i;
        StopPoint(stop);
        if (!result.postOffices.empty())
            ReadRuns(store, result.postOffices[result.chosen], result, stop);
    });
}

void TrendsPage::LoadPostOffice() {
    const int index = ComboTrendsPostOffice->currentIndex();
    if (index < 0 || static_cast<std::size_t>(index) >= postOffices_.size())
        return;
    StartRead([po = postOffices_[static_cast<std::size_t>(index)]](
                  HistoryStore& store, ReadResult& result, const std::stop_token& stop) {
        ReadRuns(store, po, result, stop);
    });
}

void TrendsPage::ReadRuns(HistoryStore& store, const PostOffice& po, ReadResult& result,
                          const std::stop_token& stop) {
    std::vector<HistoryRun> runs = store.Runs(po.name, po.path);
    StopPoint(stop);
    // The last run whole; of the earlier ones only the usernames and sizes, read one run at a
    // time, so that a long history of a large post office is never all in memory.
    std::vector<HistoryMailbox> last;
    if (!runs.empty())
        last = store.Mailboxes(runs.back().id);
    StopPoint(stop);
    std::vector<TrendMailbox> now;
    now.reserve(last.size());
    for (const HistoryMailbox& m : last)
        now.push_back({m.username, m.fullname, m.exceeded, m.sizeMb, m.limitMb, m.thresholdPct});
    std::vector<std::int64_t> ids;
    for (const HistoryRun& run : runs)
        ids.push_back(run.id);
    PostOfficeTrends trends =
        ComputeTrends(std::move(runs), now, [&](std::size_t run, const EachEarlierSize& each) {
            // Checked at every row: a superseded read, or a page that goes, waits for no run.
            store.ForEachSize(ids[run],
                              [&](std::string_view username, std::optional<double> sizeMb) {
                                  StopPoint(stop);
                                  each(username, sizeMb);
                              });
        });
    for (const HistoryRun& run : trends.runs) {
        const QDateTime at = LocalTimeOf(run.processedAt);
        result.runs.push_back({run.id, at.toString("yyyy-MM-dd HH:mm"), at.toMSecsSinceEpoch(),
                               run.totalMb, run.mailboxes});
    }
    result.lastRows = std::move(trends.sincePrevious);
    result.hasRuns = true;
}

void TrendsPage::LoadComparison() {
    const QVariant id = ComboTrendsCompare->currentData();
    if (runs_.size() > 1 && id.isValid() && ComboTrendsCompare->currentIndex() > 0) {
        StartRead([rows = lastRows_, id = id.toLongLong()](HistoryStore& store, ReadResult& result,
                                                           const std::stop_token&) mutable {
            result.rows = GrowthSince(std::move(rows), store.Mailboxes(id));
        });
        return;
    }
    // The rows already hold the growth since the run before the last, the first choice.
    Supersede();
    LabelTrendsInfo->setText(RunsInfo());
    ApplyRows(lastRows_);
}

void TrendsPage::StartRead(ReadWork work) {
    Supersede();
    const std::uint64_t generation = generation_;
    SetReading(true);
    // The result goes to the window's thread as an event to this page. The page joins the
    // thread before it goes, so the page is there to receive it; an event still waiting then
    // goes with the page.
    auto deliver = [this, generation](const std::shared_ptr<ReadResult>& result) {
        QMetaObject::invokeMethod(
            this, [this, generation, result] { ApplyRead(generation, std::move(*result)); },
            Qt::QueuedConnection);
    };
    reads_.push_back({generation, std::jthread([location = source_.location, work = std::move(work),
                                                deliver](const std::stop_token& stop) {
                          auto result = std::make_shared<ReadResult>();
                          try {
                              // A connection is used by the thread that opened it only.
                              const std::unique_ptr<HistoryStore> store =
                                  OpenHistoryStore(location);
                              StopPoint(stop);
                              work(*store, *result, stop);
                          } catch (const ReadStopped&) {
                              result->stopped = true;
                          } catch (...) {
                              result->error = std::current_exception();
                          }
                          deliver(result);
                      })});
}

void TrendsPage::Supersede() {
    ++generation_;
    for (Read& read : reads_)
        read.thread.request_stop();
    SetReading(false);
}

TrendsPage::~TrendsPage() {
    // Each read stops at its next row; the thread is joined here, while the page it posts to
    // is whole.
    for (Read& read : reads_)
        read.thread.request_stop();
    reads_.clear();
}

void TrendsPage::SetReading(bool reading) {
    reading_ = reading;
    // No other choice while reading: the lists name what the read will replace.
    ComboTrendsPostOffice->setEnabled(!reading);
    ComboTrendsCompare->setEnabled(!reading && runs_.size() > 1);
    if (!reading)
        return;
    if (content_->isHidden())
        ShowMessage("<p>Reading the history\u2026</p>");
    else
        LabelTrendsInfo->setText("Reading the history\u2026");
}

void TrendsPage::ApplyRead(std::uint64_t generation, ReadResult result) {
    // The thread ends once it has handed its result over.
    reads_.remove_if([generation](const Read& read) { return read.generation == generation; });
    if (generation != generation_ || result.stopped)
        return;  // superseded: a newer read replaces it
    SetReading(false);
    if (result.error) {
        try {
            std::rethrow_exception(result.error);
        } catch (const std::exception& e) {
            ShowReadError(e);
        } catch (...) {
            ShowReadError(std::runtime_error("unknown error"));
        }
        return;
    }
    if (result.hasPostOffices) {
        postOffices_ = std::move(result.postOffices);
        if (postOffices_.empty()) {
            ShowMessage("<p>No run has been recorded yet in " +
                        StoreShown(source_.location).toHtmlEscaped() + ".</p>");
            return;
        }
        filling_ = true;
        ComboTrendsPostOffice->clear();
        for (const PostOffice& po : postOffices_)
            ComboTrendsPostOffice->addItem(PostOfficeLabel(po.name, po.path));
        ComboTrendsPostOffice->setCurrentIndex(static_cast<int>(result.chosen));
        filling_ = false;
        const bool several = postOffices_.size() > 1;
        LabelTrendsPostOffice->setVisible(several);
        ComboTrendsPostOffice->setVisible(several);
    }
    if (result.hasRuns) {
        ApplyRuns(result);
        return;
    }
    LabelTrendsInfo->setText(RunsInfo());
    ApplyRows(std::move(result.rows));
}

void TrendsPage::ApplyRuns(ReadResult& result) {
    runs_ = std::move(result.runs);
    lastRows_ = std::move(result.lastRows);

    // The earlier runs, newest first; the run before the last is chosen.
    filling_ = true;
    ComboTrendsCompare->clear();
    for (std::size_t i = runs_.size(); i-- > 1;) {
        const RunEntry& run = runs_[i - 1];
        ComboTrendsCompare->addItem(QString("%1  (%2 mailboxes, %3 MB)")
                                        .arg(run.label)
                                        .arg(run.mailboxes)
                                        .arg(run.totalMb, 0, 'f', 0),
                                    QVariant::fromValue(run.id));
    }
    if (ComboTrendsCompare->count() == 0)
        ComboTrendsCompare->addItem("no earlier run yet");
    ComboTrendsCompare->setEnabled(runs_.size() > 1);
    filling_ = false;

    LabelTrendsInfo->setText(RunsInfo());
    LabelTrendsInfo->setVisible(true);
    ShowContent();
    FillTotalChart();
    ApplyRows(lastRows_);
}

QString TrendsPage::RunsInfo() const {
    // No run is left when the post office's runs were removed from the store since it was
    // listed.
    if (runs_.empty())
        return "No run of this post office is recorded.";
    return runs_.size() > 1
               ? QString("%1 runs recorded, the last on %2.")
                     .arg(runs_.size())
                     .arg(runs_.back().label)
               : QString(
                     "One run recorded, on %1: trends start with the next run of this post "
                     "office.")
                     .arg(runs_.back().label);
}

void TrendsPage::ApplyRows(std::vector<TrendsRow> rows) {
    model->SetRows(std::move(rows));
    GridTrends->resizeColumnsToContents();
    FillGrowthChart();
}

}  // namespace k32
