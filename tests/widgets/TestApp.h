#pragma once
#include <QApplication>

namespace tabulex::test {

/// The one application object of the test program, made on first use.
inline QApplication& app()
{
    static int argc = 1;
    static char name[] = "tabulex_tests";
    static char* argv[] = {name, nullptr};
    static QApplication application(argc, argv);
    return application;
}

/// Declared before any widget member of a fixture, so the application exists first.
struct AppFirst {
    AppFirst() { app(); }
};

}  // namespace tabulex::test
