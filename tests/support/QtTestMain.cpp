#include <QApplication>
#include <gtest/gtest.h>

// Runs the tests inside a QApplication on the offscreen platform.
int main(int argc, char** argv)
{
    // Test discovery runs the binary without the test's environment: never reach for a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
