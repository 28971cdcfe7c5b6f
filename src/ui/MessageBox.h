#pragma once
// The program's modal message box: titled with the application's title, one OK button.

#include <QMessageBox>
#include <QString>

namespace k32 {

inline void ShowTitledMessage(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Kestrama 32 for Windows"), text,
                    QMessageBox::Ok, parent);
    box.setObjectName("MessageBox");
    box.exec();
}

}  // namespace k32
