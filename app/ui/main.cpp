#include "compose.h"
#include "install_lock.h"
#include "morvane_app.h"
#include "single_instance.h"
#include "system_desktop.h"
#include "window_activation.h"

#include <QApplication>
#include <QDir>

using namespace Qt::StringLiterals;

int main(int argc, char** argv) {
    if (!InstallLock::holdInstall())
        return 1;
    // The hidden web view of the engine shares its GL context with the windows.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // Read before the platform plugin takes it out of the environment.
    const QString activationToken = WindowActivation::launchToken();
    QApplication application(argc, argv);
    QApplication::setApplicationName(u"Morvane"_s);
    QApplication::setOrganizationName(u"Ombrix"_s);
    QApplication::setDesktopFileName(u"morvane"_s);

    const QList<QUrl> files =
        SingleInstance::filesFromArguments(QApplication::arguments().mid(1), QDir::currentPath());
    SingleInstance instance;
    if (instance.handOverOrListen(files, activationToken))
        return 0;

    SystemDesktop desktop;
    ModelServices services;
    services.desktop = &desktop;
    const std::unique_ptr<MorvaneModel> model = Compose::model(
        std::move(services), RealConverters::Engine::startNow, Compose::Updates::checked);
    MorvaneApp app(*model, desktop);
    QObject::connect(&instance, &SingleInstance::launched, &app,
                     [&app](const QList<QUrl>& more, const QString& token) {
                         app.showMainWindow(token);
                         app.open(more);
                     });
    app.open(files);
    return QApplication::exec();
}
