#pragma once
// The Advanced tab: writes a synthetic GWCheck log of any size for one of four GroupWise
// versions. The page owns its controls; the window hears of a written log or a failure through
// the page's signals and makes the log its input.

#include <QFrame>
#include <QString>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace k32 {

class AdvancedPage : public QFrame {
    Q_OBJECT

  public:
    explicit AdvancedPage(QWidget* parent);

    // Places the controls inside the page at their fixed offsets.
    void LayoutControls();
    // While a run is under way "Write File" is off and its handler does nothing.
    void SetBusy(bool busy);

  signals:
    // A complete log was written; `summary` says what it holds, for the Log tab.
    void logWritten(const QString& path, const QString& summary);
    // The write failed: the system's message, and the file or value it concerns.
    void writeFailed(const QString& message, const QString& where);

  private:
    void ButtonAdvGWClick();
    void ComboAdvGWChange();

    QLabel *LabelAdvInfo, *LabelPath, *LabelNr, *LabelVer;
    QLineEdit *EditAdvGW, *EditAdvGWNr;
    QComboBox* ComboAdvGW;
    QCheckBox* CheckBoxProblem;
    QPushButton* ButtonAdvGW;
    bool busy_ = false;
};

}  // namespace k32
