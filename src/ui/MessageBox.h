#pragma once
// The program's modal message box: titled with the application's title, one OK button, and
// wide enough that the window frame shows the whole title.

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>
#include <QString>

namespace k32 {

inline void ShowTitledMessage(QWidget* parent, const QString& text) {
    const QString title = QStringLiteral("Kestrama 32 for Windows");
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
    box.setObjectName("MessageBox");
    // The title bar's own buttons take about as much room again as a short title; a bold
    // title font is allowed for.
    QFont titleFont = QApplication::font("QMdiSubWindowTitleBar");
    titleFont.setBold(true);
    const int titleWidth = QFontMetrics(titleFont).horizontalAdvance(title) + 150;
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(titleWidth, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
    box.exec();
}

}  // namespace k32
