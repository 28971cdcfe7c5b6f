// The trend page as a browser shows it: written by real batch runs that keep history, loaded in
// the real web engine, and read back from the page: every chart drawn with the points or bars
// the runs give, and the growth tables with the figures of the logs; and printed by the same
// engine on pages of many heights, every heading on the page of what follows it.
//
// The logs: three runs of the post office Harbour (days 0, 14 and 35) and, between the second
// and the third, one run of Lighthouse, all recorded into one store.

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPageLayout>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>
#include <QtTest>

namespace {

// What the page shows: each chart (its caption, its drawn size, its points and bars), the rows
// of every table under each second-level heading (cells joined by "|"), and the page's text.
constexpr const char* kReadPage = R"(JSON.stringify((() => {
  const charts = Array.from(document.querySelectorAll('svg')).map(svg => {
    const box = svg.getBoundingClientRect();
    const figure = svg.closest('figure');
    return {caption: figure ? figure.querySelector('figcaption').innerText : '',
            width: box.width, height: box.height,
            points: svg.querySelectorAll('circle').length,
            bars: svg.querySelectorAll('rect').length};
  });
  const sections = {};
  let tables = null;
  for (const e of document.querySelectorAll('h2, table')) {
    if (e.tagName === 'H2')
      sections[e.innerText.trim()] = tables = [];
    else if (tables)
      tables.push(Array.from(e.tBodies[0].rows)
                       .map(r => Array.from(r.cells).map(c => c.innerText.trim()).join('|')));
  }
  return {charts: charts, sections: sections, text: document.body.innerText};
})()))";

const QString kTotalChart = "Total size of the post office (MB)";
const QString kCountChart = "Number of mailboxes";
const QString kGrowthChart = "Growth in MB, the 20 mailboxes that grew most";

struct Chart {
    QString caption;
    int points = 0;
    int bars = 0;
    bool operator==(const Chart&) const = default;
};

}  // namespace

QT_BEGIN_NAMESPACE
namespace QTest {
template <>
char* toString(const Chart& c) {
    return qstrdup(
        qPrintable(QString("%1 (%2 points, %3 bars)").arg(c.caption).arg(c.points).arg(c.bars)));
}
}  // namespace QTest
QT_END_NAMESPACE

class TrendsRender : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir_;

    // One batch run of a fixture log, recording into the store of the temporary folder.
    void RunBatch(const QString& log) {
        QProcess run;
        run.start(KESTRAMA32_PROGRAM,
                  {"/IN:" KESTRAMA_TREND_LOGS "/" + log + ".log", "/OUT:" + dir_.path() + "/" + log,
                   "/OPTIONS:5130;.", "/HISTORY:" + dir_.path() + "/history.sqlite"});
        QVERIFY(run.waitForFinished(60000));
        QVERIFY2(run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0,
                 run.readAllStandardError().constData());
    }

    // Loads a trend page and reads it with kReadPage.
    QJsonObject ReadPage(const QString& base) {
        const QString path = dir_.path() + "/" + base + "-trends.html";
        if (!QFileInfo::exists(path))
            return {};
        QWebEngineView view;
        view.resize(1000, 800);
        view.show();
        QSignalSpy loaded(view.page(), &QWebEnginePage::loadFinished);
        view.load(QUrl::fromLocalFile(path));
        if (!loaded.wait(30000) || !loaded.takeFirst().at(0).toBool())
            return {};
        QVariant result;
        QEventLoop loop;
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        // The page has no scripts of its own; the reading runs in the application's world.
        view.page()->runJavaScript(kReadPage, QWebEngineScript::ApplicationWorld,
                                   [&](const QVariant& v) {
                                       result = v;
                                       loop.quit();
                                   });
        loop.exec();
        if (const QByteArray shot = qgetenv("KESTRAMA_SCREENSHOT_DIR"); !shot.isEmpty())
            view.grab().save(QString::fromLocal8Bit(shot) + "/" + base + "-trends.png");
        return QJsonDocument::fromJson(result.toString().toUtf8()).object();
    }

    // Prints a trend page on A4-wide pages `heightMm` high and returns the text of each page.
    QStringList PrintedPages(QWebEnginePage& page, int heightMm) {
        const QString pdf = dir_.path() + "/printed.pdf";
        QFile::remove(pdf);
        QSignalSpy printed(&page, &QWebEnginePage::pdfPrintingFinished);
        page.printToPdf(pdf, QPageLayout(QPageSize(QSizeF(210, heightMm), QPageSize::Millimeter),
                                         QPageLayout::Portrait, QMarginsF()));
        if (!printed.wait(30000) || !printed.takeFirst().at(1).toBool())
            return {};
        if (const QByteArray keep = qgetenv("KESTRAMA_SCREENSHOT_DIR"); !keep.isEmpty())
            QFile::copy(
                pdf,
                QString("%1/printed-%2mm.pdf").arg(QString::fromLocal8Bit(keep)).arg(heightMm));
        QProcess text;
        text.start("pdftotext", {"-layout", pdf, "-"});
        if (!text.waitForFinished(30000) || text.exitCode() != 0)
            return {};
        return QString::fromUtf8(text.readAllStandardOutput()).split('\f');
    }

    // The charts of a page, in page order; each must be drawn with a size.
    static QList<Chart> ChartsOf(const QJsonObject& page) {
        QList<Chart> charts;
        for (const QJsonValue& v : page["charts"].toArray()) {
            const QJsonObject c = v.toObject();
            if (c["width"].toDouble() <= 0 || c["height"].toDouble() <= 0)
                charts.append({"(not drawn) " + c["caption"].toString(), 0, 0});
            else
                charts.append({c["caption"].toString(), c["points"].toInt(), c["bars"].toInt()});
        }
        return charts;
    }

    // The rows of each table under a heading.
    static QList<QStringList> TablesOf(const QJsonObject& page, const QString& heading) {
        QList<QStringList> tables;
        for (const QJsonValue& t : page["sections"].toObject()[heading].toArray()) {
            QStringList rows;
            for (const QJsonValue& r : t.toArray())
                rows << r.toString();
            tables << rows;
        }
        return tables;
    }

  private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        for (const char* log : {"harbour-1", "harbour-2", "lighthouse-1", "harbour-3"})
            RunBatch(log);
    }

    // The third run: every section, every chart.
    void laterRunShowsEveryChartAndTable() {
        const QJsonObject page = ReadPage("harbour-3");
        QVERIFY2(!page.isEmpty(), "the page did not load or could not be read");

        const QList<Chart> charts = {
            {kTotalChart, 3, 0}, {kCountChart, 3, 0}, {kGrowthChart, 0, 4}, {kGrowthChart, 0, 4}};
        QCOMPARE(ChartsOf(page), charts);

        const QString quoted = R"(Smith; Jo "JJ", Ann)";
        QCOMPARE(TablesOf(page, "Growth since the previous run"),
                 QList<QStringList>(
                     {{"AMORGAN|Anna Morgan|150|200|50|33,3",
                       "CDELACROIX|Camille Delacroix|40|70|30|75,0",
                       "DSMITH|" + quoted + "|580|600|20|3,4", "BCHEN|Bo Chen|390|390|0|0,0"}}));
        // The run closest to 30 days before day 35 is the first (day 0), not the second.
        QCOMPARE(TablesOf(page, "Growth over about 30 days"),
                 QList<QStringList>(
                     {{"AMORGAN|Anna Morgan|100|200|100|100,0",
                       "CDELACROIX|Camille Delacroix|20|70|50|250,0",
                       "DSMITH|" + quoted + "|560|600|40|7,1", "BCHEN|Bo Chen|390|390|0|0,0"}}));
        const QList<QStringList> bands = TablesOf(page, "Quota bands");
        QCOMPARE(bands.value(0),
                 QStringList({"Red: at or over the limit|1",
                              "Amber: at or over the warning threshold, under the limit|1",
                              "Green: below the threshold|2", "No limit|1"}));
        QCOMPARE(bands.value(1).size(), 4);  // the four mailboxes with a limit
        // 19.7 MB a week; the figures grouped as the runs' web reports group them ("." between
        // the groups, "," before the decimals).
        QCOMPARE(TablesOf(page, "Days until the limit"),
                 QList<QStringList>({{"AMORGAN|Anna Morgan|200|300|19,7|35|2026-03-15"}}));
        QCOMPARE(TablesOf(page, "Post offices in this history"),
                 QList<QStringList>({{R"(Harbour|FS1\MAIL:\grpwise\harbour|2026-02-09|5|1.265|95)",
                                      R"(Lighthouse|FS2\MAIL:\grpwise\light|2026-01-26|2|75|)"}}));
        const QString text = page["text"].toString();
        QVERIFY2(text.contains("New mailboxes (1): FNEW"), qPrintable(text));
        QVERIFY2(text.contains("Gone mailboxes (1): EGONE (10 MB)"), qPrintable(text));
    }

    // Printed, a heading never ends a page: it lands on the page of what follows it, and a chart
    // or a table of a few rows is never split. The third run's page is printed on pages from
    // 120 to 297 mm high, so that each heading comes near the foot of a page in some of them.
    void printedHeadingsStayWithWhatFollows() {
        QWebEngineView view;
        view.resize(1000, 800);
        view.show();
        QSignalSpy loaded(view.page(), &QWebEnginePage::loadFinished);
        view.load(QUrl::fromLocalFile(dir_.path() + "/harbour-3-trends.html"));
        QVERIFY(loaded.wait(30000) && loaded.takeFirst().at(0).toBool());
        // Texts in page order; those of one group must be on one page.
        const QList<QStringList> groups = {
            {"Size and mailboxes over time", "Total size of the post office (MB)"},
            {"Growth since the previous run", "Compared with the run of",
             "Growth in MB, the 20 mailboxes that grew most"},
            {"Size then (MB)", "BCHEN"},
            {"Growth over about 30 days", "Compared with the run of",
             "Growth in MB, the 20 mailboxes that grew most"},
            {"Size then (MB)", "BCHEN"},
            {"Quota bands", "Red: at or over the limit", "No limit"},
            {"The mailboxes nearest their limit:", "Username", "FNEW"},
            {"Days until the limit", "Username", "AMORGAN"},
            {"New and gone since the previous run", "New mailboxes (1)"},
            {"Post offices in this history", "Lighthouse"}};
        int pagesMin = 100, pagesMax = 0;
        for (int height = 120; height <= 297; height += 9) {
            const QStringList pages = PrintedPages(*view.page(), height);
            QVERIFY2(!pages.isEmpty(), qPrintable(QString("%1 mm: not printed").arg(height)));
            pagesMin = std::min(pagesMin, int(pages.size()));
            pagesMax = std::max(pagesMax, int(pages.size()));
            int page = 0;
            qsizetype at = 0;
            for (const QStringList& group : groups) {
                int first = -1;
                for (const QString& text : group) {
                    // The next place of `text`, from where the last one was found.
                    while (page < pages.size() && pages[page].indexOf(text, at) < 0) {
                        ++page;
                        at = 0;
                    }
                    QVERIFY2(page < pages.size(),
                             qPrintable(QString("%1 mm: \"%2\" not found").arg(height).arg(text)));
                    at = pages[page].indexOf(text, at) + text.size();
                    if (first < 0)
                        first = page;
                    QVERIFY2(page == first, qPrintable(QString("%1 mm: \"%2\" on page %3, "
                                                               "\"%4\" on page %5")
                                                           .arg(height)
                                                           .arg(group.first())
                                                           .arg(first + 1)
                                                           .arg(text)
                                                           .arg(page + 1)));
                }
            }
        }
        // The heights did move the page breaks through the sections.
        QVERIFY2(pagesMax > pagesMin + 1,
                 qPrintable(QString("%1 to %2 pages").arg(pagesMin).arg(pagesMax)));
    }

    // The first run: a chart point each, and nothing to compare with yet.
    void firstRunSaysTrendsStartLater() {
        const QJsonObject page = ReadPage("harbour-1");
        QVERIFY2(!page.isEmpty(), "the page did not load or could not be read");
        QCOMPARE(ChartsOf(page), QList<Chart>({{kTotalChart, 1, 0}, {kCountChart, 1, 0}}));
        QVERIFY(TablesOf(page, "Growth since the previous run").isEmpty());
        QVERIFY(TablesOf(page, "Post offices in this history").isEmpty());
        const QString text = page["text"].toString();
        QVERIFY2(text.contains("Trends start with the next run"), qPrintable(text));
    }
};

QTEST_MAIN(TrendsRender)
#include "tst_trendsrender.moc"
