#include "ui/PrintHandler.h"

#include <QEventLoop>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QWebEngineView>

namespace k32 {

bool PrintHandler::PrintOn(QWebEngineView* view, QPrinter* printer) {
    bool ok = false;
    QEventLoop loop;
    auto connection =
        QObject::connect(view, &QWebEngineView::printFinished, &loop, [&](bool success) {
            ok = success;
            loop.quit();
        });
    view->print(printer);
    loop.exec();
    QObject::disconnect(connection);
    return ok;
}

bool PrintHandler::Print(QWebEngineView* view, QWidget* dialogParent) {
    // Each page reaches the printer as an image at the printer's resolution: 300 dpi prints
    // text sharply, where the printer's highest resolution made the manual take half a minute.
    QPrinter printer(QPrinter::HighResolution);
    printer.setResolution(300);
    QPrintDialog dialog(&printer, dialogParent);
    dialog.setObjectName("PrintDialog");
    if (dialog.exec() != QDialog::Accepted)
        return true;
    return PrintOn(view, &printer);
}

bool PrintHandler::Preview(QWebEngineView* view, QWidget* dialogParent) {
    // The view hands each page over as an image at the printer's resolution, and the preview
    // keeps and rescales every one of them: at the high resolution a manual of a dozen pages
    // took minutes to show. 150 dpi reads well on screen and shows in a second or two.
    QPrinter printer(QPrinter::HighResolution);
    printer.setResolution(150);
    QPrintPreviewDialog dialog(&printer, dialogParent);
    dialog.setObjectName("PrintPreviewDialog");
    bool ok = true;
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&](QPrinter* target) { ok = PrintOn(view, target) && ok; });
    dialog.exec();
    return ok;
}

}  // namespace k32
