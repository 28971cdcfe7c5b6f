#include "ui/AdvancedPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "testlog/DummyLog.h"
#include "text/Errors.h"
#include "text/Text.h"
#include "ui/Form1.h"
#include "ui/Named.h"
#include "ui/TextDecode.h"

namespace k32 {

namespace {

QLabel* NamedLabel(QWidget* parent, const char* name, const char* caption) {
    auto* label = Named<QLabel>(parent, name);
    label->setText(QString::fromLatin1(caption));
    label->adjustSize();
    label->resize(label->width(), ControlHeight);
    return label;
}

}  // namespace

AdvancedPage::AdvancedPage(QWidget* parent) : QFrame(parent) {
    setObjectName("PanelAdv");
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    LabelAdvInfo =
        NamedLabel(this, "LabelAdvInfo",
                   "Create dummy GWCheck.log file, press write file to create the file.");
    LabelPath = NamedLabel(this, "LabelPath", "Path to logfile");
    LabelNr = NamedLabel(this, "LabelNr", "Number of mailboxes");
    LabelVer = NamedLabel(this, "LabelVer", "Version");
    EditAdvGW = Named<QLineEdit>(this, "EditAdvGW");
    EditAdvGW->setText(QDir::homePath() + "/dummy.log");
    EditAdvGWNr = Named<QLineEdit>(this, "EditAdvGWNr");
    EditAdvGWNr->setText("100");
    EditAdvGWNr->resize(121, 23);
    ComboAdvGW = Named<QComboBox>(this, "ComboAdvGW");
    ComboAdvGW->addItems(
        {"Groupwise 5.5.x", "Groupwise 6.0.x", "Groupwise 6.5", "Groupwise 6.5.2"});
    ComboAdvGW->setCurrentIndex(2);
    CheckBoxProblem = Named<QCheckBox>(this, "CheckBoxProblem");
    CheckBoxProblem->setText("Problem 89/90");
    // The caption stands to the left of the box.
    CheckBoxProblem->setLayoutDirection(Qt::RightToLeft);
    CheckBoxProblem->adjustSize();
    ButtonAdvGW = Named<QPushButton>(this, "ButtonAdvGW");
    ButtonAdvGW->setText("Write File");

    connect(ButtonAdvGW, &QPushButton::clicked, this, &AdvancedPage::ButtonAdvGWClick);
    connect(ComboAdvGW, &QComboBox::currentIndexChanged, this, &AdvancedPage::ComboAdvGWChange);
}

void AdvancedPage::LayoutControls() {
    constexpr int M = LayoutMargin, W = ControlWidth, H = ControlHeight;
    LabelAdvInfo->move(M / 2, 2 * M);
    LabelPath->move(M / 2, 2 * M + H);
    LabelNr->move(M / 2, 2 * M + 2 * H);
    LabelVer->move(M / 2, 2 * M + 3 * H);
    CheckBoxProblem->move(M / 2, 2 * M + 4 * H);
    EditAdvGW->setGeometry(M / 2 + 120, 2 * M + H, W, H);
    EditAdvGWNr->move(M / 2 + 120, 2 * M + 2 * H);
    ComboAdvGW->setGeometry(M / 2 + 120, 2 * M + 3 * H, W, H);
    ButtonAdvGW->setGeometry(M / 2, 2 * M + 5 * H, W, H);
}

void AdvancedPage::SetBusy(bool busy) {
    busy_ = busy;
    ButtonAdvGW->setEnabled(!busy);
}

void AdvancedPage::ComboAdvGWChange() {
    // GroupWise 5.5 logs carry no limit lines; the tick itself stays as it was.
    CheckBoxProblem->setEnabled(ComboAdvGW->currentIndex() != 0);
}

void AdvancedPage::ButtonAdvGWClick() {
    if (busy_)
        return;
    // The write handles no events until it ends, and an error box is modal: nothing else can
    // start meanwhile.
    ButtonAdvGW->setEnabled(false);
    try {
        const std::int64_t count = DummyMailboxCount(EditAdvGWNr->text().toStdString());
        const std::string path = Text(EditAdvGW->text().toUtf8().toStdString()).str();
        const auto version = static_cast<DummyVersion>(ComboAdvGW->currentIndex() + 1);
        WriteDummyLog(path, version, count, CheckBoxProblem->isChecked());
        const QString shownPath = QString::fromUtf8(path.data(), static_cast<int>(path.size()));
        QString summary = QString("Dummy log written: %1, %2 mailboxes, %3")
                              .arg(shownPath)
                              .arg(count)
                              .arg(ComboAdvGW->currentText());
        const QString typed = EditAdvGWNr->text().trimmed();
        bool isNumber = false;
        if (typed.toLongLong(&isNumber) < count && isNumber)
            summary += " (" + typed + " mailboxes raised to 10, the smallest log)";
        // Only a complete file becomes the input log.
        emit logWritten(shownPath, summary);
    } catch (const KestramaError& e) {
        emit writeFailed(DecodeForDisplay(e.what()), DecodeForDisplay(e.where));
    } catch (const std::exception& e) {
        emit writeFailed(DecodeForDisplay(e.what()), {});
    }
    ButtonAdvGW->setEnabled(!busy_);
}

}  // namespace k32
