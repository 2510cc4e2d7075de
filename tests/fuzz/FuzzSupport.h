#pragma once
// What the report fuzz targets share: the check that ends a run at a broken invariant, and a Qt
// application on the offscreen platform that keeps quiet about the damaged input it is given.
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>

namespace tabulex::fuzz {

inline void check(bool condition, const char* what)
{
    if (condition)
        return;
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

// Damaged input makes Qt complain on every run; the checks say what matters.
inline void quietMessages(QtMsgType, const QMessageLogContext&, const QString&)
{}

inline void startQuietGui(int* argc, char*** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    qInstallMessageHandler(quietMessages);
    static QGuiApplication app(*argc, *argv);
}

}  // namespace tabulex::fuzz
