// The web engine needs a GUI application, created after the shared-context
// attribute, for the whole test run.
#include <QGuiApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QGuiApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
