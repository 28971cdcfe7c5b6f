// Printing fitted to the page: the report of a run printed into PDF files on A4 and Letter, in
// portrait and landscape, as text (printing to a file) and as page images (paper and the
// preview); the manual's PDF as text; the "Print" button's dialog; a plain widget on a page. The
// PDF files are read back with pdftotext and rendered with pdftoppm.

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QtTest>

#include "UserInput.h"
#include "WindowTestSupport.h"
#include "ui/PrintHandler.h"

using namespace k32test;
using k32::Form1;
using k32::PrintHandler;

namespace {

// Output of a poppler tool; empty when it failed.
QByteArray RunTool(const QString& tool, const QStringList& args) {
    QProcess p;
    p.start(tool, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return {};
    return p.readAllStandardOutput();
}

QString PdfText(const QString& pdf, int page = 0) {
    QStringList args = {"-layout"};
    if (page > 0)
        args << "-f" << QString::number(page) << "-l" << QString::number(page);
    return QString::fromUtf8(RunTool("pdftotext", args << pdf << "-"));
}

int PdfPageCount(const QString& pdf) {
    const QString info = QString::fromUtf8(RunTool("pdfinfo", {pdf}));
    static const QRegularExpression pages(R"(Pages:\s+(\d+))");
    const auto m = pages.match(info);
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

// The PDF's first page rendered in grey at `dpi`.
QImage RenderFirstPage(const QString& pdf, int dpi) {
    const QString base = pdf + "-page";
    RunTool("pdftoppm", {"-f", "1", "-l", "1", "-r", QString::number(dpi), "-gray", "-png",
                         "-singlefile", pdf, base});
    return QImage(base + ".png").convertToFormat(QImage::Format_Grayscale8);
}

// Where ink lies on a rendered page, column by column.
struct Ink {
    int left = -1;   // first column with any ink
    int right = -1;  // last column with any ink
    int line = -1;   // last column holding a vertical line at least `lineLength` long
};

Ink FindInk(const QImage& page, int lineLength) {
    Ink ink;
    for (int x = 0; x < page.width(); ++x) {
        int inked = 0;
        for (int y = 0; y < page.height(); ++y)
            inked += qGray(page.pixel(x, y)) < 200;
        if (inked == 0)
            continue;
        if (ink.left < 0)
            ink.left = x;
        ink.right = x;
        if (inked >= lineLength)
            ink.line = x;
    }
    return ink;
}

// Checks that the page's ink keeps inside the margins of `layout`, and that a vertical line (the
// right border of a table or frame) stands in the right part of the printable area, inside it.
void VerifyFitted(const QImage& page, const QPageLayout& layout, int dpi) {
    QVERIFY(!page.isNull());
    const QSizeF paper = layout.fullRectPoints().size() * dpi / 72.0;
    QVERIFY2(qAbs(page.width() - paper.width()) <= 2 && qAbs(page.height() - paper.height()) <= 2,
             qPrintable(QString("page %1 x %2, paper %3 x %4")
                            .arg(page.width())
                            .arg(page.height())
                            .arg(paper.width())
                            .arg(paper.height())));
    const QRectF area = layout.paintRectPoints().toRectF();
    const double left = area.left() * dpi / 72.0, right = area.right() * dpi / 72.0;
    const Ink ink = FindInk(page, dpi * 3 / 4);  // a line of at least three quarters of an inch
    const QString where = QString("ink from %1 to %2, border at %3; printable from %4 to %5")
                              .arg(ink.left)
                              .arg(ink.right)
                              .arg(ink.line)
                              .arg(left)
                              .arg(right);
    QVERIFY2(ink.left >= left - 1, qPrintable(where));
    QVERIFY2(ink.right <= right + 1, qPrintable(where));
    QVERIFY2(ink.line > left + (right - left) / 2, qPrintable(where));
}

QPageLayout Paper(QPageSize::PageSizeId size, QPageLayout::Orientation orientation) {
    return QPageLayout(QPageSize(size), orientation, QMarginsF());
}

}  // namespace

class PrintTest : public QObject {
    Q_OBJECT

  private slots:
    // A run of the sample log: its report is on the "Output HTML" tab.
    void initTestCase() {
        QApplication::setQuitOnLastWindowClosed(false);
        answers_ = std::make_unique<MessageBoxAnswerer>();
        program_ = std::make_unique<Program>();
        Form1& f = *program_->form;
        Retype(Child<QLineEdit>(f, "EditOpen"), KESTRAMA_SAMPLES "/english-gw652.log");
        Retype(Child<QLineEdit>(f, "EditSave"), out_.filePath("po1"));
        Click(Child<QPushButton>(f, "ButtonGo"));
        QVERIFY(QFile::exists(out_.filePath("po1.mht")));
        ClickTab(f, k32::kTabHtml);
        report_ = Child<QWebEngineView>(f, "WebBrowserOutput");
        QVERIFY(WaitUntil([&] { return report_->url().fileName() == "po1.mht"; }));
        QVERIFY(Loaded(report_));
        manual_ = Child<QWebEngineView>(f, "WebBrowserHelp");
    }

    void cleanupTestCase() {
        program_.reset();
        answers_.reset();
    }

    // The report's table is wider than a portrait page: each paper and orientation gets the
    // whole table, its last caption and its right border inside the margins, both as text and as
    // page images.
    void reportFitsPage_data() {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("orientation");
        QTest::addColumn<bool>("asText");
        for (bool asText : {true, false}) {
            for (auto size : {QPageSize::A4, QPageSize::Letter}) {
                for (auto orientation : {QPageLayout::Portrait, QPageLayout::Landscape}) {
                    QTest::addRow("%s %s %s", size == QPageSize::A4 ? "A4" : "Letter",
                                  orientation == QPageLayout::Portrait ? "portrait" : "landscape",
                                  asText ? "text" : "images")
                        << int(size) << int(orientation) << asText;
                }
            }
        }
    }

    void reportFitsPage() {
        QFETCH(int, size);
        QFETCH(int, orientation);
        QFETCH(bool, asText);
        const QString pdf =
            out_.filePath(QString("report-%1-%2-%3.pdf").arg(size).arg(orientation).arg(asText));
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        printer.setResolution(150);
        printer.setPageLayout(
            Paper(QPageSize::PageSizeId(size), QPageLayout::Orientation(orientation)));
        QVERIFY(asText ? PrintHandler::PrintOn(report_, &printer)
                       : PrintHandler::PaintOn(report_, &printer));

        // The printer's page layout is the one printed: the paper as chosen, with margins.
        const QPageLayout layout = printer.pageLayout();
        QCOMPARE(int(layout.pageSize().id()), size);
        QCOMPARE(int(layout.orientation()), orientation);
        QVERIFY(layout.margins(QPageLayout::Millimeter).left() >= PrintHandler::MinimumMarginMm);

        const QString text = PdfText(pdf, 1);
        if (asText) {
            QVERIFY2(text.contains("UID"), qPrintable(text));
            QVERIFY2(text.contains("Number of mailboxes counted"), qPrintable(text));
        } else {
            QVERIFY2(text.trimmed().isEmpty(), qPrintable(text));  // pictures of pages
        }
        VerifyFitted(RenderFirstPage(pdf, 100), layout, 100);
    }

    // A page far wider than the paper (beyond what the web engine shrinks by itself) still prints
    // whole: its last cell and right border are on the page.
    void widePageFitsPage_data() {
        QTest::addColumn<bool>("asText");
        QTest::addRow("text") << true;
        QTest::addRow("images") << false;
    }

    void widePageFitsPage() {
        QFETCH(bool, asText);
        QWebEngineView view;
        view.resize(800, 600);
        view.show();
        bool loaded = false;
        connect(&view, &QWebEngineView::loadFinished, [&](bool ok) { loaded = ok; });
        view.setHtml(
            "<table border=1 width=2400><tr><td height=800>First</td><td width=100>Last</td>"
            "</tr></table>");
        QVERIFY(WaitUntil([&] { return loaded; }));
        const QString pdf = out_.filePath(QString("wide-%1.pdf").arg(asText));
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        printer.setResolution(150);
        printer.setPageLayout(Paper(QPageSize::A4, QPageLayout::Portrait));
        QVERIFY(asText ? PrintHandler::PrintOn(&view, &printer)
                       : PrintHandler::PaintOn(&view, &printer));
        if (asText)
            QVERIFY(PdfText(pdf, 1).contains("Last"));
        VerifyFitted(RenderFirstPage(pdf, 100), printer.pageLayout(), 100);
    }

    // The manual's PDF holds its text and is far smaller than the same pages as images.
    void manualPdfHoldsText() {
        ClickTab(*program_->form, k32::kTabHelp);
        QVERIFY(Loaded(manual_));
        const QString textPdf = out_.filePath("manual-text.pdf");
        const QString imagePdf = out_.filePath("manual-images.pdf");
        for (const QString& pdf : {textPdf, imagePdf}) {
            QPrinter printer(QPrinter::HighResolution);
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            printer.setResolution(300);  // as "Print" prints
            QVERIFY(pdf == textPdf ? PrintHandler::PrintOn(manual_, &printer)
                                   : PrintHandler::PaintOn(manual_, &printer));
        }
        const QString text = PdfText(textPdf);
        QVERIFY2(text.contains("Kestrama 32 user manual"), qPrintable(text.left(500)));
        QVERIFY(text.contains("Batch reports from the command line"));
        QVERIFY(PdfText(imagePdf).trimmed().isEmpty());
        const qint64 textSize = QFileInfo(textPdf).size(), imageSize = QFileInfo(imagePdf).size();
        qInfo("manual: %d pages, %lld bytes as text; %d pages, %lld bytes as images",
              PdfPageCount(textPdf), textSize, PdfPageCount(imagePdf), imageSize);
        QVERIFY(PdfPageCount(textPdf) >= 1);
        QVERIFY2(textSize * 5 < imageSize,
                 qPrintable(QString("%1 vs %2").arg(textSize).arg(imageSize)));
    }

    // A PDF file that cannot be written is a failure, not a success with no file.
    void unwritablePdfFails() {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(out_.filePath("no-such-folder/report.pdf"));
        QVERIFY(!PrintHandler::PrintOn(report_, &printer));
        QVERIFY(!QFile::exists(printer.outputFileName()));
    }

    // "Print" to a file from the print dialog writes the report's PDF with its text, fitted.
    void printButtonWritesText() {
        Form1& f = *program_->form;
        ClickTab(f, k32::kTabHtml);
        QVERIFY(Loaded(report_));
        const QString pdf = out_.filePath("button.pdf");
        bool toFile = false;
        WhenDialogOpens<QPrintDialog>([&](QPrintDialog* d) {
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
        const int messages = answers_->texts.size();
        Click(Child<QPushButton>(f, "ButtonPrint"));
        if (!toFile)
            QSKIP("the print dialog offers no printing to a file here");
        QVERIFY(WaitUntil([&] { return PdfText(pdf, 1).contains("UID"); }, 10000));
        QCOMPARE(answers_->texts.size(), messages);  // no failure reported
        // The dialog's paper, whatever it is, with the margins of fitted printing.
        const QImage page = RenderFirstPage(pdf, 100);
        const QSizeF points = QSizeF(page.size()) * 72.0 / 100;
        const bool landscape = points.width() > points.height();
        const QSizeF upright = landscape ? points.transposed() : points;
        const QPageLayout layout = PrintHandler::FittedPageLayout(
            QPageLayout(QPageSize(QPageSize::id(upright, QPageSize::Point)),
                        landscape ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF()));
        VerifyFitted(page, layout, 100);
    }

    // A plain widget wider than the page is printed whole on one fitted page.
    void widgetFitsPage() {
        QFrame frame;
        frame.setStyleSheet("QFrame { background: white; border: 4px solid black; }");
        frame.resize(1600, 500);
        const QString pdf = out_.filePath("widget.pdf");
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        printer.setPageLayout(Paper(QPageSize::A4, QPageLayout::Portrait));
        QVERIFY(PrintHandler::PrintWidget(&frame, &printer));
        VerifyFitted(RenderFirstPage(pdf, 100), printer.pageLayout(), 100);
    }

  private:
    QTemporaryDir out_;
    std::unique_ptr<MessageBoxAnswerer> answers_;
    std::unique_ptr<Program> program_;
    QWebEngineView* report_ = nullptr;
    QWebEngineView* manual_ = nullptr;
};

QTEST_MAIN(PrintTest)
#include "tst_print.moc"
