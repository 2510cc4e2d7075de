#pragma once
#include <QApplication>
#include <gtest/gtest.h>

#include <memory>

namespace tabulex::test {

inline std::unique_ptr<QApplication>& app_slot()
{
    static std::unique_ptr<QApplication> application;
    return application;
}

/// The one application object of the test program, made on first use.
inline QApplication& app()
{
    static int argc = 1;
    static char name[] = "config_window_tests";
    static char* argv[] = {name, nullptr};
    if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance()))
        return *existing;
    if (!app_slot())
        app_slot() = std::make_unique<QApplication>(argc, argv);
    return *app_slot();
}

/// Ends the application object after the last test, while the toolkit is still whole (its
/// own statics are gone by the time function statics are destroyed).
class AppEnvironment : public ::testing::Environment {
public:
    void TearDown() override { app_slot().reset(); }
};

/// Declared before any widget member of a fixture, so the application exists first.
struct AppFirst {
    AppFirst() { app(); }
};

}  // namespace tabulex::test
