#pragma once
// Prints or previews a web view, or any other widget, fitted to the page: the content is scaled
// down to the printable width of the chosen paper, inside the page's margins, so that no column
// is cut at the right edge. Printing asks with the print dialog first; the preview opens without
// asking. Both wait until the pages are rendered, so that the preview shows them and the printer
// is not released early. Printing to a PDF file writes the web view's own PDF, whose text stays
// text; paper and the preview get the pages as images.

#include <QObject>
#include <QPageLayout>
#include <functional>

class QPrinter;
class QWebEngineView;
#include <QWidget>

namespace k32 {

class PrintHandler : public QObject {
  public:
    // Renders content on a printer whose page layout is already fitted; false on a failure.
    using PageRenderer = std::function<bool(QPrinter*)>;

    explicit PrintHandler(QWidget* parent) : QObject(parent) {}

    // Shows the print dialog and prints the view on the printer the user chose. False when
    // the view reported a failure; true also when the user cancelled, and when a print or
    // preview is already under way (nothing more is done then).
    bool Print(QWebEngineView* view, QWidget* dialogParent);
    // Opens the print preview dialog of the view. False when the view could not render it.
    bool Preview(QWebEngineView* view, QWidget* dialogParent);

    // The same two for any content: `render` is called with the fitted page layout set on the
    // printer (for a widget, PrintWidget does the fitting).
    bool Print(const PageRenderer& render, QWidget* dialogParent);
    bool Preview(const PageRenderer& render, QWidget* dialogParent);

    // The page layout that printing uses: the chosen paper and orientation, with each margin
    // at least the printer's minimum and at least MinimumMarginMm.
    static constexpr double MinimumMarginMm = 10.0;
    static QPageLayout FittedPageLayout(const QPageLayout& chosen);

    // Prints the view on `printer` with the fitted page layout, its width scaled down to the
    // printable width, and waits for the end. A PDF file as the printer's output is written by
    // the web engine's PDF printer (text stays text); any other output gets each page as an
    // image. False when the view reported a failure.
    static bool PrintOn(QWebEngineView* view, QPrinter* printer);
    // The same, always with each page as an image (paper and the preview).
    static bool PaintOn(QWebEngineView* view, QPrinter* printer);
    // Paints the widget on one page of `printer`, scaled down to fit the printable area and never
    // scaled up beyond its size on screen; the page layout is fitted first. False when the
    // printer could not be opened.
    static bool PrintWidget(QWidget* widget, QPrinter* printer);

  private:
    bool busy_ = false;  // a print or preview is under way
};

}  // namespace k32
