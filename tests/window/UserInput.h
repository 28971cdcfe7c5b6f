#pragma once
// What a user does with the keyboard and the mouse on the Settings and Advanced tabs, and a
// plain-text picture of what the Settings tab shows, for the tests of those two tabs.

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QtTest>

#include "WindowTestSupport.h"
#include "ui/Form1.h"

namespace k32test {

// Clicks the tab's caption in the tab strip.
inline void ClickTab(k32::Form1& form, int index) {
    QTabBar* bar = Child<QTabWidget>(form, "TabControl1")->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
    QCoreApplication::processEvents();
}

// Clicks the button. A click on "Go" or "Re-sort" returns once the run it started has ended
// and the window shows its result, as a user waits for "Go" to come back.
inline void Click(QAbstractButton* button) {
    QTest::mouseClick(button, Qt::LeftButton);
    QCoreApplication::processEvents();
    if (button->objectName() != "ButtonGo" && button->objectName() != "ButtonReSort")
        return;
    if (auto* form = dynamic_cast<k32::Form1*>(button->window()))
        WaitUntil([form] { return !form->Busy(); }, 300000);
}

// Presses "Quit": the close routine runs and the window closes (the test programs keep running
// with no window, as they do not quit on the last window closed).
inline void Quit(k32::Form1& form) {
    Click(Child<QPushButton>(form, "ButtonQuit"));
}

// Picks item `index` of a pick-only list with the keyboard (Home, then Down), as a user does:
// each step that moves the choice sends the list's "activated" signal, as a choice from the
// drop-down would.
inline void Choose(QComboBox* combo, int index) {
    QTest::keyClick(combo, Qt::Key_Home);
    for (int i = 0; i < index; ++i)
        QTest::keyClick(combo, Qt::Key_Down);
}

// Selects the whole text of a box and types `text` over it; an empty `text` clears the box.
inline void Retype(QLineEdit* box, const QString& text) {
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    if (text.isEmpty())
        QTest::keyClick(box, Qt::Key_Backspace);
    for (QChar c : text) {
        if (c.unicode() < 128)
            QTest::keyClick(box, c.toLatin1());
        else  // a key of a national keyboard: no key code of its own, only its text
            QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

inline bool IsRed(const QLineEdit* box) {
    return box->palette().color(QPalette::Base) == QColor(255, 0, 0);
}

// The states of "Apply", "Defaults" and "Save Settings", as "on"/"off" words for readable
// failures.
inline QString SettingsButtons(const k32::Form1& form) {
    auto word = [](const QPushButton* b) {
        return b->isEnabled() ? QString("on") : QString("off");
    };
    return word(Child<QPushButton>(form, "ButtonApply")) + " " +
           word(Child<QPushButton>(form, "ButtonDefaults")) + " " +
           word(Child<QPushButton>(form, "ButtonSaveSettings"));
}

// Everything the Settings tab shows, one "control=text" line each.
inline QStringList PageShows(const k32::Form1& form) {
    QStringList page;
    for (const QComboBox* combo :
         {Child<QComboBox>(form, "ComboBoxSort"), Child<QComboBox>(form, "ComboBoxSortDir"),
          Child<QComboBox>(form, "ComboBoxDebug"), Child<QComboBox>(form, "ComboBoxCSV"),
          Child<QComboBox>(form, "ComboBoxDecSep"), Child<QComboBox>(form, "ComboBoxCSVHeader")})
        page << combo->objectName() + "=" + combo->currentText();
    for (const QLineEdit* box : {Child<QLineEdit>(form, "EditSettingsTOP"),
                                 Child<QLineEdit>(form, "EditSettingsValueEdit"),
                                 Child<QLineEdit>(form, "EditSettingsValue")})
        page << box->objectName() + "=" + box->text();
    page << QString("above box enabled=%1")
                .arg(Child<QLineEdit>(form, "EditSettingsValueEdit")->isEnabled());
    for (std::size_t i = 0; i < k32::kColumnSlots; ++i) {
        QString slot = QString("slot %1=").arg(i + 1) +
                       Slot<QComboBox>(form, "ComboBoxSettingsC", i)->currentText();
        if (Slot<QCheckBox>(form, "CheckBoxSettingsHTML", i)->isChecked())
            slot += " html";
        if (Slot<QCheckBox>(form, "CheckBoxSettingsCSV", i)->isChecked())
            slot += " csv";
        page << slot;
    }
    return page;
}

// What the page shows with the default settings.
inline QStringList DefaultPage() {
    QStringList page = {
        "ComboBoxSort=Size",  "ComboBoxSortDir=Descending", "ComboBoxDebug=Disk only",
        "ComboBoxCSV=;",      "ComboBoxDecSep=. (dot)",     "ComboBoxCSVHeader=Header",
        "EditSettingsTOP=0",  "EditSettingsValueEdit=0",    "EditSettingsValue=Above items: Size",
        "above box enabled=1"};
    for (const char* field : {"Username", "Fullname", "Size", "Inbox", "Outbox", "Wastebin",
                              "Sizelimit", "Threshold", "Exceeded", "UID"})
        page << QString("slot %1=%2 html csv").arg(page.size() - 9).arg(field);
    return page;
}

inline QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Runs `command` through `sh -c` with the program's folder first in PATH, as a user pasting
// the command line into a shell where the program is installed; the exit code, or -1 when it
// did not end within a minute.
inline int RunInShell(const QString& command, QString* errors = nullptr) {
    QProcess shell;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PATH", QFileInfo(KESTRAMA_PROGRAM).absolutePath() + ":" + env.value("PATH"));
    shell.setProcessEnvironment(env);
    shell.start("sh", {"-c", command});
    if (!shell.waitForFinished(60000))
        return -1;
    if (errors)
        *errors = QString::fromUtf8(shell.readAllStandardError());
    return shell.exitStatus() == QProcess::NormalExit ? shell.exitCode() : -1;
}

}  // namespace k32test
