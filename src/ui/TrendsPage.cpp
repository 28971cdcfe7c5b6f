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
#include <QSplitter>
#include <QStackedWidget>
#include <QTableView>
#include <QTimer>
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

// A megabyte axis from zero, so that a small change looks small, to a little above the largest
// value, in round steps whose labels all differ.
// `ticks` is how many labels the axis has room for; nice numbers may take one or two fewer.
void SetMegabyteRange(QValueAxis* axis, double high, int ticks = 5) {
    axis->setProperty("high", high);
    axis->setProperty("ticks", ticks);
    axis->setTruncateLabels(false);
    axis->setRange(0, high > 0 ? high * 1.08 : 1);
    axis->setTickCount(ticks);
    axis->applyNiceNumbers();
    const double step = (axis->max() - axis->min()) / std::max(1, axis->tickCount() - 1);
    axis->setLabelFormat(step >= 1 ? "%.0f" : "%.1f");
}

// A date axis over the runs' times, with a day to spare either side, so that a single run or
// runs of one day still have a range.
QDateTimeAxis* NewTimeAxis(qint64 firstMsecs, qint64 lastMsecs) {
    auto* time = new QDateTimeAxis;
    time->setFormat("yyyy-MM-dd");
    time->setTruncateLabels(false);
    time->setRange(QDateTime::fromMSecsSinceEpoch(firstMsecs).addDays(-1),
                   QDateTime::fromMSecsSinceEpoch(lastMsecs).addDays(1));
    return time;
}

// How many names fit one above the other, each whole, beside a plot of `height`.
int NamesFitting(double height, const QFont& font) {
    const QFontMetrics labels(font);
    return std::clamp(static_cast<int>(height / (labels.height() + 2)), 1,
                      TrendsPage::kGrowthChartBars);
}

// A recorded time (ISO 8601, as the store keeps it) on the local clock of this machine, so
// that the chart's date axis and the choice lists show the date the log gives.
QDateTime LocalTimeOf(const std::string& iso) {
    QDateTime t = QDateTime::fromString(QString::fromStdString(iso), Qt::ISODate);
    return QDateTime(t.date(), t.time());
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
    LabelTrendsRun = Named<QLabel>(content_, "LabelTrendsRun");
    LabelTrendsRun->setText("Run of");
    ComboTrendsRun = Named<QComboBox>(content_, "ComboTrendsRun");
    ComboTrendsRun->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    ComboTrendsRun->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    LabelTrendsCompare = Named<QLabel>(content_, "LabelTrendsCompare");
    LabelTrendsCompare->setText("compared with the run of");
    ComboTrendsCompare = Named<QComboBox>(content_, "ComboTrendsCompare");
    ComboTrendsCompare->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    ComboTrendsCompare->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    choices->addWidget(LabelTrendsPostOffice);
    choices->addWidget(ComboTrendsPostOffice, 3);
    choices->addSpacing(12);
    choices->addWidget(LabelTrendsRun);
    choices->addWidget(ComboTrendsRun);
    choices->addSpacing(6);
    choices->addWidget(LabelTrendsCompare);
    choices->addWidget(ComboTrendsCompare);
    choices->addStretch(1);
    layout->addLayout(choices);

    // The charts above the table; the user may give either more of the height.
    auto* split = new QSplitter(Qt::Vertical, content_);
    split->setChildrenCollapsible(false);
    auto* charts = new QWidget(split);
    auto* chartsLayout = new QHBoxLayout(charts);
    chartsLayout->setContentsMargins(0, 0, 0, 0);
    ChartTrendsTotal = NewChartView(charts, "ChartTrendsTotal");
    rightChart_ = new QStackedWidget(charts);
    ChartTrendsGrowth = NewChartView(rightChart_, "ChartTrendsGrowth");
    ChartTrendsMailbox = NewChartView(rightChart_, "ChartTrendsMailbox");
    rightChart_->addWidget(ChartTrendsGrowth);
    rightChart_->addWidget(ChartTrendsMailbox);
    chartsLayout->addWidget(ChartTrendsTotal, 1);
    chartsLayout->addWidget(rightChart_, 1);
    // Labels fitted to the plots' size, as the charts lay them out.
    for (QChartView* view : {ChartTrendsTotal, ChartTrendsMailbox})
        connect(view->chart(), &QChart::plotAreaChanged, this, [this] { FitAxes(); });
    connect(ChartTrendsGrowth->chart(), &QChart::plotAreaChanged, this, [this](const QRectF& plot) {
        const int fit = NamesFitting(plot.height(), QBarCategoryAxis().labelsFont());
        if (fit != growthBars_) {
            growthBars_ = fit;
            QTimer::singleShot(0, this, [this] { FillGrowthChart(); });
        }
    });
    charts->setMinimumHeight(150);
    layout->addWidget(split, 1);

    GridTrends = Named<QTableView>(split, "GridTrends");
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
    GridTrends->horizontalHeader()->setHighlightSections(false);  // captions keep their widths
    GridTrends->setMinimumHeight(100);
    split->addWidget(charts);
    split->addWidget(GridTrends);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 1);
    split->setSizes({1000, 1000});  // half each, whatever their contents ask for

    connect(ComboTrendsPostOffice, &QComboBox::currentIndexChanged, this, [this] {
        if (!filling_)
            LoadPostOffice();
    });
    connect(ComboTrendsRun, &QComboBox::currentIndexChanged, this, [this] {
        if (!filling_)
            LoadRun();
    });
    connect(ComboTrendsCompare, &QComboBox::currentIndexChanged, this, [this] {
        if (!filling_)
            LoadComparison();
    });
    connect(GridTrends->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { LoadMailbox(); });

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
    double high = 0;
    for (const RunEntry& run : runs_) {
        sizes->append(static_cast<qreal>(run.msecsSinceEpoch), run.totalMb);
        high = std::max(high, run.totalMb);
    }
    chart->addSeries(sizes);
    QDateTimeAxis* time = NewTimeAxis(runs_.empty() ? 0 : runs_.front().msecsSinceEpoch,
                                      runs_.empty() ? 0 : runs_.back().msecsSinceEpoch);
    chart->addAxis(time, Qt::AlignBottom);
    sizes->attachAxis(time);
    auto* megabytes = new QValueAxis;
    SetMegabyteRange(megabytes, high);
    chart->addAxis(megabytes, Qt::AlignLeft);
    sizes->attachAxis(megabytes);
    FitAxes();
}

void TrendsPage::FitAxes() {
    for (QChartView* view : {ChartTrendsTotal, ChartTrendsMailbox}) {
        const auto vertical = view->chart()->axes(Qt::Vertical);
        if (auto* megabytes =
                vertical.isEmpty() ? nullptr : qobject_cast<QValueAxis*>(vertical.first())) {
            // Labels a line and a half apart at least, so that none is left out.
            const QFontMetrics labels(megabytes->labelsFont());
            const int ticks = std::clamp(
                static_cast<int>(view->chart()->plotArea().height() / (labels.height() * 1.5)) + 1,
                2, 5);
            if (megabytes->property("ticks").toInt() != ticks)
                SetMegabyteRange(megabytes, megabytes->property("high").toDouble(), ticks);
        }
        const auto axes = view->chart()->axes(Qt::Horizontal);
        auto* time = axes.isEmpty() ? nullptr : qobject_cast<QDateTimeAxis*>(axes.first());
        if (!time)
            continue;
        // Each label as wide as a date, with room between them; the first and the last stand
        // out half a label beyond the plot.
        const QFontMetrics labels(time->labelsFont());
        const int label = labels.horizontalAdvance("0000-00-00") + labels.averageCharWidth() * 3;
        const double room = view->chart()->plotArea().width() + label / 2.0;
        const int ticks = std::clamp(static_cast<int>(room / std::max(1, label)), 2, 5);
        if (time->tickCount() != ticks)
            time->setTickCount(ticks);
    }
}

void TrendsPage::FillGrowthChart() {
    QChart* chart = ChartTrendsGrowth->chart();
    ClearChart(chart);
    // The biggest growers in the table, largest at the top.
    std::vector<const TrendsRow*> top;
    for (int r = 0; r < model->rowCount(); ++r)
        if (model->Row(r).growthMb && *model->Row(r).growthMb > 0)
            top.push_back(&model->Row(r));
    // A name per bar, each whole: no more bars than names fit one above the other.
    auto* categories = new QBarCategoryAxis;
    categories->setTruncateLabels(false);
    const std::size_t bars =
        std::min<std::size_t>(top.size(), static_cast<std::size_t>(growthBars_));
    std::partial_sort(top.begin(), top.begin() + static_cast<std::ptrdiff_t>(bars), top.end(),
                      [](const TrendsRow* a, const TrendsRow* b) {
                          if (*a->growthMb != *b->growthMb)
                              return *a->growthMb > *b->growthMb;
                          return a->username < b->username;
                      });
    top.resize(bars);
    chart->setTitle(top.empty() ? QString("No mailbox grew since the run compared with")
                                : QString("Largest growth since the run compared with (MB)"));
    if (top.empty()) {
        delete categories;
        return;
    }
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
    categories->append(names);
    chart->addAxis(categories, Qt::AlignLeft);
    series->attachAxis(categories);
    auto* megabytes = new QValueAxis;
    SetMegabyteRange(megabytes, high);
    chart->addAxis(megabytes, Qt::AlignBottom);
    series->attachAxis(megabytes);
}

void TrendsPage::FillMailboxChart(const std::vector<MailboxPoint>& points) {
    QChart* chart = ChartTrendsMailbox->chart();
    ClearChart(chart);
    const QString user =
        points.empty() ? QString() : DecodeForDisplay(points.front().mailbox.username);
    chart->setTitle(QString("%1: size (blue) and limit (red), MB").arg(user));
    auto* sizes = new QLineSeries;
    sizes->setName("Size (MB)");
    sizes->setPointsVisible(true);
    auto* limits = new QLineSeries;
    limits->setName("Limit (MB)");
    QPen dashed(QColor(0xc0, 0x39, 0x2b));
    dashed.setStyle(Qt::DashLine);
    dashed.setWidthF(1.5);
    limits->setPen(dashed);
    double high = 0;
    qint64 first = 0, last = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const qint64 at = LocalTimeOf(points[i].run.processedAt).toMSecsSinceEpoch();
        first = i == 0 ? at : std::min(first, at);
        last = i == 0 ? at : std::max(last, at);
        const HistoryMailbox& m = points[i].mailbox;
        if (m.sizeMb) {
            sizes->append(static_cast<qreal>(at), *m.sizeMb);
            high = std::max(high, *m.sizeMb);
        }
        if (m.limitMb) {
            limits->append(static_cast<qreal>(at), *m.limitMb);
            high = std::max(high, *m.limitMb);
        }
    }
    chart->addSeries(sizes);
    chart->addSeries(limits);
    QDateTimeAxis* time = NewTimeAxis(first, last);
    chart->addAxis(time, Qt::AlignBottom);
    auto* megabytes = new QValueAxis;
    SetMegabyteRange(megabytes, high);
    chart->addAxis(megabytes, Qt::AlignLeft);
    for (QLineSeries* series : {sizes, limits}) {
        series->attachAxis(time);
        series->attachAxis(megabytes);
    }
    FitAxes();
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
    if (!runs_.empty()) {
        const QString run = "Run of " + runs_[chosenRun_].label;
        line(text, chosenRun_ > 0
                       ? run + ", compared with the run of " + ComboTrendsCompare->currentText()
                       : run + ": no earlier run to compare with");
    }
    y += 8;
    const double chartHeight = std::min(320.0, height / 3);
    const double left =
        PaintWidgetFitted(painter, ChartTrendsTotal, QRectF(0, y, kWidth / 2 - 5, chartHeight));
    const double right = PaintWidgetFitted(painter, rightChart_->currentWidget(),
                                           QRectF(kWidth / 2 + 5, y, kWidth / 2 - 5, chartHeight));
    y += std::max(left, right) + 12;

    // The table in its current order, each column as wide as its caption and texts need, the
    // whole scaled to the page's width.
    const int columns = model->columnCount();
    // A caption on one line, where the window breaks it in two.
    auto Caption = [this](int c) {
        return model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString().replace('\n', ' ');
    };
    std::vector<double> widths(static_cast<std::size_t>(columns));
    double total = 0;
    const QFontMetricsF boldMetrics(bold), textMetrics(text);
    for (int c = 0; c < columns; ++c) {
        double w = boldMetrics.horizontalAdvance(Caption(c));
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
            return std::pair(Caption(c), text ? Qt::AlignLeft : Qt::AlignRight);
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
            ReadRuns(store, result.postOffices[result.chosen], std::nullopt, result, stop);
    });
}

const TrendsPage::PostOffice* TrendsPage::ChosenPostOffice() const {
    const int index = ComboTrendsPostOffice->currentIndex();
    if (index < 0 || static_cast<std::size_t>(index) >= postOffices_.size())
        return nullptr;
    return &postOffices_[static_cast<std::size_t>(index)];
}

void TrendsPage::LoadPostOffice() {
    const PostOffice* po = ChosenPostOffice();
    if (!po)
        return;
    StartRead([po = *po](HistoryStore& store, ReadResult& result, const std::stop_token& stop) {
        ReadRuns(store, po, std::nullopt, result, stop);
    });
}

void TrendsPage::LoadRun() {
    const PostOffice* po = ChosenPostOffice();
    const QVariant id = ComboTrendsRun->currentData();
    if (!po || !id.isValid())
        return;
    StartRead([po = *po, id = id.toLongLong()](HistoryStore& store, ReadResult& result,
                                               const std::stop_token& stop) {
        ReadRuns(store, po, id, result, stop);
    });
}

void TrendsPage::LoadMailbox() {
    const QModelIndexList rows = GridTrends->selectionModel()->selectedRows();
    const PostOffice* po = ChosenPostOffice();
    if (rows.size() != 1 || !po) {
        rightChart_->setCurrentWidget(ChartTrendsGrowth);
        return;
    }
    StartRead([po = *po, username = model->Row(rows.first().row()).username](
                  HistoryStore& store, ReadResult& result, const std::stop_token&) {
        result.mailbox = store.MailboxOverTime(po.name, po.path, username);
        result.hasMailbox = true;
    });
}

void TrendsPage::ReadRuns(HistoryStore& store, const PostOffice& po, std::optional<long long> runId,
                          ReadResult& result, const std::stop_token& stop) {
    std::vector<HistoryRun> runs = store.Runs(po.name, po.path);
    StopPoint(stop);
    // The run looked at: the one asked for, else (none asked for, or gone since it was listed)
    // the newest. Its trends are those of the runs up to it.
    std::size_t chosen = runs.empty() ? 0 : runs.size() - 1;
    for (std::size_t i = 0; runId && i < runs.size(); ++i)
        if (runs[i].id == *runId)
            chosen = i;
    for (const HistoryRun& run : runs) {
        const QDateTime at = LocalTimeOf(run.processedAt);
        result.runs.push_back({run.id, at.toString("yyyy-MM-dd HH:mm"), at.toMSecsSinceEpoch(),
                               run.totalMb, run.mailboxes});
    }
    result.chosenRun = chosen;
    if (!runs.empty())
        runs.resize(chosen + 1);
    // The run looked at whole; of the earlier ones only the usernames and sizes, read one run at
    // a time, so that a long history of a large post office is never all in memory.
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
    result.lastRows = std::move(trends.sincePrevious);
    result.hasRuns = true;
}

void TrendsPage::LoadComparison() {
    const QVariant id = ComboTrendsCompare->currentData();
    if (chosenRun_ > 0 && id.isValid() && ComboTrendsCompare->currentIndex() > 0) {
        StartRead([rows = lastRows_, id = id.toLongLong()](HistoryStore& store, ReadResult& result,
                                                           const std::stop_token&) mutable {
            result.rows = GrowthSince(std::move(rows), store.Mailboxes(id));
        });
        return;
    }
    // The rows already hold the growth since the run before the one looked at, the first
    // choice.
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
    ComboTrendsRun->setEnabled(!reading && runs_.size() > 1);
    ComboTrendsCompare->setEnabled(!reading && chosenRun_ > 0);
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
    if (result.hasMailbox) {
        FillMailboxChart(result.mailbox);
        rightChart_->setCurrentWidget(ChartTrendsMailbox);
        return;
    }
    ApplyRows(std::move(result.rows));
}

void TrendsPage::ApplyRuns(ReadResult& result) {
    runs_ = std::move(result.runs);
    chosenRun_ = result.chosenRun;
    lastRows_ = std::move(result.lastRows);

    // Every run, newest first, the one looked at chosen; the runs before it, newest first, the
    // one right before it chosen. A run's figures show when it is pointed at.
    filling_ = true;
    auto add = [](QComboBox* box, const RunEntry& run) {
        box->addItem(run.label, QVariant::fromValue(run.id));
        box->setItemData(
            box->count() - 1,
            QString("%1 mailboxes, %2 MB").arg(run.mailboxes).arg(run.totalMb, 0, 'f', 0),
            Qt::ToolTipRole);
    };
    ComboTrendsRun->clear();
    for (std::size_t i = runs_.size(); i-- > 0;)
        add(ComboTrendsRun, runs_[i]);
    ComboTrendsRun->setCurrentIndex(static_cast<int>(runs_.size() - 1 - chosenRun_));
    ComboTrendsRun->setEnabled(runs_.size() > 1);
    ComboTrendsCompare->clear();
    for (std::size_t i = chosenRun_; i-- > 0;)
        add(ComboTrendsCompare, runs_[i]);
    if (ComboTrendsCompare->count() == 0)
        ComboTrendsCompare->addItem("no earlier run");
    ComboTrendsCompare->setEnabled(chosenRun_ > 0);
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
    if (runs_.size() == 1)
        return QString(
                   "One run recorded, on %1: trends start with the next run of this post office.")
            .arg(runs_.back().label);
    const RunEntry& run = runs_[chosenRun_];
    return QString(
               "%1 runs recorded, the last on %2. The run of %3: %4 mailboxes, %5 MB. Select a "
               "mailbox to see its size over time.")
        .arg(runs_.size())
        .arg(runs_.back().label)
        .arg(run.label)
        .arg(run.mailboxes)
        .arg(run.totalMb, 0, 'f', 0);
}

void TrendsPage::ApplyRows(std::vector<TrendsRow> rows) {
    model->SetRows(std::move(rows));
    FitColumns();
    rightChart_->setCurrentWidget(ChartTrendsGrowth);  // the rows are new: none is selected
    FillGrowthChart();
}

void TrendsPage::FitColumns() {
    // Each column as wide as its widest figure or caption line (the sorted one with room for
    // its arrow), not as the style's generous header would make it; a long full name gets what
    // the others leave, so that every figure shows at the window's smallest size.
    const QFontMetrics text(GridTrends->font());
    const QFontMetrics caption(GridTrends->horizontalHeader()->font());
    const int rows = std::min(model->rowCount(), 500);
    const int pad = text.averageCharWidth() * 2;
    int used = 0;
    for (int c = 0; c < model->columnCount(); ++c) {
        int w = 0;
        for (const QString& line :
             model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString().split('\n'))
            w = std::max(w, caption.horizontalAdvance(line));
        if (c == model->SortColumn())
            w += caption.height();
        for (int r = 0; r < rows; ++r)
            w = std::max(w, text.horizontalAdvance(model->index(r, c).data().toString()));
        GridTrends->setColumnWidth(c, w + pad);
        if (c != TrendsModel::kFullname)
            used += w + pad;
    }
    const int room = GridTrends->viewport()->width() - used;
    GridTrends->setColumnWidth(
        TrendsModel::kFullname,
        std::clamp(room, 90, GridTrends->columnWidth(TrendsModel::kFullname)));
}

}  // namespace k32
