// The Trends tab: its growth table sorts by any column with empty figures last, and the page
// shows the history that real runs recorded: how to turn history on when it is off, the two
// charts and the table after runs, the choice of the earlier run and of the post office, the
// refresh after every run and re-sort, and a print fitted to the page. The history is read off
// the window's thread: the window stays live meanwhile, a newer read replaces an older one, and
// the page or the window may go while a read is under way.

#include <QAbstractBarSeries>
#include <QAbstractItemModelTester>
#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTimeAxis>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPdfWriter>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QValueAxis>
#include <QtTest>

#include "UserInput.h"
#include "WindowTestSupport.h"
#include "history/SqliteHistoryStore.h"
#include "ui/Form1.h"
#include "ui/TrendsModel.h"
#include "ui/TrendsPage.h"

using k32::HistoryMailbox;
using k32::HistorySnapshot;
using k32::TrendsModel;
using k32::TrendsPage;
using k32::TrendsRow;
using namespace k32test;

class TstTrends : public QObject {
    Q_OBJECT

  private slots:
    void modelSortsEveryColumnWithEmptyFiguresLast_data();
    void modelSortsEveryColumnWithEmptyFiguresLast();
    void modelShowsFiguresAndPassesTheModelTester();
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void pageSaysWhyItHasNothingToShow();
    void pageShowsTheRecordedRuns();
    void pagePrintsFittedToThePage_data();
    void pagePrintsFittedToThePage();
    void pageStaysLiveWhileItReadsAndGoesCleanly();
    void newerReadIsShownOverAnOlderOne();
    void postOfficeGoneSinceListedShowsNoRun();
    void pageShowsAChosenRunAndOneMailboxOverTime();
    void everyLabelReadsWholeAndOnce_data();
    void everyLabelReadsWholeAndOnce();
    void runWithAnUnusableHistorySaysWhatToDo();
    void windowRunsFillTheTab();
};

namespace {

std::vector<TrendsRow> ThreeMailboxes() {
    // "carl" is new since the earlier run and has no limit: every figure of his but size now
    // is empty.
    TrendsRow anna{"ANNA", "Anna M\xc3\xbcller", 100, 150, 50, 50.0, 300, 50.0, 40};
    TrendsRow bo{"BO", "Bo Chen", 200, 190, -10, -5.0, 250, 76.0, std::nullopt};
    TrendsRow carl{"CARL",       "Carl Ek",    std::nullopt, 80,          std::nullopt,
                   std::nullopt, std::nullopt, std::nullopt, std::nullopt};
    return {bo, carl, anna};
}

QStringList Usernames(const TrendsModel& model) {
    QStringList names;
    for (int r = 0; r < model.rowCount(); ++r)
        names << model.index(r, TrendsModel::kUsername).data().toString();
    return names;
}

}  // namespace

void TstTrends::modelSortsEveryColumnWithEmptyFiguresLast_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("order");
    QTest::addColumn<QStringList>("expected");
    const auto up = static_cast<int>(Qt::AscendingOrder);
    const auto down = static_cast<int>(Qt::DescendingOrder);
    QTest::addRow("username up") << int(TrendsModel::kUsername) << up
                                 << QStringList{"ANNA", "BO", "CARL"};
    QTest::addRow("fullname down")
        << int(TrendsModel::kFullname) << down << QStringList{"CARL", "BO", "ANNA"};
    QTest::addRow("size then up, new mailbox last")
        << int(TrendsModel::kSizeThen) << up << QStringList{"ANNA", "BO", "CARL"};
    QTest::addRow("size then down, new mailbox still last")
        << int(TrendsModel::kSizeThen) << down << QStringList{"BO", "ANNA", "CARL"};
    QTest::addRow("size now up") << int(TrendsModel::kSizeNow) << up
                                 << QStringList{"CARL", "ANNA", "BO"};
    QTest::addRow("growth down, a shrinking mailbox below the growing one")
        << int(TrendsModel::kGrowthMb) << down << QStringList{"ANNA", "BO", "CARL"};
    QTest::addRow("growth percent up")
        << int(TrendsModel::kGrowthPct) << up << QStringList{"BO", "ANNA", "CARL"};
    QTest::addRow("limit up") << int(TrendsModel::kLimitMb) << up
                              << QStringList{"BO", "ANNA", "CARL"};
    QTest::addRow("used down") << int(TrendsModel::kUsedPct) << down
                               << QStringList{"BO", "ANNA", "CARL"};
    QTest::addRow("days to limit up")
        << int(TrendsModel::kDaysToLimit) << up << QStringList{"ANNA", "BO", "CARL"};
}

void TstTrends::modelSortsEveryColumnWithEmptyFiguresLast() {
    QFETCH(int, column);
    QFETCH(int, order);
    QFETCH(QStringList, expected);
    TrendsModel model(nullptr);
    model.SetRows(ThreeMailboxes());
    model.sort(column, static_cast<Qt::SortOrder>(order));
    QCOMPARE(Usernames(model), expected);
    // New rows keep the chosen order.
    model.SetRows(ThreeMailboxes());
    QCOMPARE(Usernames(model), expected);
}

void TstTrends::modelShowsFiguresAndPassesTheModelTester() {
    TrendsModel model(nullptr);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.SetRows(ThreeMailboxes());
    model.sort(TrendsModel::kUsername, Qt::AscendingOrder);
    // A selected cell stays on its mailbox through a sort.
    QPersistentModelIndex anna = model.index(0, TrendsModel::kFullname);
    model.sort(TrendsModel::kSizeNow, Qt::AscendingOrder);
    QCOMPARE(anna.row(), 1);
    QCOMPARE(anna.data().toString(), QString::fromUtf8("Anna Müller"));  // the history's UTF-8
    const int row = anna.row();
    QCOMPARE(model.index(row, TrendsModel::kGrowthPct).data().toString(), QString("50.0"));
    QCOMPARE(model.index(row, TrendsModel::kSizeThen).data().toString(), QString("100"));
    // Carl's missing figures are empty cells, not zeros.
    QCOMPARE(model.index(0, TrendsModel::kUsername).data().toString(), QString("CARL"));
    QCOMPARE(model.index(0, TrendsModel::kSizeThen).data().toString(), QString());
    QVERIFY(!model.index(0, TrendsModel::kDaysToLimit).data(TrendsModel::SortRole).isValid());
    QCOMPARE(model.headerData(TrendsModel::kDaysToLimit, Qt::Horizontal, Qt::DisplayRole),
             QVariant("Days to\nlimit"));
}

namespace {

HistoryMailbox Mailbox(const std::string& user, double size, std::optional<double> limit = {}) {
    HistoryMailbox m;
    m.username = user;
    m.fullname = user == "ANNA" ? "Anna M\xc3\xbcller" : user + " Person";
    m.sizeMb = size;
    m.limitMb = limit;
    m.thresholdPct = limit ? std::optional<double>(80) : std::nullopt;
    m.exceeded = "No";
    return m;
}

HistorySnapshot Run(const std::string& po, const std::string& at,
                    std::vector<HistoryMailbox> mailboxes) {
    HistorySnapshot snap;
    snap.run.poName = po;
    snap.run.poPath = "/srv/" + po;
    snap.run.processedOn = at;
    snap.run.processedAt = at;
    snap.run.recordedAt = at;
    for (const HistoryMailbox& m : mailboxes)
        snap.run.totalMb += *m.sizeMb;
    snap.run.mailboxes = static_cast<std::int64_t>(mailboxes.size());
    snap.mailboxes = std::move(mailboxes);
    return snap;
}

// Three weekly runs of HARBOUR (Anna grows towards her limit, Bo shrinks, Carl is new in the
// last) and one run of LIGHTHOUSE.
void RecordRuns(const std::string& file) {
    k32::SqliteHistoryStore store(file);
    for (const HistorySnapshot& snap :
         {Run("HARBOUR", "2026-01-01T08:00:00", {Mailbox("ANNA", 100, 300), Mailbox("BO", 200)}),
          Run("HARBOUR", "2026-01-08T08:00:00", {Mailbox("ANNA", 150, 300), Mailbox("BO", 190)}),
          Run("HARBOUR", "2026-01-15T08:00:00",
              {Mailbox("ANNA", 200, 300), Mailbox("BO", 180), Mailbox("CARL", 80)}),
          Run("LIGHTHOUSE", "2026-01-10T08:00:00", {Mailbox("DORA", 40)})}) {
        k32::HistoryStore::Transaction write = store.Begin();
        write.RecordRun(snap);
        write.Commit();
    }
}

// A long history of one large post office, whose reading takes a while.
void RecordLargeHistory(const std::string& file, int runs, int mailboxes) {
    k32::SqliteHistoryStore store(file);
    for (int week = 0; week < runs; ++week) {
        k32::HistoryRun run;
        run.poName = "LARGE";
        run.poPath = "/srv/LARGE";
        run.processedOn = run.processedAt = run.recordedAt =
            QDateTime(QDate(2025, 1, 6).addDays(7 * week), QTime(8, 0))
                .toString(Qt::ISODate)
                .toStdString();
        run.mailboxes = mailboxes;
        auto write = store.Begin();
        write.RecordRunRows(run, static_cast<std::size_t>(mailboxes),
                            [week](std::size_t i, HistoryMailbox& m) {
                                m.username = "USER" + std::to_string(i);
                                m.fullname = "Person " + std::to_string(i);
                                m.sizeMb = 50.0 + static_cast<double>(i % 400 + week * (i % 7));
                                m.limitMb = 1000;
                                m.exceeded = "No";
                            });
        write.Commit();
    }
}

TrendsPage::Source Harbour(const std::string& file) {
    return {true, file, "HARBOUR", "/srv/HARBOUR"};
}

TrendsPage::Source Large(const std::string& file) {
    return {true, file, "LARGE", "/srv/LARGE"};
}

// Waits for the page's read to be shown.
bool ReadDone(const TrendsPage& page) {
    return WaitUntil([&] { return !page.Reading(); }, 60000);
}

QStringList Items(const QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

QString Cell(const TrendsModel& model, const QString& user, int column) {
    for (int r = 0; r < model.rowCount(); ++r)
        if (model.index(r, TrendsModel::kUsername).data().toString() == user)
            return model.index(r, column).data().toString();
    return "(no row)";
}

int PointsOf(QChartView* view) {
    const auto series = view->chart()->series();
    if (series.size() != 1)
        return -1;
    auto* line = qobject_cast<QLineSeries*>(series.first());
    return line ? static_cast<int>(line->count()) : -1;
}

int BarsOf(QChartView* view) {
    const auto series = view->chart()->series();
    if (series.size() != 1)
        return 0;
    auto* bars = qobject_cast<QAbstractBarSeries*>(series.first());
    return bars && bars->count() == 1 ? static_cast<int>(bars->barSets().first()->count()) : -1;
}

}  // namespace

void TstTrends::pageSaysWhyItHasNothingToShow() {
    QTemporaryDir dir;
    TrendsPage page(nullptr);
    page.resize(900, 600);
    page.show();
    struct Case {
        const char* name;
        TrendsPage::Source source;
        const char* says;
    };
    const std::string notDb = dir.filePath("notes.sqlite").toStdString();
    {
        QFile f(QString::fromStdString(notDb));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("not a database, and it stays so");
    }
    const Case cases[] = {
        {"history off", {}, "Keep history"},
        {"no file yet", Harbour(dir.filePath("none/h.sqlite").toStdString()),
         "No run has been recorded yet"},
        {"a file that is no history", Harbour(notDb), "not a history database"},
        {"... and where it is", Harbour(notDb), "notes.sqlite"},
    };
    for (const Case& c : cases) {
        page.Refresh(c.source);
        QVERIFY(ReadDone(page));
        QVERIFY2(page.LabelTrendsInfo->text().contains(c.says),
                 qPrintable(QString(c.name) + ": " + page.LabelTrendsInfo->text()));
        QVERIFY2(!page.GridTrends->isVisible(), c.name);
    }
    // Looking changes nothing: no store is created, a foreign file keeps its bytes.
    QVERIFY(!QFileInfo::exists(dir.filePath("none")));
    QFile f(QString::fromStdString(notDb));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("not a database, and it stays so"));
}

void TstTrends::pageShowsTheRecordedRuns() {
    QTemporaryDir dir;
    const std::string file = dir.filePath("h.sqlite").toStdString();
    RecordRuns(file);
    TrendsPage page(nullptr);
    page.resize(1000, 700);
    page.show();
    page.Refresh(Harbour(file));
    QVERIFY(ReadDone(page));
    QVERIFY(page.GridTrends->isVisible());

    // Two post offices: the choice is there, the last run's first chosen.
    QVERIFY(page.ComboTrendsPostOffice->isVisible());
    QCOMPARE(page.ComboTrendsPostOffice->count(), 2);
    QVERIFY(page.ComboTrendsPostOffice->currentText().startsWith("HARBOUR"));
    QCOMPARE(PointsOf(page.ChartTrendsTotal), 3);
    // The earlier runs, newest first; the previous one chosen.
    QCOMPARE(Items(page.ComboTrendsCompare).size(), 2);
    QVERIFY(page.ComboTrendsCompare->currentText().startsWith("2026-01-08"));
    const TrendsModel& model = *page.model;
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(Cell(model, "ANNA", TrendsModel::kGrowthMb), QString("50"));
    QCOMPARE(Cell(model, "BO", TrendsModel::kGrowthMb), QString("-10"));
    QCOMPARE(Cell(model, "CARL", TrendsModel::kSizeThen), QString());
    // Anna grows 50 MB a week towards 300 MB: two weeks left.
    QCOMPARE(Cell(model, "ANNA", TrendsModel::kDaysToLimit), QString("14"));
    for (int r = 0; r < model.rowCount(); ++r)
        if (model.Row(r).username == "ANNA")
            QCOMPARE(model.index(r, TrendsModel::kDaysToLimit).data(Qt::ToolTipRole).toString(),
                     QString("Growing 50.0 MB a week: the limit is reached about 2026-01-29"));
    QCOMPARE(Cell(model, "ANNA", TrendsModel::kFullname), QString::fromUtf8("Anna Müller"));
    QCOMPARE(BarsOf(page.ChartTrendsGrowth), 1);  // only Anna grew

    // Against the first run, the growth is over two weeks; the projection stays.
    page.ComboTrendsCompare->setCurrentIndex(1);
    QVERIFY(ReadDone(page));
    QCOMPARE(Cell(model, "ANNA", TrendsModel::kGrowthMb), QString("100"));
    QCOMPARE(Cell(model, "BO", TrendsModel::kGrowthMb), QString("-20"));
    QCOMPARE(Cell(model, "ANNA", TrendsModel::kDaysToLimit), QString("14"));

    // The other post office has one run: no earlier run to choose, trends start later.
    page.ComboTrendsPostOffice->setCurrentIndex(1);
    QVERIFY(ReadDone(page));
    QVERIFY(!page.ComboTrendsCompare->isEnabled());
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(PointsOf(page.ChartTrendsTotal), 1);
    QCOMPARE(BarsOf(page.ChartTrendsGrowth), 0);
    QVERIFY(page.LabelTrendsInfo->text().contains("trends start with the next run"));
}

void TstTrends::pagePrintsFittedToThePage_data() {
    QTest::addColumn<int>("paper");
    QTest::addRow("A4") << int(QPageSize::A4);
    QTest::addRow("Letter") << int(QPageSize::Letter);
}

void TstTrends::pagePrintsFittedToThePage() {
    QFETCH(int, paper);
    QTemporaryDir dir;
    const std::string file = dir.filePath("h.sqlite").toStdString();
    RecordRuns(file);
    TrendsPage page(nullptr);
    page.resize(1200, 800);
    page.show();
    page.Refresh(Harbour(file));
    QVERIFY(ReadDone(page));
    const QString pdf = dir.filePath("trends.pdf");
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    printer.setPageSize(QPageSize(static_cast<QPageSize::PageSizeId>(paper)));
    QVERIFY(page.PrintOn(&printer));
    QVERIFY(QFileInfo(pdf).size() > 0);
    QProcess text;
    text.start("pdftotext", {"-layout", pdf, "-"});
    QVERIFY(text.waitForFinished(30000));
    const QString printed = QString::fromUtf8(text.readAllStandardOutput());
    // The title, every mailbox and the last column are on the page: nothing is cut.
    for (const char* words :
         {"Trends: HARBOUR", "Run of 2026-01-15 08:00, compared with the run of 2026-01-08 08:00",
          "ANNA", "BO", "CARL", "Days to limit"})
        QVERIFY2(printed.contains(words), qPrintable(QString(words) + " in\n" + printed));
}

void TstTrends::pageStaysLiveWhileItReadsAndGoesCleanly() {
    QTemporaryDir dir;
    const std::string file = dir.filePath("large.sqlite").toStdString();
    RecordLargeHistory(file, 40, 5000);
    auto page = std::make_unique<TrendsPage>(nullptr);
    page->resize(1000, 700);
    page->show();
    int ticks = 0;
    QTimer timer;
    timer.setInterval(5);
    connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start();

    page->Refresh(Large(file));
    QVERIFY(page->Reading());
    QVERIFY(page->LabelTrendsInfo->text().contains("Reading the history"));
    int ticksWhileReading = 0;
    QVERIFY(WaitUntil(
        [&] {
            if (page->Reading())
                ticksWhileReading = ticks;
            return !page->Reading();
        },
        60000));
    QVERIFY2(ticksWhileReading > 1, qPrintable(QString::number(ticksWhileReading)));
    QCOMPARE(page->model->rowCount(), 5000);
    QCOMPARE(PointsOf(page->ChartTrendsTotal), 40);
    QVERIFY(page->ComboTrendsCompare->isEnabled());

    // Gone while reading, at once and a little later: the read stops, nothing arrives after.
    for (int waitMs : {0, 30}) {
        page->Refresh(Large(file));
        QTest::qWait(waitMs);
        QVERIFY(page->Reading());
        QElapsedTimer gone;
        gone.start();
        page.reset();
        QVERIFY2(gone.elapsed() < 5000, qPrintable(QString::number(gone.elapsed())));
        QTest::qWait(50);
        page = std::make_unique<TrendsPage>(nullptr);
    }
}

void TstTrends::newerReadIsShownOverAnOlderOne() {
    QTemporaryDir dir;
    const std::string large = dir.filePath("large.sqlite").toStdString();
    const std::string small = dir.filePath("h.sqlite").toStdString();
    RecordLargeHistory(large, 20, 5000);
    RecordRuns(small);
    TrendsPage page(nullptr);
    page.resize(1000, 700);
    page.show();

    page.Refresh(Large(large));
    page.Refresh(Harbour(small));
    QVERIFY(ReadDone(page));
    QTest::qWait(200);  // time for the older read's result to arrive, were it kept
    QVERIFY(page.ComboTrendsPostOffice->currentText().startsWith("HARBOUR"));
    QCOMPARE(page.model->rowCount(), 3);

    // History turned off while a read is under way: the page stays as it says.
    page.Refresh(Large(large));
    page.Refresh({});
    QVERIFY(!page.Reading());
    QTest::qWait(200);
    QVERIFY(page.LabelTrendsInfo->text().contains("Keep history"));
    QVERIFY(!page.GridTrends->isVisible());
}

// The post office chosen has no run left in the store (another history put in its place since
// it was listed): the page says so and keeps the choice of the others.
void TstTrends::postOfficeGoneSinceListedShowsNoRun() {
    QTemporaryDir dir;
    const std::string file = dir.filePath("h.sqlite").toStdString();
    const std::string other = dir.filePath("other.sqlite").toStdString();
    RecordRuns(file);
    {
        k32::SqliteHistoryStore store(other);
        auto write = store.Begin();
        write.RecordRun(Run("HARBOUR", "2026-01-01T08:00:00", {Mailbox("ANNA", 100)}));
        write.Commit();
    }
    TrendsPage page(nullptr);
    page.resize(1000, 700);
    page.show();
    page.Refresh(Harbour(file));
    QVERIFY(ReadDone(page));
    QVERIFY(QFile::remove(QString::fromStdString(file)));
    QVERIFY(QFile::copy(QString::fromStdString(other), QString::fromStdString(file)));

    page.ComboTrendsPostOffice->setCurrentIndex(1);  // LIGHTHOUSE
    QVERIFY(ReadDone(page));
    QVERIFY2(page.LabelTrendsInfo->text().contains("No run of this post office"),
             qPrintable(page.LabelTrendsInfo->text()));
    QCOMPARE(page.model->rowCount(), 0);
    QCOMPARE(PointsOf(page.ChartTrendsTotal), 0);
    QVERIFY(page.ComboTrendsPostOffice->isEnabled());
    QVERIFY(!page.ComboTrendsCompare->isEnabled());
}

// An earlier run chosen to look at is compared with the run before it; a mailbox selected in
// the table shows its size over every run, with its limit.
void TstTrends::pageShowsAChosenRunAndOneMailboxOverTime() {
    QTemporaryDir dir;
    const std::string file = dir.filePath("h.sqlite").toStdString();
    RecordRuns(file);
    TrendsPage page(nullptr);
    page.resize(1000, 700);
    page.show();
    page.Refresh(Harbour(file));
    QVERIFY(ReadDone(page));
    QCOMPARE(Items(page.ComboTrendsRun).size(), 3);
    QVERIFY(page.ComboTrendsRun->currentText().startsWith("2026-01-15"));

    page.ComboTrendsRun->setCurrentIndex(1);  // the run of 8 January
    QVERIFY(ReadDone(page));
    QVERIFY(page.ComboTrendsRun->currentText().startsWith("2026-01-08"));
    QCOMPARE(Items(page.ComboTrendsCompare).size(), 1);
    QVERIFY(page.ComboTrendsCompare->currentText().startsWith("2026-01-01"));
    const TrendsModel& model = *page.model;
    QCOMPARE(model.rowCount(), 2);  // Carl came later
    QCOMPARE(Cell(model, "ANNA", TrendsModel::kGrowthMb), QString("50"));
    QCOMPARE(PointsOf(page.ChartTrendsTotal), 3);  // the chart still shows every run

    // The first run has nothing before it.
    page.ComboTrendsRun->setCurrentIndex(2);
    QVERIFY(ReadDone(page));
    QVERIFY(!page.ComboTrendsCompare->isEnabled());
    QCOMPARE(Cell(model, "ANNA", TrendsModel::kGrowthMb), QString());

    page.ComboTrendsRun->setCurrentIndex(0);
    QVERIFY(ReadDone(page));
    for (int r = 0; r < model.rowCount(); ++r)
        if (model.Row(r).username == "ANNA")
            page.GridTrends->selectRow(r);
    QVERIFY(ReadDone(page));
    QVERIFY(page.ChartTrendsMailbox->isVisible());
    QVERIFY(!page.ChartTrendsGrowth->isVisible());
    const auto series = page.ChartTrendsMailbox->chart()->series();
    QCOMPARE(series.size(), 2);
    auto* sizes = qobject_cast<QLineSeries*>(series[0]);
    auto* limit = qobject_cast<QLineSeries*>(series[1]);
    QCOMPARE(sizes->count(), 3);
    QCOMPARE(sizes->at(2).y(), 200.0);
    QCOMPARE(limit->count(), 3);
    QCOMPARE(limit->at(0).y(), 300.0);
    QVERIFY(page.ChartTrendsMailbox->chart()->title().startsWith("ANNA"));

    // Nothing selected: the growth chart again.
    page.GridTrends->clearSelection();
    QVERIFY(page.ChartTrendsGrowth->isVisible());
}

void TstTrends::everyLabelReadsWholeAndOnce_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("runs");
    QTest::addRow("800x600, one run") << 800 << 600 << 1;
    QTest::addRow("800x600, two runs") << 800 << 600 << 2;
    QTest::addRow("800x600, a year") << 800 << 600 << 52;
    QTest::addRow("1280x800, a year") << 1280 << 800 << 52;
}

// The page as the window holds it at its smallest size and a common larger one: the names of
// the growth chart are whole and each has room of its own, the date and size axes have no more
// labels than fit and no two alike, and every column of the table shows.
void TstTrends::everyLabelReadsWholeAndOnce() {
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, runs);
    QTemporaryDir dir;
    const std::string file = dir.filePath("h.sqlite").toStdString();
    RecordLargeHistory(file, runs, 300);
    MessageBoxAnswerer answers;
    Program p;
    k32::Form1& f = *p.form;
    f.resize(width, height);
    p.state.settings.KeepHistory = true;
    p.state.settings.HistoryFile = file;
    ClickTab(f, k32::kTabTrends);
    auto* page = Child<TrendsPage>(f, "PanelTrends");
    QVERIFY(ReadDone(*page));
    QTest::qWait(100);  // the charts fit their labels once laid out
    QCOMPARE(page->model->rowCount(), 300);

    QChart* growth = page->ChartTrendsGrowth->chart();
    if (runs > 1) {
        auto* names = qobject_cast<QBarCategoryAxis*>(growth->axes(Qt::Vertical).value(0));
        QVERIFY(names);
        QVERIFY(!names->truncateLabels());
        QVERIFY(names->count() >= 3);
        const QFontMetrics labels(names->labelsFont());
        QVERIFY2(
            growth->plotArea().height() / names->count() >= labels.height(),
            qPrintable(
                QString("%1 names in %2 px").arg(names->count()).arg(growth->plotArea().height())));
        for (const QString& name : names->categories())
            QVERIFY2(name.startsWith("USER") && !name.contains(QChar(0x2026)), qPrintable(name));
    }
    QChart* total = page->ChartTrendsTotal->chart();
    auto* time = qobject_cast<QDateTimeAxis*>(total->axes(Qt::Horizontal).value(0));
    auto* megabytes = qobject_cast<QValueAxis*>(total->axes(Qt::Vertical).value(0));
    QVERIFY(time && megabytes);
    QVERIFY(!time->truncateLabels() && !megabytes->truncateLabels());
    const QFontMetrics dates(time->labelsFont());
    QVERIFY2(
        time->tickCount() * dates.horizontalAdvance("0000-00-00") <=
            total->plotArea().width() + dates.horizontalAdvance("0000-00-00"),
        qPrintable(
            QString("%1 dates in %2 px").arg(time->tickCount()).arg(total->plotArea().width())));
    QCOMPARE(megabytes->min(), 0.0);
    QStringList values;
    for (int t = 0; t < megabytes->tickCount(); ++t)
        values << QString::asprintf(qPrintable(megabytes->labelFormat()),
                                    megabytes->min() + t * (megabytes->max() - megabytes->min()) /
                                                           (megabytes->tickCount() - 1));
    QCOMPARE(values.removeDuplicates(), 0);

    QHeaderView* header = page->GridTrends->horizontalHeader();
    QVERIFY2(header->length() <= page->GridTrends->viewport()->width(),
             qPrintable(QString("%1 of %2 px")
                            .arg(header->length())
                            .arg(page->GridTrends->viewport()->width())));
    f.close();
}

// A run whose history store cannot be used writes no report, and its box says why, where and
// what to do.
void TstTrends::runWithAnUnusableHistorySaysWhatToDo() {
    MessageBoxAnswerer answers;
    Program p;
    k32::Form1& f = *p.form;
    QTemporaryDir dir;
    const QString log = dir.filePath("po.log");
    QVERIFY(QFile::copy(KESTRAMA_SAMPLES "/english-gw652.log", log));
    const QString other = dir.filePath("notes.txt");
    {
        QFile file(other);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, 'x'));
    }
    p.state.settings.KeepHistory = true;
    p.state.settings.HistoryFile = other.toStdString();
    Retype(Child<QLineEdit>(f, "EditOpen"), log);
    Retype(Child<QLineEdit>(f, "EditSave"), dir.filePath("po"));
    const qsizetype before = answers.texts.size();
    Click(Child<QPushButton>(f, "ButtonGo"));
    QVERIFY(WaitUntil([&] { return !f.Busy(); }));
    QCOMPARE(answers.texts.size(), before + 1);
    const QString box = answers.texts.back();
    for (const QString& words :
         {QString("not a history database"), other, QString("No report was written"),
          QString("Choose another history database")})
        QVERIFY2(box.contains(words), qPrintable(box));
    QVERIFY(!QFileInfo::exists(dir.filePath("po.mht")));
    QFile file(other);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray(4096, 'x'));
    f.close();
}

// Runs from the window record their history, and the Trends tab shows it after each one;
// Print and Print Preview act on the tab.
void TstTrends::windowRunsFillTheTab() {
    MessageBoxAnswerer answers;
    Program p;
    k32::Form1& f = *p.form;
    QTemporaryDir dir;
    const QString log = dir.filePath("po.log");
    QVERIFY(QFile::copy(KESTRAMA_SAMPLES "/english-gw652.log", log));
    ClickTab(f, k32::kTabTrends);
    auto* page = Child<TrendsPage>(f, "PanelTrends");
    QVERIFY(page->LabelTrendsInfo->text().contains("No run has been recorded yet"));
    QVERIFY(Child<QPushButton>(f, "ButtonPrint")->isEnabled());
    Retype(Child<QLineEdit>(f, "EditOpen"), log);
    Retype(Child<QLineEdit>(f, "EditSave"), dir.filePath("po"));
    for (int run = 1; run <= 2; ++run) {
        Click(Child<QPushButton>(f, "ButtonGo"));
        QVERIFY(WaitUntil([&] { return !f.Busy(); }));
        QVERIFY(ReadDone(*page));
        QVERIFY(QFileInfo::exists(dir.filePath("po-trends.html")));
        QCOMPARE(page->model->rowCount(), int(p.state.lastRun->log.mailboxes.Count()));
        QCOMPARE(PointsOf(page->ChartTrendsTotal), 1);  // the same log replaces its run
    }
    Click(Child<QPushButton>(f, "ButtonReSort"));
    QVERIFY(WaitUntil([&] { return !f.Busy(); }));
    QVERIFY(ReadDone(*page));
    QVERIFY(page->GridTrends->isVisibleTo(page));
    // The window closes as soon as a re-sort has ended, while the tab reads again.
    QTest::mouseClick(Child<QPushButton>(f, "ButtonReSort"), Qt::LeftButton);
    while (f.Busy())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    f.close();
    p.form.reset();
    QTest::qWait(100);
}

QTEST_MAIN(TstTrends)
#include "tst_trends.moc"
