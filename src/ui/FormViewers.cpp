// The two web views: the report of the last run on "Output HTML" and the manual on "Help";
// "Print" and "Print Preview" act on whichever of them is on screen.

#include <QFileInfo>
#include <QTabWidget>
#include <QUrl>
#include <QWebEngineView>

#include "ui/Form1.h"
#include "ui/PrintHandler.h"

namespace k32 {

void Form1::ShowReportInViewer(const std::string& path) {
    // Loaded afresh, so that a re-sort's new order shows without the user reloading.
    // A base path without a folder names a file in the current folder.
    const QString file = QString::fromUtf8(path.data(), static_cast<int>(path.size()));
    const QUrl url = QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath());
    if (WebBrowserOutput->url() == url)
        WebBrowserOutput->reload();
    else
        WebBrowserOutput->load(url);
}

QWebEngineView* Form1::PrintableView() const {
    switch (TabControl1->currentIndex()) {
        case kTabHtml:
            return WebBrowserOutput;
        case kTabHelp:
            return WebBrowserHelp;
        default:
            return nullptr;
    }
}

void Form1::ButtonPrintClick() {
    if (QWebEngineView* view = PrintableView(); view && !printHandler->Print(view, this))
        ShowMessageBox("The page could not be printed.");
}

void Form1::ButtonPrintPreviewClick() {
    if (QWebEngineView* view = PrintableView(); view && !printHandler->Preview(view, this))
        ShowMessageBox("The print preview could not be made.");
}

}  // namespace k32
