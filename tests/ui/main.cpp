// Window tests: one QApplication for the whole run, on the offscreen platform unless the
// environment chooses another.
#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // No window test reaches the desktop's notification service: an address no bus has (tests
    // of the notifier bring their own bus).
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/ondel-tests-no-bus");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
