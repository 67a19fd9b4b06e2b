#pragma once
// Finds a named child of a form. A missing one fails the test with its name, which
// says more than the crash on the null pointer that would follow.

#include <QObject>
#include <QString>

#include <gtest/gtest.h>

template <typename T>
T *child(const QObject *parent, const char *name)
{
    T *w = parent->findChild<T *>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}
