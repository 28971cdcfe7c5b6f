// The two web views on paper and on screen: printing the report and the manual into a PDF file,
// through the printing code and through the "Print" button with its dialog; the preview, which
// opens without asking; and the manual on the Help tab.

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QRegularExpression>
#include <QScreen>
#include <QtTest>

#include "UserInput.h"
#include "WindowTestSupport.h"
#include "ui/PrintHandler.h"

using namespace k32test;
using k32::Form1;

namespace {

// Pages of a PDF file: its page objects (not the page tree, "/Type /Pages").
int PdfPages(const QString& path) {
    const QByteArray pdf = ReadAll(path);
    if (!pdf.startsWith("%PDF-"))
        return 0;
    static const QRegularExpression page(R"(/Type\s*/Page(?!s))");
    int pages = 0;
    for (auto it = page.globalMatch(QString::fromLatin1(pdf)); it.hasNext(); it.next())
        ++pages;
    return pages;
}

// Calls `act` once `ready` holds, from a timer: for dialogs whose contents are made while the
// dialog already runs its own loop.
void WhenReady(std::function<bool()> ready, std::function<void()> act, int ms = 20000) {
    auto* timer = new QTimer;
    auto elapsed = std::make_shared<QElapsedTimer>();
    elapsed->start();
    timer->setInterval(30);
    QObject::connect(timer, &QTimer::timeout, [timer, ready, act, elapsed, ms] {
        const bool done = ready();
        if (done || elapsed->elapsed() > ms) {
            timer->stop();
            timer->deleteLater();
            act();
        }
    });
    timer->start();
}

}  // namespace

class PrintHelpTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        QApplication::setQuitOnLastWindowClosed(false);
        answers_ = std::make_unique<MessageBoxAnswerer>();
        program_ = std::make_unique<Program>();
        Form1& f = *program_->form;
        Retype(Child<QLineEdit>(f, "EditOpen"), KESTRAMA_SAMPLES "/english-gw652.log");
        Retype(Child<QLineEdit>(f, "EditSave"), out_.filePath("po1"));
    }

    void cleanupTestCase() {
        program_.reset();
        answers_.reset();
    }

    // The manual, from the program's folder, with its pictures.
    void help() {
        Form1& f = *program_->form;
        ClickTab(f, k32::kTabHelp);
        QVERIFY(Child<QWebEngineView>(f, "WebBrowserHelp")->isVisible());
        const QUrl manual = QUrl::fromLocalFile(QString(KESTRAMA_PROGRAM_DIR) + "/manual.mht");
        QVERIFY(
            WaitUntil([&] { return Child<QWebEngineView>(f, "WebBrowserHelp")->url() == manual; }));
        QVERIFY(Loaded(Child<QWebEngineView>(f, "WebBrowserHelp")));
        const QString text =
            Evaluate(Child<QWebEngineView>(f, "WebBrowserHelp")->page(), "document.body.innerText")
                .toString();
        QVERIFY2(text.contains("Kestrama 32 user manual"), qPrintable(text.left(300)));
        QVERIFY(text.contains("Batch reports from the command line"));
        QVERIFY(text.contains("The Output CSV tab"));
        const QVariantList widths = Evaluate(Child<QWebEngineView>(f, "WebBrowserHelp")->page(),
                                             "Array.from(document.images).map(i => i.naturalWidth)")
                                        .toList();
        QVERIFY(!widths.isEmpty());
        for (const QVariant& w : widths)
            QVERIFY(w.toInt() > 0);
    }

    // Each printable view into a PDF file: the blank report page before any run, the report
    // after one, and the manual.
    void printToPdf_data() {
        QTest::addColumn<int>("tab");
        QTest::addColumn<bool>("run");
        QTest::addRow("report view before any run") << int(k32::kTabHtml) << false;
        QTest::addRow("report") << int(k32::kTabHtml) << true;
        QTest::addRow("manual") << int(k32::kTabHelp) << false;
    }

    void printToPdf() {
        QFETCH(int, tab);
        QFETCH(bool, run);
        Form1& f = *program_->form;
        if (run) {
            Click(Child<QPushButton>(f, "ButtonGo"));
            QVERIFY(QFile::exists(out_.filePath("po1.mht")));
        }
        ClickTab(f, tab);
        QWebEngineView* view = f.PrintableView();
        QVERIFY(view);
        if (run)
            QVERIFY(WaitUntil([&] { return view->url().fileName() == "po1.mht"; }));
        QVERIFY(Loaded(view));
        const QString pdf = out_.filePath(QString("print-%1-%2.pdf").arg(tab).arg(run));
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        printer.setResolution(300);  // the pages come as images: keep them small and quick
        QVERIFY(k32::PrintHandler::PrintOn(view, &printer));
        QVERIFY2(PdfPages(pdf) >= 1, qPrintable(pdf));
    }

    // "Print" asks with the print dialog; printing to a file there gives a PDF of the report.
    void printButton() {
        Form1& f = *program_->form;
        ClickTab(f, k32::kTabHtml);
        QVERIFY(Loaded(Child<QWebEngineView>(f, "WebBrowserOutput")));
        const QString pdf = out_.filePath("button.pdf");
        QString dialogName;
        bool toFile = false;
        WhenDialogOpens<QPrintDialog>([&](QPrintDialog* d) {
            dialogName = d->objectName();
            // The dialog's file box is there when it prints to a file (no printer installed, or
            // "Print to File (PDF)" chosen).
            auto* file = d->findChild<QLineEdit*>("filename");
            toFile = file && file->isEnabled();
            if (!toFile) {
                d->reject();
                return;
            }
            Retype(file, pdf);
            auto* buttons = d->findChild<QDialogButtonBox*>();
            QTest::mouseClick(buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
        });
        Click(Child<QPushButton>(f, "ButtonPrint"));
        QCOMPARE(dialogName, QString("PrintDialog"));
        if (!toFile)
            QSKIP("the print dialog offers no printing to a file here");
        QVERIFY(WaitUntil([&] { return PdfPages(pdf) >= 1; }, 5000));
        QCOMPARE(answers_->texts.size(), 1);  // the first-run notice, no failure
    }

    // "Print Preview" opens the preview at once, with the view's pages in it, large enough to
    // read a page.
    void preview_data() {
        QTest::addColumn<int>("tab");
        QTest::addRow("report") << int(k32::kTabHtml);
        QTest::addRow("manual") << int(k32::kTabHelp);
        QTest::addRow("trends") << int(k32::kTabTrends);
    }

    void preview() {
        QFETCH(int, tab);
        Form1& f = *program_->form;
        ClickTab(f, tab);
        if (tab != k32::kTabTrends)
            QVERIFY(Loaded(f.PrintableView()));
        QString firstDialog;
        int pages = 0;
        QSize size;
        WhenDialogOpens<QDialog>([&](QDialog* d) {
            firstDialog = d->metaObject()->className() + QString(" ") + d->objectName();
            auto* widget = d->findChild<QPrintPreviewWidget*>();
            WhenReady([widget] { return widget && widget->pageCount() >= 1; },
                      [&, d, widget] {
                          pages = widget ? widget->pageCount() : 0;
                          size = d->size();
                          d->reject();
                      });
        });
        Click(Child<QPushButton>(f, "ButtonPrintPreview"));
        QCOMPARE(firstDialog, QString("QPrintPreviewDialog PrintPreviewDialog"));
        QVERIFY(pages >= 1);
        const QSize screen = f.screen()->availableGeometry().size();
        QVERIFY2(size.width() >= screen.width() / 2 && size.height() >= screen.height() / 2,
                 qPrintable(QString("%1x%2").arg(size.width()).arg(size.height())));
        QCOMPARE(answers_->texts.size(), 1);
    }

  private:
    QTemporaryDir out_;
    std::unique_ptr<MessageBoxAnswerer> answers_;
    std::unique_ptr<Program> program_;
};

QTEST_MAIN(PrintHelpTest)
#include "tst_print_help.moc"
