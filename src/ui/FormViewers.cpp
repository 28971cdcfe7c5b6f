// The two web views: the report of the last run on "Output HTML" and the manual on "Help";
// "Print" and "Print Preview" act on whichever of them is on screen, or on the Trends tab.

#include <QFileInfo>
#include <QTabWidget>
#include <QUrl>
#include <QWebEngineView>

#include "app/AppState.h"
#include "state/DebugLog.h"
#include "ui/Form1.h"
#include "ui/PrintHandler.h"
#include "ui/TrendsPage.h"

namespace k32 {

namespace {

// The Trends tab paints itself on the printer, fitted to the page.
PrintHandler::PageRenderer PrintTrends(TrendsPage* page) {
    return [page](QPrinter* printer) { return page->PrintOn(printer); };
}

}  // namespace

void Form1::ShowReportInViewer(const std::string& path) {
    // A base path without a folder names a file in the current folder.
    const QFileInfo file(QString::fromUtf8(path.data(), static_cast<int>(path.size())));
    if (file.size() > ReportViewerLimitBytes) {
        ShowReportTooLarge(file.absoluteFilePath(), file.size());
        return;
    }
    reportShown_ = true;
    if (TabControl1->currentIndex() == kTabHtml)
        ShowTabPage();
    // Loaded afresh, so that a re-sort's new order shows without the user reloading.
    const QUrl url = QUrl::fromLocalFile(file.absoluteFilePath());
    if (WebBrowserOutput->url() == url)
        WebBrowserOutput->reload();
    else
        WebBrowserOutput->load(url);
}

void Form1::ShowReportTooLarge(const QString& path, qint64 bytes) {
    reportShown_ = false;
    if (TabControl1->currentIndex() == kTabHtml)
        ShowTabPage();
    const QString megabytes = QString::number(bytes / (1024 * 1024));
    AddProgressLine(state, "Web report too large to show here (" + megabytes.toStdString() +
                               " MB): " + path.toUtf8().toStdString());
    WebBrowserOutput->setHtml(
        "<html><body style=\"font-family: sans-serif; margin: 2em\">"
        "<h3>The web report is written, but too large to show here</h3>"
        "<p>" +
        path.toHtmlEscaped() + " holds " + megabytes +
        " MB. This view shows web reports "
        "of up to " +
        QString::number(ReportViewerLimitBytes / (1024 * 1024)) +
        " MB; a larger one would use up the memory of the page before it could be shown.</p>"
        "<p>The \"Output CSV\" tab lists every mailbox. To see the web report here, list fewer "
        "mailboxes with \"Top items\" or an above value on the \"Settings\" tab.</p>"
        "</body></html>");
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
    if (TabControl1->currentIndex() == kTabTrends) {
        if (!printHandler->Print(PrintTrends(PanelTrends), this))
            ShowMessageBox("The page could not be printed.");
        return;
    }
    if (QWebEngineView* view = PrintableView(); view && !printHandler->Print(view, this))
        ShowMessageBox("The page could not be printed.");
}

void Form1::ButtonPrintPreviewClick() {
    if (TabControl1->currentIndex() == kTabTrends) {
        if (!printHandler->Preview(PrintTrends(PanelTrends), this))
            ShowMessageBox("The print preview could not be made.");
        return;
    }
    if (QWebEngineView* view = PrintableView(); view && !printHandler->Preview(view, this))
        ShowMessageBox("The print preview could not be made.");
}

void Form1::RefreshTrends() {
    const ReportSettings& settings = state.settings;
    // The last run's post office comes first.
    const RunSummary none{};
    const RunSummary& last = state.lastRun ? state.lastRun->log.summary : none;
    PanelTrends->Refresh({settings.KeepHistory, settings.HistoryFile, last.postOfficeName.str(),
                          last.pathToPO.str()});
}

}  // namespace k32
