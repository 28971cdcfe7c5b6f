#pragma once
// Prints or previews a web view. Printing asks with the print dialog first; the preview opens
// without asking. Both wait until the view has rendered its pages, so that the preview shows
// them and the printer is not released early.

#include <QObject>

class QPrinter;
class QWebEngineView;
#include <QWidget>

namespace k32 {

class PrintHandler : public QObject {
  public:
    explicit PrintHandler(QWidget* parent) : QObject(parent) {}

    // Shows the print dialog and prints the view on the printer the user chose. False when
    // the view reported a failure; true also when the user cancelled.
    bool Print(QWebEngineView* view, QWidget* dialogParent);
    // Opens the print preview dialog of the view. False when the view could not render it.
    bool Preview(QWebEngineView* view, QWidget* dialogParent);
    // Renders the view on `printer` and waits for the end; false when the view reported a
    // failure.
    static bool PrintOn(QWebEngineView* view, QPrinter* printer);
};

}  // namespace k32
