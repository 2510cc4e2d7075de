#pragma once
#include <QObject>
#include <QString>
#include <stdexcept>
#include <string>

namespace tabulex::test {

/// The descendant of `parent` of type T whose object name is `name`. A missing one ends the
/// test with a failure that names it, so no check ever runs on a null control.
template <typename T>
T* child(const QObject& parent, const char* name)
{
    if (T* found = parent.findChild<T*>(QString::fromLatin1(name)))
        return found;
    throw std::logic_error(std::string("no ") + T::staticMetaObject.className() + " named " + name +
                           " in " + parent.metaObject()->className());
}

}  // namespace tabulex::test
