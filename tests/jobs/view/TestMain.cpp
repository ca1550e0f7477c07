#include <gtest/gtest.h>

#include <QApplication>

// The widget tests need one application object for the whole run. They run
// offscreen unless told otherwise, so that listing the tests at build time
// needs no display either.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
