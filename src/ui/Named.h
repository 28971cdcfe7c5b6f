#pragma once
// Creates a control whose objectName is its name, so that tests and people can find it.

#include <QString>
#include <QWidget>

namespace k32 {

template <typename T>
T* Named(QWidget* parent, const QString& name) {
    auto* w = new T(parent);
    w->setObjectName(name);
    return w;
}

}  // namespace k32
