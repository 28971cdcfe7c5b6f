// The Advanced tab: writes a synthetic GWCheck log of any size for one of four GroupWise
// versions, and makes it the input log so that "Go" reads it at once.

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "state/AppState.h"
#include "state/DebugLog.h"
#include "testlog/DummyLog.h"
#include "text/Text.h"
#include "ui/Form1.h"
#include "ui/Named.h"

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

void Form1::CreateAdvancedPage() {
    QWidget* page = PanelAdv;
    LabelAdvInfo =
        NamedLabel(page, "LabelAdvInfo",
                   "Create dummy GWCheck.log file, press write file to create the file.");
    LabelPath = NamedLabel(page, "LabelPath", "Path to logfile");
    LabelNr = NamedLabel(page, "LabelNr", "Number of mailboxes");
    LabelVer = NamedLabel(page, "LabelVer", "Version");
    EditAdvGW = Named<QLineEdit>(page, "EditAdvGW");
    EditAdvGW->setText(QDir::homePath() + "/dummy.log");
    EditAdvGWNr = Named<QLineEdit>(page, "EditAdvGWNr");
    EditAdvGWNr->setText("100");
    EditAdvGWNr->resize(121, 23);
    ComboAdvGW = Named<QComboBox>(page, "ComboAdvGW");
    ComboAdvGW->addItems(
        {"Groupwise 5.5.x", "Groupwise 6.0.x", "Groupwise 6.5", "Groupwise 6.5.2"});
    ComboAdvGW->setCurrentIndex(2);
    CheckBoxProblem = Named<QCheckBox>(page, "CheckBoxProblem");
    CheckBoxProblem->setText("Problem 89/90");
    // The caption stands to the left of the box.
    CheckBoxProblem->setLayoutDirection(Qt::RightToLeft);
    CheckBoxProblem->adjustSize();
    ButtonAdvGW = Named<QPushButton>(page, "ButtonAdvGW");
    ButtonAdvGW->setText("Write File");
}

void Form1::ComboAdvGWChange() {
    // GroupWise 5.5 logs carry no limit lines; the tick itself stays as it was.
    CheckBoxProblem->setEnabled(ComboAdvGW->currentIndex() != 0);
}

void Form1::ButtonAdvGWClick() {
    if (Busy())
        return;
    // The write handles no events until it ends, and an error box is modal: nothing else can
    // start meanwhile.
    ButtonAdvGW->setEnabled(false);
    try {
        const std::int64_t count = DummyMailboxCount(EditAdvGWNr->text().toStdString());
        const std::string path = Text(EditAdvGW->text().toUtf8().toStdString()).str();
        const auto version = static_cast<DummyVersion>(ComboAdvGW->currentIndex() + 1);
        WriteDummyLog(path, version, count, CheckBoxProblem->isChecked());
        const QString typed = EditAdvGWNr->text().trimmed();
        bool isNumber = false;
        const qlonglong asTyped = typed.toLongLong(&isNumber);
        std::string line = "Dummy log written: " + path + ", " + std::to_string(count) +
                           " mailboxes, " + ComboAdvGW->currentText().toStdString();
        if (isNumber && asTyped < count)
            line += " (" + typed.toStdString() + " mailboxes raised to 10, the smallest log)";
        AddProgressLine(state, line);
        // Only a complete file becomes the input log.
        EditOpen->setText(QString::fromUtf8(path.data(), static_cast<int>(path.size())));
    } catch (const std::exception& e) {
        ShowError(e);
    }
    ButtonAdvGW->setEnabled(true);
}

}  // namespace k32
