// Test entry for every test executable: HOME and the XDG folders point into a
// fresh temporary tree before Qt reads them, and one application of the kind
// the tests need lives for the whole run (the network, processes and
// coroutines need its event loop; the web engine a GUI application made after
// the shared-context attribute).
#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

#if defined(MORVANE_TEST_WIDGETS)
#include <QApplication>
#elif defined(MORVANE_TEST_GUI)
#include <QGuiApplication>
#endif

int main(int argc, char** argv) {
    QTemporaryDir home;
    if (!home.isValid())
        return 2;
    const QByteArray root = QFile::encodeName(home.path());
    setenv("HOME", root.constData(), 1);
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
        const QByteArray folder = root + '/' + QByteArray(name).toLower();
        QDir().mkpath(QString::fromLocal8Bit(folder));
        setenv(name, folder.constData(), 1);
    }
    QDir().mkpath(home.path() + QStringLiteral("/Documents"));
    testing::InitGoogleTest(&argc, argv);
#if defined(MORVANE_TEST_WIDGETS)
    QApplication app(argc, argv);
#elif defined(MORVANE_TEST_GUI)
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QGuiApplication app(argc, argv);
#else
    QCoreApplication app(argc, argv);
#endif
    return RUN_ALL_TESTS();
}
