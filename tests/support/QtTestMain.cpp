#include <QApplication>
#include <gtest/gtest.h>

// Runs the tests inside a QApplication (offscreen platform, set by the test's environment).
int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
