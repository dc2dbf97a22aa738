#pragma once

#include <QList>
#include <QObject>
#include <QVariant>

namespace ondel {

// Every control of a dialog carries its numeric control id in the dynamic property "controlId",
// so that windows and tests address controls as the dialog templates number them.
inline constexpr const char* kControlIdProperty = "controlId";

inline void setControlId(QObject* object, int id) {
    object->setProperty(kControlIdProperty, id);
}

inline int controlIdOf(const QObject* object) {
    QVariant v = object->property(kControlIdProperty);
    return v.isValid() ? v.toInt() : 0;
}

// The first child of root (at any depth) of type T with the control id, or nullptr.
template <typename T> T* findControl(const QObject* root, int id) {
    const QList<T*> children = root->findChildren<T*>();
    for (T* child : children) {
        if (controlIdOf(child) == id)
            return child;
    }
    return nullptr;
}

} // namespace ondel
