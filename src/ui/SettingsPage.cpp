// A list's item index is the stored number.

#include "ui/SettingsPage.h"

#include <QFileDialog>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/AppState.h"
#include "history/HistoryStore.h"
#include "history/PgHistoryStore.h"
#include "settings/CommandLinePreview.h"
#include "settings/StoredSettings.h"
#include "state/ColumnTable.h"
#include "text/Convert.h"
#include "text/Errors.h"
#include "text/TextHelpers.h"
#include "ui/Form1.h"
#include "ui/Named.h"
#include "ui/TextDecode.h"

namespace k32 {

namespace {

// The sort fields 0..6 and the column codes 0..9, in the order of their numbers.
QStringList SortItems() {
    QStringList items;
    for (int f = 0; f < static_cast<int>(kSortFields); ++f)
        items << QString::fromLatin1(ColumnOfSortField(f)->sortName);
    return items;
}
QStringList ColumnItems() {
    QStringList items;
    for (int i = 0; i < 10; ++i)
        items << QString::fromLatin1(ColumnOfCodeIndex(i).settingsName);
    return items;
}
const QStringList kSortItems = SortItems();
const QStringList kColumnItems = ColumnItems();
const QStringList kCaptionPlacements = {"Header", "Footer", "Disabled"};

// A read-only caption box in the system's light 3D colour.
QLineEdit* CaptionBox(QWidget* parent, const QString& name, const QString& caption) {
    auto* box = Named<QLineEdit>(parent, name);
    box->setText(caption);
    box->setReadOnly(true);
    box->setFocusPolicy(Qt::NoFocus);
    QPalette p = box->palette();
    p.setColor(QPalette::Base, p.color(QPalette::Midlight));
    box->setPalette(p);
    box->resize(box->width(), 23);
    return box;
}

QComboBox* PickList(QWidget* parent, const QString& name, const QStringList& items) {
    auto* combo = Named<QComboBox>(parent, name);
    combo->addItems(items);
    combo->resize(combo->width(), 23);
    return combo;
}

QString SlotName(const char* prefix, std::size_t slot) {
    return QString::asprintf("%s%02d", prefix, static_cast<int>(slot + 1));
}

// A number box's text as a setting: digits only (the empty text giving 0) that fit in 32 bits.
bool NumberBoxValue(const QString& text, std::uint32_t& value) {
    const std::string digits = text.toStdString();
    if (!IsAllDigits(digits))
        return false;
    try {
        value = StrToUInt32("0" + digits);
        return true;
    } catch (const KestramaError&) {
        return false;
    }
}

void SetBoxColour(QLineEdit* box, bool valid) {
    QPalette p = box->palette();
    p.setColor(QPalette::Base,
               valid ? QApplication::palette(box).color(QPalette::Base) : QColor(255, 0, 0));
    box->setPalette(p);
}

}  // namespace

SettingsPage::SettingsPage(AppState& state, QWidget* parent) : QFrame(parent), state(state) {
    setObjectName("PanelSettings");
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    CreateControls();
    ConnectHandlers();
}

void SettingsPage::CreateControls() {
    QWidget* page = this;
    EditSort = CaptionBox(page, "EditSort", "Sort by item");
    EditSortDir = CaptionBox(page, "EditSortDir", "Sort direction");
    EditDebug = CaptionBox(page, "EditDebug", "Debug mode");
    EditCSV = CaptionBox(page, "EditCSV", "CSV Seperator");
    EditDecSep = CaptionBox(page, "EditDecSep", "Thousand Seperator");
    EditCSVHeader = CaptionBox(page, "EditCSVHeader", "CSV Header");
    EditSettingsTopLabel = CaptionBox(page, "EditSettingsTopLabel", "Top items:");
    EditSettingsValue = CaptionBox(page, "EditSettingsValue", "Above items: Size");
    EditKeepHistory = CaptionBox(page, "EditKeepHistory", "Keep history");
    EditHistoryFile = CaptionBox(page, "EditHistoryFile", "History database");
    CheckBoxKeepHistory = Named<QCheckBox>(page, "CheckBoxKeepHistory");
    CheckBoxKeepHistory->resize(CheckBoxKeepHistory->width(), 23);
    EditHistoryFileEdit = Named<QLineEdit>(page, "EditHistoryFileEdit");
    EditHistoryFileEdit->resize(EditHistoryFileEdit->width(), 23);
    EditHistoryFileEdit->setPlaceholderText(QString::fromStdString(DefaultHistoryFile()));
    EditHistoryFileEdit->setToolTip(
        "The history database: a file, empty for the default one, or a PostgreSQL connection "
        "string without a password");
    ButtonHistoryBrowse = Named<QPushButton>(page, "ButtonHistoryBrowse");
    ButtonHistoryBrowse->setText("...");

    ComboBoxSort = PickList(page, "ComboBoxSort", kSortItems);
    ComboBoxSortDir = PickList(page, "ComboBoxSortDir", {"Ascending", "Descending"});
    ComboBoxDebug =
        PickList(page, "ComboBoxDebug", {"Disk / Screen", "Disk only", "Screen only", "Off"});
    ComboBoxCSV = PickList(page, "ComboBoxCSV", {";", ":", ".", ",", "@", "#", "$", "%", "!", "?"});
    ComboBoxCSV->setEditable(true);
    ComboBoxCSV->setInsertPolicy(QComboBox::NoInsert);
    ComboBoxCSV->lineEdit()->setMaxLength(1);
    ComboBoxDecSep = PickList(page, "ComboBoxDecSep", {". (dot)", ", (comma)"});
    ComboBoxCSVHeader = PickList(page, "ComboBoxCSVHeader", kCaptionPlacements);
    EditSettingsTOP = Named<QLineEdit>(page, "EditSettingsTOP");
    EditSettingsValueEdit = Named<QLineEdit>(page, "EditSettingsValueEdit");
    EditSettingsTOP->resize(EditSettingsTOP->width(), 23);
    EditSettingsValueEdit->resize(EditSettingsValueEdit->width(), 23);

    ButtonApply = Named<QPushButton>(page, "ButtonApply");
    ButtonApply->setText("Apply");
    ButtonDefaults = Named<QPushButton>(page, "ButtonDefaults");
    ButtonDefaults->setText("Defaults");
    ButtonSaveSettings = Named<QPushButton>(page, "ButtonSaveSettings");
    ButtonSaveSettings->setText("Save Settings");
    for (QPushButton* b : {ButtonApply, ButtonDefaults, ButtonSaveSettings})
        b->setEnabled(false);

    LabelCMDLine = Named<QLabel>(page, "LabelCMDLine");
    LabelCMDLine->setText("Kestrama commandline switches:");
    EditCMDLine = Named<QLineEdit>(page, "EditCMDLine");
    EditCMDLine->setReadOnly(true);

    LabelSettingsColumn = Named<QLabel>(page, "LabelSettingsColumn");
    LabelSettingsColumn->setText("Column settings");
    LabelSettingsHTML = Named<QLabel>(page, "LabelSettingsHTML");
    LabelSettingsHTML->setText("HTML");
    LabelSettingsCSV = Named<QLabel>(page, "LabelSettingsCSV");
    LabelSettingsCSV->setText("CSV");
    for (QLabel* label : {LabelSettingsColumn, LabelSettingsHTML, LabelSettingsCSV}) {
        label->adjustSize();
        label->move(label->x(), 10);
    }
    for (std::size_t i = 0; i < kColumnSlots; ++i) {
        const QString caption =
            i + 1 < kColumnSlots ? QString("Column %1").arg(i + 1) : QString("Colum 10");
        EditSettingsC[i] = CaptionBox(page, SlotName("EditSettingsC", i), caption);
        ComboBoxSettingsC[i] = PickList(page, SlotName("ComboBoxSettingsC", i), kColumnItems);
        ComboBoxSettingsC[i]->setCurrentIndex(static_cast<int>(i));
        CheckBoxSettingsHTML[i] = Named<QCheckBox>(page, SlotName("CheckBoxSettingsHTML", i));
        CheckBoxSettingsCSV[i] = Named<QCheckBox>(page, SlotName("CheckBoxSettingsCSV", i));
    }
}

void SettingsPage::ConnectHandlers() {
    // Only the user's own edits count as changes: "activated" and "clicked" are not sent when
    // the program sets a choice or a tick.
    connect(ComboBoxSort, &QComboBox::activated, this, [this](int index) {
        MarkSettingsChanged();
        UpdateAboveLabel(index);
    });
    for (QComboBox* combo : {ComboBoxSortDir, ComboBoxDebug, ComboBoxDecSep, ComboBoxCSVHeader})
        connect(combo, &QComboBox::activated, this, [this] { MarkSettingsChanged(); });
    connect(ComboBoxCSV, &QComboBox::activated, this, [this] { MarkSettingsChanged(); });
    connect(ComboBoxCSV->lineEdit(), &QLineEdit::textEdited, this,
            [this] { MarkSettingsChanged(); });
    for (std::size_t i = 0; i < kColumnSlots; ++i) {
        connect(ComboBoxSettingsC[i], &QComboBox::activated, this,
                [this] { MarkSettingsChanged(); });
        connect(CheckBoxSettingsHTML[i], &QCheckBox::clicked, this,
                [this] { MarkSettingsChanged(); });
        connect(CheckBoxSettingsCSV[i], &QCheckBox::clicked, this,
                [this] { MarkSettingsChanged(); });
    }
    for (QLineEdit* box : {EditSettingsTOP, EditSettingsValueEdit})
        connect(box, &QLineEdit::textChanged, this, [this, box] { NumberBoxChange(box); });
    connect(CheckBoxKeepHistory, &QCheckBox::clicked, this, [this] { MarkSettingsChanged(); });
    connect(EditHistoryFileEdit, &QLineEdit::textEdited, this, [this] { MarkSettingsChanged(); });
    connect(ButtonHistoryBrowse, &QPushButton::clicked, this,
            [this] { ButtonHistoryBrowseClick(); });
    connect(ButtonApply, &QPushButton::clicked, this, [this] { ButtonApplyClick(); });
    connect(ButtonSaveSettings, &QPushButton::clicked, this, [this] { ButtonSaveSettingsClick(); });
    connect(ButtonDefaults, &QPushButton::clicked, this, [this] { ButtonDefaultsClick(); });
}

void SettingsPage::Shown() {
    // A run under way keeps the buttons off until it ends.
    if (!busy_)
        ButtonDefaults->setEnabled(true);
    else
        buttonsBeforeBusy_.defaults = true;
    Refresh();
}

void SettingsPage::SetBusy(bool busy) {
    if (busy == busy_)
        return;
    busy_ = busy;
    if (busy) {
        buttonsBeforeBusy_ = {ButtonApply->isEnabled(), ButtonDefaults->isEnabled(),
                              ButtonSaveSettings->isEnabled()};
        ButtonApply->setEnabled(false);
        ButtonDefaults->setEnabled(false);
        ButtonSaveSettings->setEnabled(false);
    } else {
        ButtonApply->setEnabled(buttonsBeforeBusy_.apply);
        ButtonDefaults->setEnabled(buttonsBeforeBusy_.defaults);
        ButtonSaveSettings->setEnabled(buttonsBeforeBusy_.save);
    }
}

void SettingsPage::Refresh() {
    RebuildCommandLinePreview();
    SettingsToControls();
    UpdateAboveLabel(ComboBoxSort->currentIndex());
}

void SettingsPage::RebuildCommandLinePreview() {
    EditCMDLine->setText(DecodeForDisplay(BuildCommandLinePreview(state.settings)));
    EditCMDLine->setCursorPosition(0);
}

void SettingsPage::SettingsToControls() {
    const ReportSettings& s = state.settings;
    ComboBoxSort->setCurrentIndex(s.Sort < kSortItems.size() ? s.Sort : -1);
    ComboBoxSortDir->setCurrentIndex(s.SortDir < 2 ? s.SortDir : -1);
    ComboBoxCSV->setEditText(DecodeForDisplay(s.CSVSeperator.view()));
    ComboBoxDebug->setCurrentIndex(s.DebugMode < 4 ? s.DebugMode : -1);
    if (s.DECSeperator == ".")
        ComboBoxDecSep->setCurrentIndex(0);
    else if (s.DECSeperator == ",")
        ComboBoxDecSep->setCurrentIndex(1);
    if (int i = kCaptionPlacements.indexOf(DecodeForDisplay(s.CSVHeader.view())); i >= 0)
        ComboBoxCSVHeader->setCurrentIndex(i);

    UpdatingControls = true;
    for (std::size_t i = 0; i < kColumnSlots; ++i) {
        CheckBoxSettingsHTML[i]->setChecked(s.columns[i].html);
        CheckBoxSettingsCSV[i]->setChecked(s.columns[i].csv);
    }
    EditSettingsTOP->setText(QString::number(s.TOP));
    EditSettingsValueEdit->setText(QString::number(s.TOPVALUE));
    CheckBoxKeepHistory->setChecked(s.KeepHistory);
    EditHistoryFileEdit->setText(QString::fromStdString(s.HistoryFile));
    UpdatingControls = false;

    // A slot text that is not one of the ten codes (a damaged store) shows an empty choice; the
    // page stays usable, and the error is shown once for that text.
    std::string badText;
    for (std::size_t i = 0; i < kColumnSlots; ++i) {
        std::string_view code = s.columns[i].ColumnFieldCode.view();
        int index = -1;
        try {
            index = StrToInt32(code);
        } catch (const KestramaError& e) {
            if (badText.empty())
                badText = e.what();
        }
        ComboBoxSettingsC[i]->setCurrentIndex(index >= 0 && index < 10 ? index : -1);
    }
    if (!badText.empty() && badText != lastSlotError_)
        emit failed(DecodeForDisplay(badText), {});
    lastSlotError_ = badText;
}

bool SettingsPage::ControlsToSettings() {
    const std::string history = EditHistoryFileEdit->text().trimmed().toStdString();
    if (HasPassword(history)) {
        emit failed(
            "The history database holds a password, which the settings would keep in a file. "
            "Leave the password out of it and keep it in ~/.pgpass (or the file that PGPASSFILE "
            "names), in PGPASSWORD, or in a service file (postgresql:///?service=NAME).",
            {});
        return false;
    }
    ReportSettings& s = state.settings;
    if (ComboBoxSort->currentIndex() >= 0)
        s.Sort = static_cast<std::uint8_t>(ComboBoxSort->currentIndex());
    if (ComboBoxSortDir->currentIndex() >= 0)
        s.SortDir = static_cast<std::uint8_t>(ComboBoxSortDir->currentIndex());
    s.CSVSeperator = EncodeFromDisplay(ComboBoxCSV->currentText());
    if (ComboBoxDebug->currentIndex() >= 0)
        s.DebugMode = static_cast<std::uint8_t>(ComboBoxDebug->currentIndex());
    if (ComboBoxDecSep->currentIndex() == 0)
        s.DECSeperator = ".";
    else if (ComboBoxDecSep->currentIndex() == 1)
        s.DECSeperator = ",";
    s.CSVHeader = ComboBoxCSVHeader->currentText().toStdString();
    for (std::size_t i = 0; i < kColumnSlots; ++i)
        s.columns[i].html = CheckBoxSettingsHTML[i]->isChecked();
    for (std::size_t i = 0; i < kColumnSlots; ++i)
        s.columns[i].csv = CheckBoxSettingsCSV[i]->isChecked();
    // An empty choice (a slot whose stored text was not a code) keeps the stored text.
    for (std::size_t i = 0; i < kColumnSlots; ++i)
        if (int index = ComboBoxSettingsC[i]->currentIndex(); index >= 0)
            s.columns[i].ColumnFieldCode = std::to_string(index);
    std::uint32_t value = 0;
    s.TOP = NumberBoxValue(EditSettingsTOP->text(), value) ? value : 0;
    value = 0;
    s.TOPVALUE = NumberBoxValue(EditSettingsValueEdit->text(), value) ? value : 0;
    s.KeepHistory = CheckBoxKeepHistory->isChecked();
    s.HistoryFile = history;
    return true;
}

void SettingsPage::MarkSettingsChanged() {
    if (UpdatingControls)
        return;
    if (busy_) {
        // The buttons stay off until the run ends, and come back as this change asks.
        buttonsBeforeBusy_ = {true, true, true};
        return;
    }
    ButtonApply->setEnabled(true);
    ButtonDefaults->setEnabled(true);
    ButtonSaveSettings->setEnabled(true);
}

void SettingsPage::UpdateAboveLabel(int sortIndex) {
    // The above value applies to number fields only.
    const bool number = IsNumberSortField(sortIndex);
    EditSettingsValueEdit->setEnabled(number);
    EditSettingsValue->setText(
        number ? "Above items: " + QString::fromLatin1(ColumnOfSortField(sortIndex)->sortName)
               : QString("Above items: (disabled)"));
}

void SettingsPage::NumberBoxChange(QLineEdit* box) {
    std::uint32_t value = 0;
    const bool valid = NumberBoxValue(box->text(), value);
    SetBoxColour(box, valid);
    if (valid)
        MarkSettingsChanged();
}

void SettingsPage::ButtonApplyClick() {
    if (!ControlsToSettings())
        return;
    RebuildCommandLinePreview();
    ButtonApply->setEnabled(false);
    ButtonSaveSettings->setEnabled(true);
}

void SettingsPage::ButtonSaveSettingsClick() {
    if (!ControlsToSettings())
        return;
    RebuildCommandLinePreview();
    ButtonApply->setEnabled(false);
    try {
        RunContext ctx = ContextOf(state);
        SaveAllSettings(state.settings, ctx);
    } catch (const KestramaError& e) {
        // Not stored: "Save Settings" stays usable for another try.
        emit failed(DecodeForDisplay(e.what()), DecodeForDisplay(e.where));
        return;
    } catch (const std::exception& e) {
        emit failed(DecodeForDisplay(e.what()), {});
        return;
    }
    ButtonSaveSettings->setEnabled(false);
}

void SettingsPage::ButtonDefaultsClick() {
    SetDefaultSettings(state.settings);
    SetDefaultHistorySettings(state.settings);
    MarkSettingsChanged();
    SettingsToControls();
    UpdateAboveLabel(ComboBoxSort->currentIndex());
    ButtonDefaults->setEnabled(false);
}

// Chooses the history database: an existing one, or the name of a new one.
void SettingsPage::ButtonHistoryBrowseClick() {
    QString start = EditHistoryFileEdit->text().trimmed();
    if (start.isEmpty())
        start = QString::fromStdString(DefaultHistoryFile());
    const QString file = QFileDialog::getSaveFileName(
        this, "History database", start, "History databases (*.sqlite *.db);;All files (*)",
        nullptr, QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
    if (file.isEmpty())
        return;
    EditHistoryFileEdit->setText(file);
    MarkSettingsChanged();
}

void SettingsPage::LayoutControls(int tabWidth, int tabHeight) {
    constexpr int M = LayoutMargin, W = ControlWidth, H = ControlHeight, S = ControlGap;

    // Left block: rows of caption and value control, one under the other; a new setting is
    // one more row here.
    const std::pair<QWidget*, QWidget*> rows[] = {
        {EditSort, ComboBoxSort},
        {EditSortDir, ComboBoxSortDir},
        {EditDebug, ComboBoxDebug},
        {EditCSV, ComboBoxCSV},
        {EditDecSep, ComboBoxDecSep},
        {EditCSVHeader, ComboBoxCSVHeader},
        {EditSettingsTopLabel, EditSettingsTOP},
        {EditSettingsValue, EditSettingsValueEdit},
        {EditKeepHistory, CheckBoxKeepHistory},
        {EditHistoryFile, EditHistoryFileEdit},
    };
    int top = 2 * M;
    for (const auto& [caption, value] : rows) {
        caption->setGeometry(M / 2, top, W, caption->height());
        value->setGeometry(M / 2 + W + S, top, W, value->height());
        top += H;
    }
    // The check box is as wide as its box (a click beside it would not reach it).
    CheckBoxKeepHistory->resize(20, CheckBoxKeepHistory->height());
    // The store file's box reaches towards the column block, so that a path (the default one
    // shown in it included) reads whole on a wider window; it is narrower by its browse button.
    const int historyWidth = std::max(W, tabWidth / 2 - M - EditHistoryFileEdit->x()) - H;
    EditHistoryFileEdit->resize(historyWidth, EditHistoryFileEdit->height());
    ButtonHistoryBrowse->setGeometry(EditHistoryFileEdit->x() + historyWidth + 2,
                                     EditHistoryFileEdit->y(), H - 2,
                                     EditHistoryFileEdit->height());

    const int buttonTop = tabHeight - 5 * M;
    ButtonApply->setGeometry(M / 2, buttonTop, W, H);
    ButtonDefaults->setGeometry(M / 2 + W + M, buttonTop, W, H);
    ButtonSaveSettings->setGeometry(M / 2 + 2 * W + 2 * M, buttonTop, W, H);
    EditCMDLine->setGeometry(M / 2, tabHeight - 5 * H, tabWidth - 3 * M, H);
    LabelCMDLine->setGeometry(M / 2, tabHeight - 6 * H, tabWidth - 4 * M, H);

    // Column block, from the middle of the tab strip.
    const int x0 = tabWidth / 2;
    LabelSettingsColumn->move(x0 + M / 2, LabelSettingsColumn->y());
    LabelSettingsHTML->move(x0 + 200, LabelSettingsHTML->y());
    LabelSettingsCSV->move(x0 + 240, LabelSettingsCSV->y());
    for (std::size_t i = 0; i < kColumnSlots; ++i) {
        const int top = 2 * M + static_cast<int>(i) * H;
        EditSettingsC[i]->setGeometry(x0 + M / 2, top, 60, EditSettingsC[i]->height());
        ComboBoxSettingsC[i]->setGeometry(x0 + 80, top, 100, ComboBoxSettingsC[i]->height());
        CheckBoxSettingsHTML[i]->setGeometry(x0 + 200, top + 2, 18, 18);
        CheckBoxSettingsCSV[i]->setGeometry(x0 + 240, top + 2, 18, 18);
    }
    // A layout pass only places the controls: the choices they show are the settings', so that a
    // resize never changes what "Apply" would store.
}

}  // namespace k32
