// The window's frame: which page each tab shows and when printing is possible, where the
// controls sit at the two usual window sizes, the smallest size, and the two file dialogs.

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTableView>
#include <QtTest>

#include "UserInput.h"
#include "WindowTestSupport.h"

using namespace k32test;
using k32::Form1;

namespace {

QWidget* Page(const Form1& f, int tab) {
    const std::array<QWidget*, 6> pages = {Child<QPlainTextEdit>(f, "MemoMainLog"),
                                           Child<QFrame>(f, "PanelWEB"),
                                           Child<QTableView>(f, "StringGridCSV"),
                                           Child<QFrame>(f, "PanelSettings"),
                                           Child<QFrame>(f, "PanelAdv"),
                                           Child<QFrame>(f, "PanelHelp")};
    return pages.at(static_cast<std::size_t>(tab));
}

// Resizes the window and lets the layout settle.
void ResizeTo(Form1& f, int width, int height) {
    f.resize(width, height);
    QVERIFY(WaitUntil(
        [&] { return f.size() == QSize(std::max(width, 800), std::max(height, 580)); }, 3000));
    QCoreApplication::processEvents();
}

}  // namespace

class LayoutTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        QApplication::setQuitOnLastWindowClosed(false);
        answers_ = std::make_unique<MessageBoxAnswerer>();
        program_ = std::make_unique<Program>();
    }

    void cleanupTestCase() {
        program_.reset();
        answers_.reset();
    }

    // Each tab shows its own page and no other; Print and Print Preview only on a web view
    // that holds a page: the manual, and no report before a run.
    void tabs_data() {
        QTest::addColumn<int>("tab");
        QTest::addColumn<bool>("printable");
        QTest::addRow("Log") << int(k32::kTabLog) << false;
        QTest::addRow("Output HTML before a run") << int(k32::kTabHtml) << false;
        QTest::addRow("Output CSV") << int(k32::kTabCsv) << false;
        QTest::addRow("Settings") << int(k32::kTabSettings) << false;
        QTest::addRow("Advanced") << int(k32::kTabAdvanced) << false;
        QTest::addRow("Help") << int(k32::kTabHelp) << true;
    }

    void tabs() {
        QFETCH(int, tab);
        QFETCH(bool, printable);
        Form1& f = *program_->form;
        // Come from a tab with the other print state, so that the change is seen.
        ClickTab(f, printable ? k32::kTabCsv : k32::kTabHelp);
        ClickTab(f, tab);
        QCOMPARE(Child<QTabWidget>(f, "TabControl1")->currentIndex(), tab);
        for (int other = 0; other < 6; ++other)
            QVERIFY2(Page(f, other)->isVisible() == (other == tab),
                     qPrintable(Page(f, other)->objectName()));
        QCOMPARE(Child<QPushButton>(f, "ButtonPrint")->isEnabled(), printable);
        QCOMPARE(Child<QPushButton>(f, "ButtonPrintPreview")->isEnabled(), printable);
        QVERIFY(!Child<QPushButton>(f, "Button1")->isVisible());
    }

    void geometry800x600() {
        Form1& f = *program_->form;
        ResizeTo(f, 800, 600);
        QCOMPARE(Child<QPushButton>(f, "ButtonSelectSource")->geometry(), QRect(16, 16, 145, 25));
        QCOMPARE(Child<QPushButton>(f, "ButtonSelectDestination")->geometry(),
                 QRect(16, 51, 145, 25));
        QCOMPARE(Child<QPushButton>(f, "ButtonGo")->geometry(), QRect(16, 86, 145, 25));
        QCOMPARE(Child<QPushButton>(f, "ButtonReSort")->geometry(), QRect(177, 86, 72, 25));
        QCOMPARE(Child<QPushButton>(f, "ButtonPrint")->geometry(), QRect(257, 86, 72, 25));
        QCOMPARE(Child<QPushButton>(f, "ButtonPrintPreview")->geometry(), QRect(337, 86, 72, 25));
        QCOMPARE(Child<QPushButton>(f, "ButtonQuit")->geometry(), QRect(417, 86, 72, 25));
        QCOMPARE(Child<QLabel>(f, "Image1")->pos(), QPoint(499, 86));
        QCOMPARE(Child<QLabel>(f, "Image1")->size(), QSize(265, 49));
        QCOMPARE(Child<QLabel>(f, "Image1")->pixmap().size(), QSize(265, 34));
        QCOMPARE(Child<QLineEdit>(f, "EditOpen")->geometry(), QRect(171, 16, 597, 25));
        QCOMPARE(Child<QLineEdit>(f, "EditSave")->geometry(), QRect(171, 51, 597, 25));
        QCOMPARE(Child<QTabWidget>(f, "TabControl1")->geometry(), QRect(16, 121, 752, 447));
        for (int tab = 0; tab < 6; ++tab)
            QCOMPARE(Page(f, tab)->geometry(), QRect(16, 32, 720, 399));
        QCOMPARE(Child<QWebEngineView>(f, "WebBrowserOutput")->geometry(), QRect(0, 0, 720, 399));
        QCOMPARE(Child<QWebEngineView>(f, "WebBrowserHelp")->geometry(), QRect(0, 0, 720, 399));
        QCOMPARE(Slot<QCheckBox>(f, "CheckBoxSettingsHTML", 0)->x(), 376 + 200);
    }

    void geometry1024x768() {
        Form1& f = *program_->form;
        ResizeTo(f, 1024, 768);
        QCOMPARE(Child<QLineEdit>(f, "EditOpen")->width(), 821);
        QCOMPARE(Child<QLineEdit>(f, "EditSave")->width(), 821);
        QCOMPARE(Child<QTabWidget>(f, "TabControl1")->size(), QSize(976, 615));
        QCOMPARE(Page(f, k32::kTabSettings)->size(), QSize(944, 567));
        QCOMPARE(Child<QLabel>(f, "LabelSettingsColumn")->x(), 488 + 8);
        QCOMPARE(Slot<QLineEdit>(f, "EditSettingsC", 0)->x(), 488 + 8);
        QCOMPARE(Slot<QComboBox>(f, "ComboBoxSettingsC", 9)->x(), 488 + 80);
        QCOMPARE(Slot<QCheckBox>(f, "CheckBoxSettingsHTML", 4)->x(), 488 + 200);
        QCOMPARE(Slot<QCheckBox>(f, "CheckBoxSettingsCSV", 9)->x(), 488 + 240);
        QCOMPARE(Child<QPushButton>(f, "ButtonApply")->y(), 615 - 80);
        QCOMPARE(Child<QLineEdit>(f, "EditCMDLine")->geometry(), QRect(8, 615 - 125, 976 - 48, 25));
        ResizeTo(f, 800, 600);
    }

    // The history database box shows the default store's path whole on a window of 1280 x 800,
    // and stays clear of the column block at every size.
    void historyBoxReadsWhole() {
        Form1& f = *program_->form;
        ClickTab(f, k32::kTabSettings);
        auto* box = Child<QLineEdit>(f, "EditHistoryFileEdit");
        auto* browse = Child<QPushButton>(f, "ButtonHistoryBrowse");
        for (const QSize& size : {QSize(800, 600), QSize(1280, 800)}) {
            ResizeTo(f, size.width(), size.height());
            QVERIFY(browse->geometry().right() < Slot<QLineEdit>(f, "EditSettingsC", 9)->x());
            if (size.width() < 1280)
                continue;
            const int text = box->fontMetrics().horizontalAdvance(box->placeholderText());
            QVERIFY2(text < box->width() - 8,
                     qPrintable(QString("%1 px of text in %2 px").arg(text).arg(box->width())));
        }
        ResizeTo(f, 800, 600);
    }

    // A drag to 700 x 500 stops at the smallest size, and the layout follows it.
    void smallestSize() {
        Form1& f = *program_->form;
        ResizeTo(f, 700, 500);
        QCOMPARE(f.size(), QSize(800, 580));
        QCOMPARE(Child<QTabWidget>(f, "TabControl1")->geometry(), QRect(16, 121, 752, 427));
        ResizeTo(f, 800, 600);
    }

    // The open dialog sets both paths (the reports go next to the log); the save dialog the
    // output path alone; a cancelled dialog changes nothing.
    void dialogs_data() {
        QTest::addColumn<bool>("openDialog");
        QTest::addColumn<bool>("confirm");
        QTest::addRow("open, confirmed") << true << true;
        QTest::addRow("open, cancelled") << true << false;
        QTest::addRow("save, confirmed") << false << true;
        QTest::addRow("save, cancelled") << false << false;
    }

    void dialogs() {
        QFETCH(bool, openDialog);
        QFETCH(bool, confirm);
        Form1& f = *program_->form;
        k32::AppState& state = program_->state;
        QTemporaryDir dir;
        const QString log = dir.filePath("po1.log");
        QFile file(log);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        const QString chosen = openDialog ? log : dir.filePath("monday");
        Retype(Child<QLineEdit>(f, "EditOpen"), "/before/in.log");
        Retype(Child<QLineEdit>(f, "EditSave"), "/before/out");

        QString dialogName;
        bool nonNative = false;
        WhenDialogOpens<QFileDialog>([&](QFileDialog* d) {
            dialogName = d->objectName();
            nonNative = d->testOption(QFileDialog::DontUseNativeDialog);
            if (confirm) {
                // Typed into the name box, as a user does after picking the folder.
                d->setDirectory(dir.path());
                Retype(d->findChild<QLineEdit*>("fileNameEdit"), QFileInfo(chosen).fileName());
                auto* buttons = d->findChild<QDialogButtonBox*>();
                QTest::mouseClick(
                    buttons->button(openDialog ? QDialogButtonBox::Open : QDialogButtonBox::Save),
                    Qt::LeftButton);
            } else {
                d->reject();
            }
        });
        Click(openDialog ? Child<QPushButton>(f, "ButtonSelectSource")
                         : Child<QPushButton>(f, "ButtonSelectDestination"));
        QCOMPARE(dialogName, QString(openDialog ? "OpenDialog1" : "SaveDialog1"));
        QVERIFY(nonNative);

        const QString in = confirm && openDialog ? chosen : "/before/in.log";
        const QString out = confirm ? chosen : "/before/out";
        QCOMPARE(Child<QLineEdit>(f, "EditOpen")->text(), in);
        QCOMPARE(Child<QLineEdit>(f, "EditSave")->text(), out);
        QCOMPARE(QString::fromStdString(state.settings.InputPath.str()), in);
        QCOMPARE(QString::fromStdString(state.settings.OutputBasePath.str()), out);
    }

  private:
    std::unique_ptr<MessageBoxAnswerer> answers_;
    std::unique_ptr<Program> program_;
};

QTEST_MAIN(LayoutTest)
#include "tst_layout.moc"
