#pragma once
// The Settings tab: the report settings in editable controls, "Apply", "Save Settings",
// "Defaults", and the batch command line that reproduces the current settings. The page owns
// its controls and reads and writes the program's settings; the window tells it when it is
// shown and when a run is under way, and hears of its failures through a signal.

#include <QFrame>
#include <QString>
#include <array>
#include <string>

#include "state/ReportSettings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace k32 {

struct AppState;

class SettingsPage : public QFrame {
    Q_OBJECT

  public:
    SettingsPage(AppState& state, QWidget* parent);

    // The tab was chosen: "Defaults" is offered, and the controls show the settings.
    void Shown();
    // Shows the settings in the controls and the command line that reproduces them.
    void Refresh();
    void RebuildCommandLinePreview();
    // Places the controls for a tab strip of this size.
    void LayoutControls(int tabWidth, int tabHeight);
    // While a run is under way the three buttons are off; afterwards they come back as they
    // were, or on where the user changed a setting meanwhile.
    void SetBusy(bool busy);

  signals:
    // Something went wrong: the system's message, and the file or text it concerns (may be
    // empty).
    void failed(const QString& message, const QString& where);

  private:
    void CreateControls();
    void ConnectHandlers();
    void SettingsToControls();
    // Takes the settings from the controls; refuses them all (false, the reason shown) when the
    // history database holds a password, which the settings file must never keep.
    bool ControlsToSettings();
    void MarkSettingsChanged();
    void UpdateAboveLabel(int sortIndex);
    void NumberBoxChange(QLineEdit* box);
    void ButtonApplyClick();
    void ButtonSaveSettingsClick();
    void ButtonDefaultsClick();
    void ButtonHistoryBrowseClick();

    AppState& state;

    QLineEdit *EditSort, *EditSortDir, *EditDebug, *EditCSV, *EditDecSep, *EditCSVHeader;
    QLineEdit *EditSettingsTopLabel, *EditSettingsValue;
    QComboBox *ComboBoxSort, *ComboBoxSortDir, *ComboBoxDebug, *ComboBoxCSV, *ComboBoxDecSep;
    QComboBox* ComboBoxCSVHeader;
    QLineEdit *EditSettingsTOP, *EditSettingsValueEdit;
    QPushButton *ButtonApply, *ButtonDefaults, *ButtonSaveSettings;
    // Keeping history, and the store file (empty: the default one).
    QLineEdit *EditKeepHistory, *EditHistoryFile, *EditHistoryFileEdit;
    QCheckBox* CheckBoxKeepHistory;
    QPushButton* ButtonHistoryBrowse;
    QLabel* LabelCMDLine;
    QLineEdit* EditCMDLine;
    QLabel *LabelSettingsColumn, *LabelSettingsHTML, *LabelSettingsCSV;
    std::array<QLineEdit*, kColumnSlots> EditSettingsC{};
    std::array<QComboBox*, kColumnSlots> ComboBoxSettingsC{};
    std::array<QCheckBox*, kColumnSlots> CheckBoxSettingsHTML{};
    std::array<QCheckBox*, kColumnSlots> CheckBoxSettingsCSV{};

    // While true, a change of a control is not a user's change.
    bool UpdatingControls = false;
    bool busy_ = false;
    // The button states to give back when the run ends.
    struct Buttons {
        bool apply = false, defaults = false, save = false;
    } buttonsBeforeBusy_;
    std::string lastSlotError_;
};

}  // namespace k32
