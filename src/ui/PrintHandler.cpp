#include "ui/PrintHandler.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPaintEngine>
#include <QPainter>
#include <QPdfDocument>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScopedValueRollback>
#include <QScreen>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>
#include <algorithm>

namespace k32 {

namespace {

// Id of the style element that scales the page for printing only.
constexpr char kFitStyleId[] = "kestrama-print-fit";

// Runs `code` in the page's application world (a web archive runs no scripts of its own, but
// its document can be changed from there) and waits for the result; an invalid result when the
// page does not answer within five seconds.
QVariant RunScript(QWebEnginePage* page, const QString& code) {
    QVariant result;
    QEventLoop loop;
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    page->runJavaScript(code, QWebEngineScript::ApplicationWorld, [&](const QVariant& value) {
        result = value;
        loop.quit();
    });
    loop.exec();
    return result;
}

// Scales the page's printed form down so that its widest part fits `printableWidth` CSS pixels;
// the page on screen does not change. The widest part is the page's narrowest possible layout
// (a fixed-width table, a long line of preformatted text, a picture), measured in one script run
// so that the screen is never painted in between. Returns the scale (1 when the page fits).
double FitPageWidth(QWebEngineView* view, double printableWidth) {
    const QString code = QString(R"((function (width) {
        const doc = document, root = doc.documentElement;
        const old = doc.getElementById('%1');
        if (old) old.remove();
        if (!root) return 1;
        const saved = root.style.width;
        root.style.width = 'min-content';
        const needed = root.getBoundingClientRect().width;
        root.style.width = saved;
        if (!(needed > width)) return 1;
        // A hair below the exact ratio, so that rounding never pushes the right border over.
        const scale = Math.floor(width / needed * 1000) / 1000;
        const style = doc.createElement('style');
        style.id = '%1';
        style.textContent = '@media print { html { zoom: ' + scale + ' !important } }';
        (doc.head || root).appendChild(style);
        return scale;
    })(%2))")
                             .arg(kFitStyleId)
                             .arg(printableWidth, 0, 'f', 2);
    const QVariant scale = RunScript(view->page(), code);
    return scale.isValid() ? scale.toDouble() : 1.0;
}

void UnfitPageWidth(QWebEngineView* view) {
    RunScript(view->page(),
              QString("(function () { const s = document.getElementById('%1'); if (s) s.remove(); "
                      "return true; })()")
                  .arg(kFitStyleId));
}

// The printable width in CSS pixels (96 to the inch).
double PrintableCssWidth(const QPageLayout& layout) {
    return layout.paintRect(QPageLayout::Point).width() * 96.0 / 72.0;
}

// Paints each page of `pdf`, made for the printer's page layout, into the printable area of its
// own sheet, in the printer's page order. False when the PDF cannot be read or the printer
// cannot be painted on.
bool PaintPdfPages(const QByteArray& pdf, QPrinter* printer) {
    QBuffer buffer;
    buffer.setData(pdf);
    buffer.open(QIODevice::ReadOnly);
    QPdfDocument document;
    document.load(&buffer);
    if (document.status() != QPdfDocument::Status::Ready || document.pageCount() < 1)
        return false;
    QList<int> pages;
    for (int i = 0; i < document.pageCount(); ++i)
        pages.append(i);
    if (printer->pageOrder() == QPrinter::LastPageFirst)
        std::reverse(pages.begin(), pages.end());
    const int dpi = printer->resolution();
    const QPageLayout layout = printer->pageLayout();
    const QRect paper = layout.fullRectPixels(dpi);
    const QRect area = layout.paintRectPixels(dpi);  // where the painter's origin lies
    QPainter painter;
    if (!painter.begin(printer))
        return false;
    for (qsizetype i = 0; i < pages.size(); ++i) {
        if (i > 0 && !printer->newPage())
            return false;
        const QImage image = document.render(pages[i], paper.size());
        if (image.isNull())
            return false;
        // The page holds the margins too: only its printable part goes onto the sheet.
        painter.drawImage(QRect(QPoint(0, 0), area.size()), image, area);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    return painter.end();
}

// Fits the printer's page layout and the view's printed width, runs `print`, and takes the
// fitting back, so that the next print of another paper measures afresh.
bool FittedPrint(QWebEngineView* view, QPrinter* printer,
                 const std::function<bool(const QPageLayout&)>& print) {
    const QPageLayout layout = PrintHandler::FittedPageLayout(printer->pageLayout());
    printer->setPageLayout(layout);
    FitPageWidth(view, PrintableCssWidth(layout));
    const bool ok = print(layout);
    UnfitPageWidth(view);
    return ok;
}

}  // namespace

QPageLayout PrintHandler::FittedPageLayout(const QPageLayout& chosen) {
    QPageLayout layout = chosen;
    layout.setUnits(QPageLayout::Millimeter);
    const QMarginsF minimum = layout.minimumMargins();
    const QMarginsF current = layout.margins();
    const auto side = [](double now, double least) {
        return std::max({now, least, MinimumMarginMm});
    };
    layout.setMargins(QMarginsF(
        side(current.left(), minimum.left()), side(current.top(), minimum.top()),
        side(current.right(), minimum.right()), side(current.bottom(), minimum.bottom())));
    return layout;
}

bool PrintHandler::PaintOn(QWebEngineView* view, QPrinter* printer) {
    // The web engine's own painting of a printer scales each page image to the whole paper, so
    // that it spills over the right margin: the pages are drawn here instead, from the same PDF
    // that a file would get, each into the printable area.
    return FittedPrint(view, printer, [&](const QPageLayout& layout) {
        QByteArray pdf;
        bool answered = false;
        QEventLoop loop;
        view->page()->printToPdf(
            [&](const QByteArray& data) {
                pdf = data;
                answered = true;
                loop.quit();
            },
            layout, printer->pageRanges());
        if (!answered)
            loop.exec();
        return !pdf.isEmpty() && PaintPdfPages(pdf, printer);
    });
}

bool PrintHandler::PrintOn(QWebEngineView* view, QPrinter* printer) {
    // The preview swaps in a paint engine of its own while it collects the pages: those must be
    // painted even when the printer's output is a PDF file.
    const bool pdfFile = printer->outputFormat() == QPrinter::PdfFormat &&
                         !printer->outputFileName().isEmpty() &&
                         printer->paintEngine()->type() == QPaintEngine::Pdf;
    if (!pdfFile)
        return PaintOn(view, printer);
    const QString file = printer->outputFileName();
    return FittedPrint(view, printer, [&](const QPageLayout& layout) {
        bool ok = false;
        QEventLoop loop;
        auto connection = QObject::connect(view->page(), &QWebEnginePage::pdfPrintingFinished,
                                           &loop, [&](const QString& path, bool success) {
                                               if (path != file)
                                                   return;
                                               ok = success;
                                               loop.quit();
                                           });
        view->page()->printToPdf(file, layout, printer->pageRanges());
        loop.exec();
        QObject::disconnect(connection);
        return ok;
    });
}

bool PrintHandler::PrintWidget(QWidget* widget, QPrinter* printer) {
    printer->setPageLayout(FittedPageLayout(printer->pageLayout()));
    QPainter painter;
    if (!painter.begin(printer))
        return false;
    // The widget's own size on paper, shrunk to the printable area when it is larger.
    const QRectF area = printer->pageLayout().paintRectPixels(printer->resolution());
    const QSizeF size = widget->size();
    const double natural = double(printer->resolution()) / widget->logicalDpiX();
    const double scale =
        std::min({natural, area.width() / size.width(), area.height() / size.height()});
    painter.scale(scale, scale);
    widget->render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
    return painter.end();
}

bool PrintHandler::Print(const PageRenderer& render, QWidget* dialogParent) {
    // The window stays live while the pages are made: a second click waits for no second job.
    if (busy_)
        return true;
    const QScopedValueRollback busy(busy_, true);
    // Pages that reach the printer as images come at the printer's resolution: 300 dpi prints
    // text sharply, where the printer's highest resolution made the manual take half a minute.
    QPrinter printer(QPrinter::HighResolution);
    printer.setResolution(300);
    printer.setPageLayout(FittedPageLayout(printer.pageLayout()));
    QPrintDialog dialog(&printer, dialogParent);
    dialog.setObjectName("PrintDialog");
    if (dialog.exec() != QDialog::Accepted)
        return true;
    return render(&printer);
}

bool PrintHandler::Preview(const PageRenderer& render, QWidget* dialogParent) {
    if (busy_)
        return true;
    const QScopedValueRollback busy(busy_, true);
    // The preview keeps and rescales every page image: at the high resolution a manual of a
    // dozen pages took minutes to show. 150 dpi reads well on screen and shows in a second or two.
    QPrinter printer(QPrinter::HighResolution);
    printer.setResolution(150);
    printer.setPageLayout(FittedPageLayout(printer.pageLayout()));
    QPrintPreviewDialog dialog(&printer, dialogParent);
    dialog.setObjectName("PrintPreviewDialog");
    // Large enough to read a page: left to itself the dialog may open as a strip.
    if (const QScreen* screen =
            dialogParent ? dialogParent->screen() : QGuiApplication::primaryScreen()) {
        const QRect room = screen->availableGeometry();
        dialog.resize(room.width() * 4 / 5, room.height() * 9 / 10);
    }
    bool ok = true;
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&](QPrinter* target) { ok = render(target) && ok; });
    dialog.exec();
    return ok;
}

bool PrintHandler::Print(QWebEngineView* view, QWidget* dialogParent) {
    return Print([view](QPrinter* printer) { return PrintOn(view, printer); }, dialogParent);
}

bool PrintHandler::Preview(QWebEngineView* view, QWidget* dialogParent) {
    // The preview's own print button prints through the same call, onto the real printer.
    return Preview([view](QPrinter* printer) { return PrintOn(view, printer); }, dialogParent);
}

}  // namespace k32
