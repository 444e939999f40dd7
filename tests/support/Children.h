// SPDX-License-Identifier: Apache-2.0
#pragma once
// A window's control found by its object name, as a user's tool finds it,
// instead of the window handing its children out.
#include <QObject>
#include <QString>

#include <cstdio>
#include <cstdlib>

namespace ostrel::testing {

// The descendant of `parent` of that type and name. Many callers run inside a
// modal window's event loop, where a failed assertion cannot end the test, so
// a missing control ends the test program and says which it was.
template <typename T>
T* child(const QObject* parent, const char* name)
{
    T* found = parent ? parent->findChild<T*>(QString::fromLatin1(name)) : nullptr;
    if (!found) {
        std::fprintf(stderr, "No control named %s in %s\n", name,
                     parent ? parent->objectName().toLocal8Bit().constData() : "(no window)");
        std::abort();
    }
    return found;
}

template <typename T>
T* child(const QObject& parent, const char* name)
{
    return child<T>(&parent, name);
}

} // namespace ostrel::testing
