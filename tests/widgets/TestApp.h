#pragma once
#include <QApplication>

namespace tabulex::test {

/// The one application object of the test program, made on first use.
inline QApplication& app()
{
    static int argc = 1;
    static char name[] = "tabulex_tests";
    static char* argv[] = {name, nullptr};
    // Never destroyed: the toolkit's devices must outlive the end of the test program.
    static QApplication* application = new QApplication(argc, argv);
    return *application;
}

/// Declared before any widget member of a fixture, so the application exists first.
struct AppFirst {
    AppFirst() { app(); }
};

}  // namespace tabulex::test
