#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Runs the tests inside a QApplication on the offscreen platform.
int main(int argc, char** argv)
{
    // Test discovery runs the binary without the test's environment: never reach for a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Preferences the program keeps in the user's configuration folder go to a folder of the
    // run's own, so tests neither read nor change the user's.
    QTemporaryDir preferences;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, preferences.path());
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
