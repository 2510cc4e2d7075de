#pragma once
#include <QApplication>

namespace tabulex::test {

/// The test program's application object, made by the GUI test main before any test runs.
inline QApplication& app()
{
    return *qobject_cast<QApplication*>(QCoreApplication::instance());
}

/// Kept as the first member of GUI fixtures: documents that widgets need the application.
struct AppFirst {
    AppFirst() { Q_ASSERT(QCoreApplication::instance()); }
};

}  // namespace tabulex::test
