#include "ui/Form1.h"
#include "ui/Named.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableView>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QWebEngineView>
#include <algorithm>

#include "app/AppState.h"
#include "app/RunThread.h"
#include "settings/StoredSettings.h"
#include "state/DebugLog.h"
#include "state/ProgramVersion.h"
#include "text/Errors.h"
#include "ui/AdvancedPage.h"
#include "ui/Logo.h"
#include "ui/MessageBox.h"
#include "ui/PrintHandler.h"
#include "ui/ResultGridModel.h"
#include "ui/SettingsPage.h"
#include "ui/TextDecode.h"
#include "ui/TrendsPage.h"

namespace k32 {

namespace {

// Loads the manual and waits for it (at most ten seconds), so that the Help tab is ready before
// the first run can start: a run keeps the window's thread busy between its event pumps.
void LoadManual(QWebEngineView* view, const std::string& path) {
    bool finished = false;
    QEventLoop loop;
    const auto done = QObject::connect(view, &QWebEngineView::loadFinished, &loop, [&] {
        finished = true;
        loop.quit();
    });
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    view->load(QUrl::fromLocalFile(QString::fromStdString(path)));
    if (!finished)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    QObject::disconnect(done);
}

}  // namespace

namespace {

QPushButton* NamedButton(QWidget* parent, const char* name, const char* caption) {
    auto* b = Named<QPushButton>(parent, name);
    b->setText(QString::fromLatin1(caption));
    return b;
}

}  // namespace

Form1::Form1(AppState& s, std::string folder) : state(s), programFolder(std::move(folder)) {
    setObjectName("Form1");
    setWindowTitle(
        QStringLiteral("Velloran Software - Kestrama 32 - v") +
        QString::fromLatin1(kProgramVersion.data(), static_cast<int>(kProgramVersion.size())));
    setMinimumSize(800, 580);
    // The interface font at 8 points, so that every caption fits its fixed-size control.
    QFont small = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    small.setPointSize(8);
    setFont(small);
    CreateTopArea();
    CreatePages();
    ConnectHandlers();
}

Form1::~Form1() {
    // A run still going is stopped and waited for before the controls it reports to go; its
    // end, queued to this window, is dropped with it.
    runThread_.reset();
    state.screenLine = nullptr;
}

void Form1::CreateTopArea() {
    ButtonSelectSource = NamedButton(this, "ButtonSelectSource", "Select Log File");
    ButtonSelectDestination = NamedButton(this, "ButtonSelectDestination", "Select Destination");
    ButtonGo = NamedButton(this, "ButtonGo", "Go");
    ButtonReSort = NamedButton(this, "ButtonReSort", "Re-sort");
    ButtonReSort->setEnabled(false);
    ButtonQuit = NamedButton(this, "ButtonQuit", "Quit");
    ButtonPrint = NamedButton(this, "ButtonPrint", "Print");
    ButtonPrintPreview = NamedButton(this, "ButtonPrintPreview", "Print Preview");
    // The four half-width buttons are 72 pixels wide: a slightly smaller font and narrow inner
    // margins let "Print Preview" fit whole.
    QFont halfWidth = font();
    halfWidth.setPointSizeF(7.5);
    for (QPushButton* b : {ButtonReSort, ButtonQuit, ButtonPrint, ButtonPrintPreview}) {
        b->setFont(halfWidth);
        b->setStyleSheet("padding-left: 1px; padding-right: 1px;");
    }
    Button1 = NamedButton(this, "Button1", "Special");
    Button1->setVisible(false);

    QFont pathFont = font();
    pathFont.setPointSize(12);
    EditOpen = Named<QLineEdit>(this, "EditOpen");
    EditSave = Named<QLineEdit>(this, "EditSave");
    EditOpen->setFont(pathFont);
    EditSave->setFont(pathFont);

    Image1 = Named<QLabel>(this, "Image1");
    Image1->setPixmap(DrawLogo());
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image1->resize(265, 49);

    TabControl1 = Named<QTabWidget>(this, "TabControl1");
    for (const char* tab :
         {"Log", "Output HTML", "Output CSV", "Settings", "Advanced", "Help", "Trends"})
        TabControl1->addTab(new QWidget, QString::fromLatin1(tab));
    TabControl1->setCurrentIndex(kTabLog);
    // The logo sits beside the tabs, over the strip's empty right end.
    Image1->raise();
}

void Form1::CreatePages() {
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);

    MemoMainLog = Named<QPlainTextEdit>(TabControl1, "MemoMainLog");
    MemoMainLog->setReadOnly(true);
    MemoMainLog->setFont(fixed);
    MemoMainLog->setLineWrapMode(QPlainTextEdit::NoWrap);
    MemoMainLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    MemoMainLog->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    PanelWEB = Named<QFrame>(TabControl1, "PanelWEB");
    WebBrowserOutput = Named<QWebEngineView>(PanelWEB, "WebBrowserOutput");

    StringGridCSV = Named<QTableView>(TabControl1, "StringGridCSV");
    gridModel = new ResultGridModel(StringGridCSV);
    StringGridCSV->setModel(gridModel);
    StringGridCSV->setFont(fixed);
    StringGridCSV->setShowGrid(true);
    StringGridCSV->setSelectionMode(QAbstractItemView::ContiguousSelection);
    StringGridCSV->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGridCSV->verticalHeader()->setVisible(false);
    StringGridCSV->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    StringGridCSV->verticalHeader()->setDefaultSectionSize(20);
    StringGridCSV->horizontalHeader()->setDefaultSectionSize(100);
    StringGridCSV->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    StringGridCSV->horizontalHeader()->setFont(fixed);
    LabelCsvExpire = Named<QLabel>(TabControl1, "LabelCsvExpire");
    LabelCsvExpire->setText(
        "An expire log has no CSV report: its statistics are in the web report on the "
        "\"Output HTML\" tab.\nA CSV file beside the web report is from an earlier run.");
    LabelCsvExpire->setAlignment(Qt::AlignCenter);
    LabelCsvExpire->setWordWrap(true);
    LabelCsvExpire->setVisible(false);

    PanelSettings = new SettingsPage(state, TabControl1);
    PanelAdv = new AdvancedPage(TabControl1);

    PanelHelp = Named<QFrame>(TabControl1, "PanelHelp");
    WebBrowserHelp = Named<QWebEngineView>(PanelHelp, "WebBrowserHelp");

    PanelTrends = new TrendsPage(TabControl1);

    printHandler = new PrintHandler(this);
}

void Form1::ConnectHandlers() {
    connect(TabControl1, &QTabWidget::currentChanged, this, [this] { TabControl1Change(); });
    connect(ButtonSelectSource, &QPushButton::clicked, this, [this] { ButtonSelectSourceClick(); });
    connect(ButtonSelectDestination, &QPushButton::clicked, this,
            [this] { ButtonSelectDestinationClick(); });
    connect(ButtonGo, &QPushButton::clicked, this, [this] { ButtonGoClick(); });
    connect(ButtonReSort, &QPushButton::clicked, this, [this] { ButtonReSortClick(); });
    connect(ButtonQuit, &QPushButton::clicked, this, [this] { ButtonQuitClick(); });
    connect(ButtonPrint, &QPushButton::clicked, this, [this] { ButtonPrintClick(); });
    connect(ButtonPrintPreview, &QPushButton::clicked, this, [this] { ButtonPrintPreviewClick(); });
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(EditOpen, &QLineEdit::textChanged, this, [this] { EditOpenChange(); });
    connect(EditSave, &QLineEdit::textChanged, this, [this] { EditSaveChange(); });
    // A written dummy log becomes the input log, so that "Go" reads it at once.
    connect(PanelAdv, &AdvancedPage::logWritten, this,
            [this](const QString& path, const QString& summary) {
                EditOpen->setText(path);
                AddProgressLine(state, summary.toUtf8().toStdString());
            });
    connect(PanelAdv, &AdvancedPage::writeFailed, this, &Form1::ShowFailure);
    connect(PanelSettings, &SettingsPage::failed, this, &Form1::ShowFailure);
    connect(WebBrowserOutput, &QWebEngineView::loadFinished, this, [this](bool ok) {
        const QUrl url = WebBrowserOutput->url();
        if (!ok && url.isLocalFile())
            ShowMessageBox("The web report could not be shown: " + url.toLocalFile());
    });
}

void Form1::ShowTabPage() {
    const std::array<QWidget*, 8> pages = {MemoMainLog, StringGridCSV, LabelCsvExpire,
                                           PanelAdv,    PanelSettings, PanelWEB,
                                           PanelHelp,   PanelTrends};
    for (QWidget* page : pages)
        page->setVisible(false);
    ButtonPrint->setEnabled(false);
    ButtonPrintPreview->setEnabled(false);
    switch (TabControl1->currentIndex()) {
        case kTabLog:
            MemoMainLog->setVisible(true);
            break;
        case kTabHtml:
            PanelWEB->setVisible(true);
            // Only a report can be printed: not the empty page before a run, nor a notice.
            ButtonPrint->setEnabled(reportShown_);
            ButtonPrintPreview->setEnabled(reportShown_);
            break;
        case kTabCsv:
            (expireShown_ ? static_cast<QWidget*>(LabelCsvExpire) : StringGridCSV)
                ->setVisible(true);
            break;
        case kTabSettings:
            PanelSettings->Shown();
            PanelSettings->setVisible(true);
            break;
        case kTabAdvanced:
            PanelAdv->setVisible(true);
            break;
        case kTabHelp:
            PanelHelp->setVisible(true);
            ButtonPrint->setEnabled(true);
            ButtonPrintPreview->setEnabled(true);
            break;
        case kTabTrends:
            // The history settings may have changed since the last run.
            if (!busy_ && (PanelTrends->Shown().historyOn != state.settings.KeepHistory ||
                           PanelTrends->Shown().location != state.settings.HistoryFile))
                RefreshTrends();
            PanelTrends->setVisible(true);
            ButtonPrint->setEnabled(true);
            ButtonPrintPreview->setEnabled(true);
            break;
    }
    // The shown page lies above the tab strip's own (empty) page area.
    for (QWidget* page : pages)
        if (!page->isHidden())
            page->raise();
}

void Form1::TabControl1Change() {
    ShowTabPage();
}

void Form1::EnableRunButtons() {
    ButtonGo->setText("Go");
    ButtonGo->setEnabled(true);
    // Re-sort rewrites the reports of the last mailbox run that completed, and nothing else.
    ButtonReSort->setEnabled(reSortOffered_);
}

void Form1::ButtonSelectSourceClick() {
    QFileDialog dialog(this);
    dialog.setObjectName("OpenDialog1");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().first();
    // The reports are written next to the log, named after it.
    EditOpen->setText(path);
    EditSave->setText(path);
}

void Form1::ButtonSelectDestinationClick() {
    QFileDialog dialog(this);
    dialog.setObjectName("SaveDialog1");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    // The base path gets ".csv" and ".mht" appended; the file of that very name is not written.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.selectFile("result");
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    EditSave->setText(dialog.selectedFiles().first());
}

void Form1::EditOpenChange() {
    state.settings.InputPath = EditOpen->text().toUtf8().toStdString();
    PanelSettings->RebuildCommandLinePreview();
}

void Form1::EditSaveChange() {
    state.settings.OutputBasePath = EditSave->text().toUtf8().toStdString();
    PanelSettings->RebuildCommandLinePreview();
}

void Form1::ButtonQuitClick() {
    close();
}

void Form1::QuitApplication() {
    if (quitDone_)
        return;
    quitDone_ = true;
    try {
        AddProgressLine(state, "Quiting");
        AddDebugLine(state, "Closing application, saving IN/OUT to registry.", "");
        SaveLastPaths(state.settings);
    } catch (const std::exception& e) {
        ShowError(e);
    }
    try {
        CloseDebugLog(state);
    } catch (const std::exception&) {
        // The program ends either way; the debug log's last line is all that is lost.
    }
    // The window closes after this, and the application ends with its last window.
}

void Form1::closeEvent(QCloseEvent* event) {
    if (busy_) {
        // Stop the run at its next check; once it has ended, the window closes.
        closeAfterRun_ = true;
        if (runThread_ && !stopping_) {
            stopping_ = true;
            runThread_->RequestStop();
            ButtonGo->setText("Stopping");
            AddProgressLine(state, "Stopping the run, the window closes when it has stopped");
        }
        event->ignore();
        return;
    }
    QuitApplication();
    event->accept();
}

void Form1::AppendLogLine(const QString& line) {
    QScrollBar* bar = MemoMainLog->verticalScrollBar();
    const bool atEnd = bar->value() >= bar->maximum();
    MemoMainLog->appendPlainText(line);
    if (atEnd)
        bar->setValue(bar->maximum());
}

void Form1::QueueLogLine(std::string_view line) {
    // The window's own lines go in at once, after those of the run that still wait.
    if (QThread::currentThread() == thread()) {
        DrainLogLines();
        AppendLogLine(DecodeForDisplay(line));
        return;
    }
    bool first = false;
    {
        std::lock_guard lock(logQueueMutex_);
        first = logQueue_.empty();
        logQueue_.emplace_back(line);
    }
    // One hand-over for a burst of lines: the window adds all that wait when it gets to it.
    if (first)
        QMetaObject::invokeMethod(
            this, [this] { DrainLogLines(); }, Qt::QueuedConnection);
}

void Form1::DrainLogLines() {
    std::vector<std::string> lines;
    {
        std::lock_guard lock(logQueueMutex_);
        lines.swap(logQueue_);
    }
    for (const std::string& line : lines)
        AppendLogLine(DecodeForDisplay(line));
}

void Form1::ShowGrid(const std::shared_ptr<const RunResult>& result) {
    gridModel->Show(result);
    // With no record the widths are never worked out, and the columns keep theirs. A column is
    // drawn at least as wide as its caption; the widths row keeps the figures.
    if (result->log.mailboxes.Count() == 0)
        return;
    QHeaderView* header = StringGridCSV->horizontalHeader();
    for (std::size_t c = 0; c < kGridColumns; ++c) {
        const int column = static_cast<int>(c);
        StringGridCSV->setColumnWidth(
            column, std::max<int>(result->grid.widths[c], header->sectionSizeHint(column)));
    }
}

void Form1::StartPages(const std::string& manualPath) {
    TabControl1->setCurrentIndex(kTabLog);
    ShowTabPage();
    WebBrowserOutput->load(QUrl("about:blank"));
    LoadManual(WebBrowserHelp, manualPath);
}

void Form1::ShowPaths(const QString& input, const QString& output) {
    EditOpen->setText(input);
    EditSave->setText(output);
    PanelSettings->RebuildCommandLinePreview();
}

void Form1::ShowMessageBox(const QString& text) {
    ShowTitledMessage(this, text);
}

void Form1::ShowFailure(const QString& message, const QString& where) {
    if (where.isEmpty()) {
        ShowMessageBox(message);
        return;
    }
    AddProgressLine(state, "at " + where.toUtf8().toStdString());
    ShowMessageBox(message + "\n" + where);
}

void Form1::ShowError(const std::exception& e) {
    const auto* k = dynamic_cast<const KestramaError*>(&e);
    ShowFailure(DecodeForDisplay(e.what()), k ? DecodeForDisplay(k->where) : QString());
}

}  // namespace k32
