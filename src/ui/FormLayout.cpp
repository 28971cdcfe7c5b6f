// The window places every control itself from its current size, so the pages grow with the
// window. All figures come from the four layout units (margin M, control width W, control
// height H, gap S); halving drops the remainder.

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QTabWidget>
#include <QTableView>
#include <QWebEngineView>

#include "app/AppState.h"
#include "state/DebugLog.h"
#include "ui/AdvancedPage.h"
#include "ui/Form1.h"
#include "ui/SettingsPage.h"
#include "ui/TrendsPage.h"

namespace k32 {

namespace {

constexpr int M = LayoutMargin, W = ControlWidth, H = ControlHeight, S = ControlGap;

// Layout debug lines are a trace, not a step of a run: a debug log that cannot be written
// shows at the next run, not in the middle of a resize.
void TraceLayout(AppState& state, const std::string& caption, const std::string& value) {
    try {
        AddDebugLine(state, caption, value);
    } catch (const std::exception&) {
    }
}

}  // namespace

void Form1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FormResize();
}

void Form1::FormResize() {
    // The window never gets smaller than 800 x 580 (its minimum size holds it there too).
    if (height() < 580 || width() < 800) {
        resize(std::max(width(), 800), std::max(height(), 580));
        return;  // the resize comes back here with the enlarged size
    }
    TraceLayout(state, "Formsize w: " + std::to_string(width()) + " h: " + std::to_string(height()),
                "");
    LayoutWindow();
}

void Form1::LayoutWindow() {
    TraceLayout(state, "Change windowsize",
                std::to_string(width()) + "#" + std::to_string(height()));
    WindowWidth = width();
    WindowHeight = height();
    const int runRow = M + 2 * H + 2 * S;

    ButtonSelectSource->setGeometry(M, M, W, H);
    ButtonSelectDestination->setGeometry(M, M + H + S, W, H);
    ButtonGo->setGeometry(M, runRow, W, H);
    ButtonReSort->setGeometry(2 * M + W, runRow, W / 2, H);
    ButtonPrint->setGeometry(M / 2 + 2 * M + W + W / 2, runRow, W / 2, H);
    ButtonPrintPreview->setGeometry(3 * M + W + 2 * (W / 2), runRow, W / 2, H);
    ButtonQuit->setGeometry(M / 2 + 3 * M + W + 3 * (W / 2), runRow, W / 2, H);
    Image1->move(4 * M + 3 * W, runRow);
    EditOpen->setGeometry(M + W + S, M, WindowWidth - 3 * M - W - S, H);
    EditSave->setGeometry(M + W + S, M + H + S, WindowWidth - 3 * M - W - S, H);

    const int tabLeft = M, tabTop = M + 3 * H + 3 * S;
    TabControl1->setGeometry(tabLeft, tabTop, WindowWidth - tabLeft - 2 * M,
                             WindowHeight - tabTop - 2 * M);
    const int tabWidth = TabControl1->width(), tabHeight = TabControl1->height();
    for (QWidget* page : {static_cast<QWidget*>(MemoMainLog), static_cast<QWidget*>(PanelWEB),
                          static_cast<QWidget*>(PanelHelp), static_cast<QWidget*>(StringGridCSV),
                          static_cast<QWidget*>(LabelCsvExpire),
                          static_cast<QWidget*>(PanelSettings), static_cast<QWidget*>(PanelTrends)})
        page->setGeometry(M, 2 * M, tabWidth - 2 * M, tabHeight - 3 * M);
    WebBrowserOutput->setGeometry(0, 0, PanelWEB->width(), PanelWEB->height());
    WebBrowserHelp->setGeometry(0, 0, PanelHelp->width(), PanelHelp->height());

    LayoutSettingsPanel();
    LayoutAdvancedPanel();
}

void Form1::LayoutSettingsPanel() {
    PanelSettings->LayoutControls(TabControl1->width(), TabControl1->height());
}

void Form1::LayoutAdvancedPanel() {
    TraceLayout(state, "Advanced tab position procedure", "");
    const int tabWidth = TabControl1->width(), tabHeight = TabControl1->height();
    PanelAdv->setGeometry(M, 2 * M, tabWidth - 2 * M, tabHeight - 3 * M);
    PanelAdv->LayoutControls();
}

}  // namespace k32
