#include <QCoreApplication>

#include <gtest/gtest.h>

// The network, processes and coroutines of the updater need a Qt event loop.
int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
