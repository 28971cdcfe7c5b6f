// A run from the window as a user makes it: type the paths, press "Go", watch the Log tab, then
// read the grid and the web report; "Re-sort" after a change of the sort field; runs that end
// in an error; and the run guarded against a second run, a re-sort and the window closing.

#include <QAbstractItemModelTester>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QScrollBar>
#include <QTableView>
#include <QTextBlock>
#include <QtTest>
#include <algorithm>

#include "UserInput.h"
#include "WindowTestSupport.h"
#include "testlog/DummyLog.h"

using namespace k32test;
using k32::Form1;

namespace {

QString MakeLog(const QTemporaryDir& dir, const QString& name, int mailboxes) {
    const QString path = dir.filePath(name);
    k32::WriteDummyLog(path.toStdString(), k32::kDummyGW652, mailboxes, true);
    return path;
}

// The grid's cells of one column, record rows only.
QStringList GridColumn(const QTableView* grid, int column, int records) {
    QStringList cells;
    for (int r = 0; r < records; ++r)
        cells << grid->model()->index(r, column).data().toString();
    return cells;
}

// The user names in the web report's table, in page order.
QStringList PageUserNames(QWebEngineView* view) {
    return Evaluate(view->page(),
                    "Array.from(document.querySelectorAll('td'))"
                    ".map(c => c.innerText.trim()).filter(t => /^Username\\d+$/.test(t))")
        .toStringList();
}

QVariantList ImageWidths(QWebEngineView* view) {
    return Evaluate(view->page(), "Array.from(document.images).map(i => i.naturalWidth)").toList();
}

int CountLines(const Form1& f, const QString& text) {
    return Child<QPlainTextEdit>(f, "MemoMainLog")->toPlainText().count(text);
}

QStringList FilesIn(const QTemporaryDir& dir) {
    return QDir(dir.path()).entryList(QDir::Files, QDir::Name);
}

// Records, for every line the Log tab gets, the line and the state of "Go" at that moment.
struct GoWatcher {
    explicit GoWatcher(Form1& f) {
        QObject::connect(
            Child<QPlainTextEdit>(f, "MemoMainLog"), &QPlainTextEdit::textChanged,
            Child<QPlainTextEdit>(f, "MemoMainLog"), [this, &f] {
                const QString last =
                    Child<QPlainTextEdit>(f, "MemoMainLog")->document()->lastBlock().text();
                lines << last;
                goStates << (Child<QPushButton>(f, "ButtonGo")->text() +
                             (Child<QPushButton>(f, "ButtonGo")->isEnabled() ? " on" : " off"));
            });
    }
    // The index of the first line from `from` on that holds `text`; -1 if none.
    int Find(const QString& text, int from = 0) const {
        for (int i = from; i < lines.size(); ++i)
            if (lines[i].contains(text))
                return i;
        return -1;
    }
    QStringList lines;
    QStringList goStates;
};

}  // namespace

class RunTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    // The progress lines come in the order the run makes them, with "Please wait" on the
    // disabled "Go" until the last; then "Go" and "Re-sort" are on, and the Log tab is shown.
    void progressLinesInOrder() {
        QTemporaryDir dir;
        const QString log = MakeLog(dir, "po1.log", 300);
        const QString base = dir.filePath("po1");
        MessageBoxAnswerer answers;
        Program p;
        Form1& f = *p.form;
        Retype(Child<QLineEdit>(f, "EditOpen"), log);
        Retype(Child<QLineEdit>(f, "EditSave"), base);
        ClickTab(f, k32::kTabCsv);

        GoWatcher watch(f);
        Click(Child<QPushButton>(f, "ButtonGo"));
        QCOMPARE(answers.texts, QStringList{"First run, settings default settings."});
        QCOMPARE(Child<QTabWidget>(f, "TabControl1")->currentIndex(), int(k32::kTabLog));
        const QStringList order = {"Opening file: " + log,
                                   "Source FileSize : " + QString::number(QFileInfo(log).size()),
                                   "Reading file header.",
                                   "Log file language: English",
                                   "Groupwise version detected: 6.5.2",
                                   "PO Name: ",
                                   "Sorting.",
                                   "Done processing",
                                   "Writing to CSV file: " + base + ".csv",
                                   "Writing to MHT file: " + base + ".mht",
                                   "Done writing files, check the tabs for the results"};
        int at = 0;
        for (const QString& line : order) {
            at = watch.Find(line, at);
            QVERIFY2(at >= 0, qPrintable("missing or out of order: " + line + "\n" +
                                         watch.lines.join('\n')));
            if (!line.startsWith("Done writing"))
                QCOMPARE(watch.goStates[at], QString("Please wait off"));
        }
        QCOMPARE(Child<QPushButton>(f, "ButtonGo")->text(), QString("Go"));
        QVERIFY(Child<QPushButton>(f, "ButtonGo")->isEnabled());
        QVERIFY(Child<QPushButton>(f, "ButtonReSort")->isEnabled());
    }

    // The grid lists every mailbox once, numbered. The widths row gives each column's longest
    // text (8 pixels a character and 10 more; full names without their outer blanks), and a
    // column is drawn that wide, or wider where its caption needs it. The model stays sound
    // through the run's refill.
    void gridListsEveryMailbox() {
        QTemporaryDir dir;
        const int mailboxes = 300;
        const QString log = MakeLog(dir, "po1.log", mailboxes);
        MessageBoxAnswerer answers;
        Program p;
        Form1& f = *p.form;
        const QTableView* grid = Child<QTableView>(f, "StringGridCSV");
        QAbstractItemModel* model = grid->model();
        QAbstractItemModelTester tester(model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        Retype(Child<QLineEdit>(f, "EditOpen"), log);
        Retype(Child<QLineEdit>(f, "EditSave"), dir.filePath("po1"));
        Click(Child<QPushButton>(f, "ButtonGo"));

        QCOMPARE(model->rowCount(), mailboxes + 1);
        QCOMPARE(model->columnCount(), 11);
        QStringList captions;
        for (int c = 0; c < 11; ++c)
            captions << model->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(captions,
                 QStringList({"Cnt", "UserName", "FullName", "Inbox", "OutBox", "WasteBin", "UID",
                              "SIZE", "SizeLimit", "Threshold", "Exceeded"}));
        QStringList names = GridColumn(grid, 1, mailboxes);
        QStringList expectedNames;
        for (int i = 1; i <= mailboxes; ++i)
            expectedNames << QString("Username%1").arg(i);
        names.sort();
        expectedNames.sort();
        QCOMPARE(names, expectedNames);
        for (int r = 0; r < mailboxes; ++r)
            QCOMPARE(model->index(r, 0).data().toString(), QString::number(r + 1));
        for (int c = 0; c < 11; ++c) {
            int widest = 0;
            for (QString cell : GridColumn(grid, c, mailboxes)) {
                if (c == 2)
                    cell = cell.trimmed();
                widest = std::max(widest, 8 * int(cell.size()) + 10);
            }
            QCOMPARE(grid->columnWidth(c),
                     std::max(widest, grid->horizontalHeader()->sectionSizeHint(c)));
            QVERIFY(grid->columnWidth(c) >
                    grid->horizontalHeader()->fontMetrics().horizontalAdvance(captions[c]));
            QCOMPARE(model->index(mailboxes, c).data().toString(), QString::number(widest));
        }
        QCOMPARE(model->index(mailboxes, 0).data().toString(), "34");   // "300"
        QCOMPARE(model->index(mailboxes, 1).data().toString(), "98");   // "Username300"
        QCOMPARE(model->index(mailboxes, 2).data().toString(), "218");  // "Firstname300 ..."
        QCOMPARE(grid->columnWidth(2), 218);
    }

    // The web report, with both images loaded, lists the mailboxes in the grid's order, and
    // can be printed.
    void webReportInGridOrder() {
        QTemporaryDir dir;
        const int mailboxes = 300;
        const QString log = MakeLog(dir, "po1.log", mailboxes);
        const QString base = dir.filePath("po1");
        MessageBoxAnswerer answers;
        Program p;
        Form1& f = *p.form;
        Retype(Child<QLineEdit>(f, "EditOpen"), log);
        Retype(Child<QLineEdit>(f, "EditSave"), base);
        Click(Child<QPushButton>(f, "ButtonGo"));

        ClickTab(f, k32::kTabHtml);
        QVERIFY(Child<QPushButton>(f, "ButtonPrint")->isEnabled());
        QVERIFY(Child<QPushButton>(f, "ButtonPrintPreview")->isEnabled());
        QWebEngineView* view = Child<QWebEngineView>(f, "WebBrowserOutput");
        QVERIFY(WaitUntil([&] { return view->url() == QUrl::fromLocalFile(base + ".mht"); }));
        QVERIFY(WaitUntil([&] { return ImageWidths(view) == QVariantList({468, 85}); }));
        QCOMPARE(PageUserNames(view),
                 GridColumn(Child<QTableView>(f, "StringGridCSV"), 1, mailboxes));
    }

    // Re-sort by user name, ascending, after a run: the grid and the page show the new order
    // without a message, and Re-sort stays on.
    void reSortShowsNewOrder() {
        QTemporaryDir dir;
        const int mailboxes = 300;
        const QString log = MakeLog(dir, "po1.log", mailboxes);
        MessageBoxAnswerer answers;
        Program p;
        Form1& f = *p.form;
        Retype(Child<QLineEdit>(f, "EditOpen"), log);
        Retype(Child<QLineEdit>(f, "EditSave"), dir.filePath("po1"));
        Click(Child<QPushButton>(f, "ButtonGo"));
        ClickTab(f, k32::kTabHtml);
        QWebEngineView* view = Child<QWebEngineView>(f, "WebBrowserOutput");
        const QTableView* grid = Child<QTableView>(f, "StringGridCSV");
        const QStringList names = GridColumn(grid, 1, mailboxes);
        QVERIFY(WaitUntil([&] { return PageUserNames(view) == names; }));

        int loads = 0;
        connect(view, &QWebEngineView::loadFinished, this, [&] { ++loads; });
        p.state.settings.Sort = 0;
        p.state.settings.SortDir = 0;
        Click(Child<QPushButton>(f, "ButtonReSort"));
        const QStringList resorted = GridColumn(grid, 1, mailboxes);
        QVERIFY(resorted != names);
        QVERIFY(std::is_sorted(resorted.begin(), resorted.end()));
        QCOMPARE(grid->model()->rowCount(), mailboxes + 1);
        QVERIFY(WaitUntil([&] { return loads > 0; }));
        QVERIFY(WaitUntil([&] { return PageUserNames(view) == resorted; }));
        QCOMPARE(ImageWidths(view), QVariantList({468, 85}));
        QVERIFY(Child<QPushButton>(f, "ButtonReSort")->isEnabled());
        QCOMPARE(answers.texts.size(), 1);
    }

    // A report too large for the view is not loaded (the page process would run out of
    // memory): the view says where the complete file is, and the Log tab says so too.
    void reportTooLargeForTheView() {
        QTemporaryDir dir;
        const QString log = MakeLog(dir, "po1.log", 20);
        const QString base = dir.filePath("po1");
        MessageBoxAnswerer answers;
        Program p;
        Form1& f = *p.form;
        f.ReportViewerLimitBytes = 1000;
        Retype(Child<QLineEdit>(f, "EditOpen"), log);
        Retype(Child<QLineEdit>(f, "EditSave"), base);
        Click(Child<QPushButton>(f, "ButtonGo"));
        QVERIFY(WaitUntil(
            [&] { return !f.Busy() && Child<QPushButton>(f, "ButtonGo")->text() == "Go"; }));
        QVERIFY(QFileInfo(base + ".mht").size() > 1000);
        QVERIFY(CountLines(f, "Web report too large to show here") == 1);
        QWebEngineView* view = Child<QWebEngineView>(f, "WebBrowserOutput");
        QVERIFY(WaitUntil([&] {
            return Evaluate(view->page(), "document.body ? document.body.innerText : ''")
                .toString()
                .contains(base + ".mht");
        }));
        QVERIFY(!view->url().isLocalFile());
        ClickTab(f, k32::kTabHtml);  // a notice, not a report: nothing to print
        QVERIFY(!Child<QPushButton>(f, "ButtonPrint")->isEnabled());
        QVERIFY(!Child<QPushButton>(f, "ButtonPrintPreview")->isEnabled());
        QCOMPARE(answers.texts.size(), 1);  // the first-run notice only: no error box
    }

    // A run that ends early says why in a message box and gives "Go" back; nothing is written.
    void runEndsEarly_data() {
        QTest::addColumn<QByteArray>("logText");  // empty: no log file at all
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("logLine");
        QTest::addRow("log missing") << QByteArray() << "File not found\n<log>"
                                     << "File not found";
        QTest::addRow("no statistics")
            << QByteArray("Novell GroupWise - GWCHKSRV - Version 6.5.2\r\nnothing else\r\n")
            << "No statistics detected."
            << "No statistics detected, read the manual for more information";
    }

    void runEndsEarly() {
        QFETCH(QByteArray, logText);
        QFETCH(QString, message);
        QFETCH(QString, logLine);
        QTemporaryDir dir;
        const QString log = dir.filePath("po1.log");
        if (!logText.isEmpty()) {
            QFile file(log);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(logText);
        }
        MessageBoxAnswerer answers;
        Program p;
        Form1& f = *p.form;
        Retype(Child<QLineEdit>(f, "EditOpen"), log);
        Retype(Child<QLineEdit>(f, "EditSave"), dir.filePath("po1"));
        Click(Child<QPushButton>(f, "ButtonGo"));
        QVERIFY(WaitUntil([&] { return answers.texts.size() == 2; }));
        QCOMPARE(answers.texts[1], QString(message).replace("<log>", log));
        QVERIFY2(Child<QPlainTextEdit>(f, "MemoMainLog")->toPlainText().contains(logLine),
                 qPrintable(Child<QPlainTextEdit>(f, "MemoMainLog")->toPlainText()));
        QCOMPARE(Child<QPushButton>(f, "ButtonGo")->text(), QString("Go"));
        QVERIFY(Child<QPushButton>(f, "ButtonGo")->isEnabled());
        QVERIFY(!f.Busy());
        QCOMPARE(FilesIn(dir), logText.isEmpty() ? QStringList() : QStringList{"po1.log"});
    }

    // Re-sort rewrites only a completed mailbox run. After a run of a sample log, a run that
    // does not complete, or that reads an expire log, leaves Re-sort off; neither the button
    // nor its handler then writes the first log's mailboxes under the new paths.
    void reSortOnlyAfterMailboxRun_data() {
        QTest::addColumn<QString>("input");
        QTest::addColumn<bool>("blockCsv");  // a folder where the CSV report would go
        QTest::addColumn<QStringList>("written");
        QTest::addColumn<bool>("csvNotice");
        const QString samples = KESTRAMA_SAMPLES;
        QTest::addRow("no statistics") << "/etc/passwd" << false << QStringList{} << false;
        QTest::addRow("failed part-way")
            << samples + "/english-gw652.log" << true << QStringList{} << false;
        QTest::addRow("expire log")
            << samples + "/english-gw652-expire.log" << false << QStringList{"po2.mht"} << true;
    }

    void reSortOnlyAfterMailboxRun() {
        QFETCH(QString, input);
        QFETCH(bool, blockCsv);
        QFETCH(QStringList, written);
        QFETCH(bool, csvNotice);
        QTemporaryDir dir;
        const QString newFolder = dir.filePath("new");
        QVERIFY(QDir().mkpath(newFolder));
        if (blockCsv)
            QVERIFY(QDir().mkpath(newFolder + "/po2.csv"));
        MessageBoxAnswerer answers;
        Program p;
        Form1& f = *p.form;
        Retype(Child<QLineEdit>(f, "EditOpen"), QString(KESTRAMA_SAMPLES) + "/english-gw652.log");
        Retype(Child<QLineEdit>(f, "EditSave"), dir.filePath("po1"));
        Click(Child<QPushButton>(f, "ButtonGo"));
        QVERIFY(Child<QPushButton>(f, "ButtonReSort")->isEnabled());
        const int firstRows = Child<QTableView>(f, "StringGridCSV")->model()->rowCount();

        Retype(Child<QLineEdit>(f, "EditOpen"), input);
        Retype(Child<QLineEdit>(f, "EditSave"), newFolder + "/po2");
        Click(Child<QPushButton>(f, "ButtonGo"));
        QVERIFY(Child<QPushButton>(f, "ButtonGo")->isEnabled());
        QVERIFY(!Child<QPushButton>(f, "ButtonReSort")->isEnabled());
        QTest::mouseClick(Child<QPushButton>(f, "ButtonReSort"), Qt::LeftButton);
        f.ButtonReSortClick();
        QCOMPARE(QDir(newFolder).entryList(QDir::Files, QDir::Name), written);
        QVERIFY(!Child<QPushButton>(f, "ButtonReSort")->isEnabled());

        // The grid keeps the first log's rows; after an expire run the CSV tab says why no
        // grid belongs to it.
        QCOMPARE(Child<QTableView>(f, "StringGridCSV")->model()->rowCount(), firstRows);
        ClickTab(f, k32::kTabCsv);
        QCOMPARE(Child<QLabel>(f, "LabelCsvExpire")->isVisible(), csvNotice);
        QCOMPARE(Child<QTableView>(f, "StringGridCSV")->isVisible(), !csvNotice);
        if (csvNotice) {
            QVERIFY(Child<QLabel>(f, "LabelCsvExpire")
                        ->text()
                        .contains("An expire log has no CSV report"));
            QVERIFY(Child<QLabel>(f, "LabelCsvExpire")->text().contains("from an earlier run"));
            // The next mailbox run shows the grid again.
            Retype(Child<QLineEdit>(f, "EditOpen"),
                   QString(KESTRAMA_SAMPLES) + "/english-gw652.log");
            Click(Child<QPushButton>(f, "ButtonGo"));
            QVERIFY(Child<QPushButton>(f, "ButtonReSort")->isEnabled());
            ClickTab(f, k32::kTabCsv);
            QVERIFY(Child<QTableView>(f, "StringGridCSV")->isVisible());
            QVERIFY(!Child<QLabel>(f, "LabelCsvExpire")->isVisible());
        }
    }

    // A missing reports' folder is found before the log is read: the box names the folder on
    // its second line and is wide enough for its whole title.
    void missingDestinationFolder() {
        QTemporaryDir dir;
        const QString log = MakeLog(dir, "po1.log", 20);
        const QString folder = dir.filePath("missing");
        MessageBoxAnswerer answers;
        Program p;
        Form1& f = *p.form;
        Retype(Child<QLineEdit>(f, "EditOpen"), log);
        Retype(Child<QLineEdit>(f, "EditSave"), folder + "/po1");
        Click(Child<QPushButton>(f, "ButtonGo"));
        QVERIFY(WaitUntil([&] { return answers.texts.size() == 2; }));
        QCOMPARE(answers.texts[1], "Path not found\n" + folder);
        QCOMPARE(CountLines(f, "Reading file header."), 0);
        QVERIFY(Child<QPushButton>(f, "ButtonGo")->isEnabled());
        QVERIFY(!Child<QPushButton>(f, "ButtonReSort")->isEnabled());
        const int titleWidth =
            QFontMetrics(QApplication::font()).horizontalAdvance("Kestrama 32 for Windows");
        for (int width : answers.widths)
            QVERIFY2(width >= titleWidth + 100, qPrintable(QString::number(width)));
    }

    // Print and Print Preview act on a report or the manual only; the manual is loaded before
    // the window takes its first click.
    void printOnlyWithAPage() {
        MessageBoxAnswerer answers;
        Program p;
        Form1& f = *p.form;
        const QUrl manual = QUrl::fromLocalFile(QString(KESTRAMA_PROGRAM_DIR) + "/manual.mht");
        QCOMPARE(Child<QWebEngineView>(f, "WebBrowserHelp")->url(), manual);
        QVERIFY(
            Evaluate(Child<QWebEngineView>(f, "WebBrowserHelp")->page(), "document.body.innerText")
                .toString()
                .contains("Kestrama 32 user manual"));
        const QList<std::pair<int, bool>> tabs = {{k32::kTabLog, false},
                                                  {k32::kTabHtml, false},
                                                  {k32::kTabCsv, false},
                                                  {k32::kTabHelp, true}};
        for (const auto& [tab, printable] : tabs) {
            ClickTab(f, tab);
            QCOMPARE(Child<QPushButton>(f, "ButtonPrint")->isEnabled(), printable);
            QCOMPARE(Child<QPushButton>(f, "ButtonPrintPreview")->isEnabled(), printable);
        }
    }

    // During a run neither "Go" nor "Re-sort" can start anything, by mouse or by a direct call of
    // their handlers; the one run ends with the reports of its own log.
    void noSecondRunDuringRun() {
        QTemporaryDir dir;
        const QString small = MakeLog(dir, "small.log", 20);
        const int mailboxes = 60000;
        const QString big = MakeLog(dir, "big.log", mailboxes);
        const QString base = dir.filePath("po");
        MessageBoxAnswerer answers;
        Program p;
        Form1& f = *p.form;
        Retype(Child<QLineEdit>(f, "EditOpen"), small);
        Retype(Child<QLineEdit>(f, "EditSave"), base);
        Click(Child<QPushButton>(f, "ButtonGo"));
        QVERIFY(
            Child<QPushButton>(f, "ButtonReSort")->isEnabled());  // a table to re-sort from now on

        Retype(Child<QLineEdit>(f, "EditOpen"), big);
        int tries = 0;
        QStringList seen;
        QTimer poke;
        poke.setInterval(5);
        connect(&poke, &QTimer::timeout, this, [&] {
            if (!f.Busy())
                return;
            ++tries;
            seen << QString("go %1 resort %2")
                        .arg(Child<QPushButton>(f, "ButtonGo")->isEnabled())
                        .arg(Child<QPushButton>(f, "ButtonReSort")->isEnabled());
            QTest::mouseClick(Child<QPushButton>(f, "ButtonGo"), Qt::LeftButton);
            QTest::mouseClick(Child<QPushButton>(f, "ButtonReSort"), Qt::LeftButton);
            f.ButtonGoClick();
            f.ButtonReSortClick();
        });
        poke.start();
        Click(Child<QPushButton>(f, "ButtonGo"));
        poke.stop();
        QVERIFY2(tries > 0, "the run ended before it could be disturbed");
        seen.removeDuplicates();
        QCOMPARE(seen, QStringList{"go 0 resort 0"});
        QCOMPARE(CountLines(f, "Opening file: "), 2);
        QCOMPARE(CountLines(f, "Sorting."), 2);
        QCOMPARE(CountLines(f, "Writing to CSV file: "), 2);
        QCOMPARE(Child<QTableView>(f, "StringGridCSV")->model()->rowCount(), mailboxes + 1);
        QVERIFY(Child<QPushButton>(f, "ButtonGo")->isEnabled());
        QVERIFY(Child<QPushButton>(f, "ButtonReSort")->isEnabled());
        QCOMPARE(answers.texts.size(), 1);
    }

    // A run finishes as it started: while it is on, the path boxes take no typing and their
    // Select buttons are off, so the reports, the trend files and the recorded log path all
    // belong to the log the run started with, and nothing appears under a base typed meanwhile.
    // Afterwards the boxes take typing again, for the next run.
    void editsDuringARunChangeNothingOfIt() {
        QTemporaryDir dir;
        const QString log = MakeLog(dir, "first.log", 200000);
        const QString other = MakeLog(dir, "other.log", 10);
        const QString base = dir.filePath("first"), typedBase = dir.filePath("typed");
        MessageBoxAnswerer answers;
        Program p;
        Form1& f = *p.form;
        auto* open = Child<QLineEdit>(f, "EditOpen");
        auto* save = Child<QLineEdit>(f, "EditSave");
        Retype(open, log);
        Retype(save, base);
        QTest::mouseClick(Child<QPushButton>(f, "ButtonGo"), Qt::LeftButton);
        QVERIFY(f.Busy());
        QVERIFY(open->isReadOnly() && save->isReadOnly());
        QVERIFY(!Child<QPushButton>(f, "ButtonSelectSource")->isEnabled());
        QVERIFY(!Child<QPushButton>(f, "ButtonSelectDestination")->isEnabled());
        Retype(open, other);
        Retype(save, typedBase);
        QCOMPARE(open->text(), log);
        QCOMPARE(save->text(), base);
        QVERIFY2(f.Busy(), "the run ended before the boxes could be typed into");
        QVERIFY(WaitUntil([&] { return !f.Busy(); }, 300000));
        QCOMPARE(answers.texts.size(), 1);  // the first-run notice, no error

        for (const char* end : {".csv", ".mht", "-trends.html", "-trends.csv"}) {
            QVERIFY2(QFileInfo::exists(base + end), end);
            QVERIFY2(!QFileInfo::exists(typedBase + end), end);
        }
        QVERIFY(ReadAll(base + ".csv").contains("Username200000"));
        QProcess sqlite;
        sqlite.start("sqlite3", {p.dir.filePath("kestrama32/history.sqlite"),
                                 "SELECT log_path, mailboxes FROM runs"});
        QVERIFY(sqlite.waitForFinished(30000));
        QCOMPARE(QString::fromUtf8(sqlite.readAllStandardOutput()).trimmed(), log + "|200000");

        QVERIFY(!open->isReadOnly() && !save->isReadOnly());
        QVERIFY(Child<QPushButton>(f, "ButtonSelectSource")->isEnabled());
        Retype(open, other);
        QCOMPARE(open->text(), other);
    }

    // Re-sort sorts a copy: one whose reports cannot be written leaves the grid in the order of
    // the reports on disk; once they can, the grid and the files take the new order together.
    void failedReSortKeepsTheGridInTheFilesOrder() {
        QTemporaryDir dir;
        const QString log = MakeLog(dir, "po1.log", 30);
        const QString folder = dir.filePath("out"), moved = dir.filePath("moved");
        QVERIFY(QDir().mkpath(folder));
        MessageBoxAnswerer answers;
        Program p;
        Form1& f = *p.form;
        Retype(Child<QLineEdit>(f, "EditOpen"), log);
        Retype(Child<QLineEdit>(f, "EditSave"), folder + "/po1");
        Click(Child<QPushButton>(f, "ButtonGo"));
        auto* grid = Child<QTableView>(f, "StringGridCSV");
        const QStringList bySize = GridColumn(grid, 1, 30);
        const QByteArray csv = ReadAll(folder + "/po1.csv");

        // Sorted by username from now on; the reports' folder is gone while Re-sort writes.
        p.state.settings.Sort = 0;
        p.state.settings.SortDir = 0;
        QVERIFY(QDir().rename(folder, moved));
        Click(Child<QPushButton>(f, "ButtonReSort"));
        QCOMPARE(answers.texts.size(), 2);
        QVERIFY2(answers.texts[1].contains(folder), qPrintable(answers.texts[1]));
        QCOMPARE(GridColumn(grid, 1, 30), bySize);
        QCOMPARE(ReadAll(moved + "/po1.csv"), csv);
        QVERIFY(Child<QPushButton>(f, "ButtonReSort")->isEnabled());

        QVERIFY(QDir().rename(moved, folder));
        Click(Child<QPushButton>(f, "ButtonReSort"));
        QStringList byName = bySize;
        std::sort(byName.begin(), byName.end());
        QCOMPARE(GridColumn(grid, 1, 30), byName);
        const QByteArray sorted = ReadAll(folder + "/po1.csv");
        QVERIFY(sorted.indexOf("Username1;") < sorted.indexOf("Username10;"));
        QVERIFY(sorted.indexOf("Username10;") < sorted.indexOf("Username2;"));
    }

    // A path that would be cut at 255 bytes names another file: "Go" refuses it, naming the box,
    // and starts nothing.
    void goRefusesAPathThatWouldBeCut_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("named");
        QTest::addRow("log 256") << "EditOpen" << 256 << "The log file box";
        QTest::addRow("base 252") << "EditSave" << 252 << "The destination box";
    }
    void goRefusesAPathThatWouldBeCut() {
        QFETCH(QString, box);
        QFETCH(int, length);
        QFETCH(QString, named);
        QTemporaryDir dir;
        MessageBoxAnswerer answers;
        Program p;
        Form1& f = *p.form;
        Retype(Child<QLineEdit>(f, "EditOpen"), MakeLog(dir, "po1.log", 5));
        Retype(Child<QLineEdit>(f, "EditSave"), dir.filePath("po1"));
        const QString path = "/tmp/" + QString(length - 5, 'x');
        Child<QLineEdit>(f, box)->setText(path);
        Click(Child<QPushButton>(f, "ButtonGo"));
        QVERIFY(WaitUntil([&] { return answers.texts.size() == 2; }));
        QVERIFY2(answers.texts[1].startsWith(named), qPrintable(answers.texts[1]));
        QVERIFY2(answers.texts[1].contains("255 bytes"), qPrintable(answers.texts[1]));
        QCOMPARE(CountLines(f, "Opening file: "), 0);
        QVERIFY(!f.Busy());
    }

    // The Log tab follows new lines while its view is at the bottom, also after the user
    // scrolled up and back down; scrolled up, it stays where the user put it.
    void logTabFollowsAtTheBottom() {
        QTemporaryDir dir;
        const QString log = MakeLog(dir, "po1.log", 20);
        MessageBoxAnswerer answers;
        Program p;
        Form1& f = *p.form;
        auto* memo = Child<QPlainTextEdit>(f, "MemoMainLog");
        Retype(Child<QLineEdit>(f, "EditOpen"), log);
        Retype(Child<QLineEdit>(f, "EditSave"), dir.filePath("po1"));
        for (int i = 0; i < 3; ++i)
            Click(Child<QPushButton>(f, "ButtonGo"));
        QScrollBar* bar = memo->verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        bar->setValue(0);
        Click(Child<QPushButton>(f, "ButtonGo"));
        QCOMPARE(bar->value(), 0);
        bar->setValue(bar->maximum());
        Click(Child<QPushButton>(f, "ButtonGo"));
        QCOMPARE(bar->value(), bar->maximum());
        QVERIFY(CountLines(f, "Done writing files") == 5);
    }

    // Closing the window during a run stops the run at once and then closes as "Quit" does: the
    // reports of the earlier run stay as they were and no temporary file is left, whether the
    // run was reading the log or already writing its reports.
    void closeDuringRun_data() {
        QTest::addColumn<QString>("closeAt");
        QTest::addRow("while reading") << "Reading file header.";
        QTest::addRow("while writing") << "Writing to CSV file: ";
    }

    void closeDuringRun() {
        QFETCH(QString, closeAt);
        QTemporaryDir dir;
        const QString small = MakeLog(dir, "small.log", 20);
        const QString big = MakeLog(dir, "big.log", 150000);
        const QString base = dir.filePath("po");
        MessageBoxAnswerer answers;
        Program p;
        Form1& f = *p.form;
        Retype(Child<QLineEdit>(f, "EditOpen"), small);
        Retype(Child<QLineEdit>(f, "EditSave"), base);
        Click(Child<QPushButton>(f, "ButtonGo"));
        const QByteArray csv = ReadAll(base + ".csv"), mht = ReadAll(base + ".mht");
        QVERIFY(csv.contains("Username20"));
        const QStringList before = FilesIn(dir);

        Retype(Child<QLineEdit>(f, "EditOpen"), big);
        bool closedDuringRun = false;
        QTimer closer;
        closer.setInterval(5);
        connect(&closer, &QTimer::timeout, this, [&] {
            if (f.Busy() && !closedDuringRun && CountLines(f, closeAt) == 2) {
                closedDuringRun = true;
                f.close();
            }
        });
        closer.start();
        Click(Child<QPushButton>(f, "ButtonGo"));
        closer.stop();
        QVERIFY2(closedDuringRun, "the run ended before the window could be closed");
        QVERIFY(!f.Busy());
        QVERIFY(f.QuitDone());
        QVERIFY(!f.isVisible());
        QVERIFY(!Child<QPushButton>(f, "ButtonReSort")
                     ->isEnabled());  // the stopped run's table is not whole
        QCOMPARE(CountLines(f, "Run stopped, the window is closing"), 1);
        QCOMPARE(CountLines(f, "Quiting"), 1);
        QCOMPARE(CountLines(f, "Done writing files"), 1);
        QCOMPARE(ReadAll(base + ".csv"), csv);
        QCOMPARE(ReadAll(base + ".mht"), mht);
        QCOMPARE(FilesIn(dir), before);
        QCOMPARE(answers.texts.size(), 1);  // the first-run notice; the stop is no error
        QSettings store(p.store, QSettings::IniFormat);
        QCOMPARE(store.value("IN").toString(), big);
    }
};

QTEST_MAIN(RunTest)
#include "tst_run.moc"
