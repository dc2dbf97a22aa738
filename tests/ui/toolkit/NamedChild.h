#pragma once

#include <QObject>
#include <QString>

#include <gtest/gtest.h>

namespace ondel::test {

// The child of parent with the object name name (a window's k... constant); a missing one fails
// the test.
template <typename T> T* namedChild(const QObject* parent, const char* name) {
    T* child = parent->findChild<T*>(QString::fromLatin1(name));
    if (child == nullptr)
        ADD_FAILURE() << "no " << T::staticMetaObject.className() << " named " << name;
    return child;
}

} // namespace ondel::test
