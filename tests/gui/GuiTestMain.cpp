#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

// The widget tests draw off screen: they need no display, also when listed at build time.
int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
