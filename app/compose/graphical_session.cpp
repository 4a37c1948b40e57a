#include "graphical_session.h"

#include "desktop.h"
#include "private_module.h"

#include <QCoreApplication>

#include <dlfcn.h>

#include <mutex>

using namespace Qt::StringLiterals;

namespace {

using MakeApplication = QCoreApplication* (*)(int*, char**);
using MakeEngine = GraphicalSession::Engine* (*)();
using MakeDesktop = Desktop* (*)();

struct Module {
    MakeApplication application = nullptr;
    MakeEngine engine = nullptr;
    MakeDesktop desktop = nullptr;
    QString failure;
};

QString lastFailure;

const Module& module() {
    static Module loaded;
    static std::once_flag once;
    std::call_once(once, [] {
        // It sits beside the PDF library, in the build tree and when installed.
        QString failure;
        void* handle = PrivateModule::open("libMorvaneGraphical.so", &failure);
        if (!handle) {
            loaded.failure = u"could not load the web engine: "_s + failure;
            return;
        }
        loaded.application =
            reinterpret_cast<MakeApplication>(dlsym(handle, "morvane_graphical_application"));
        loaded.engine = reinterpret_cast<MakeEngine>(dlsym(handle, "morvane_graphical_engine"));
        loaded.desktop = reinterpret_cast<MakeDesktop>(dlsym(handle, "morvane_graphical_desktop"));
        if (!loaded.application || !loaded.engine || !loaded.desktop) {
            loaded.application = nullptr;
            loaded.failure = u"could not load the web engine: the module is not this version's"_s;
        }
    });
    return loaded;
}

template <typename T, typename Make, typename... Arguments>
std::unique_ptr<T> make(Make Module::*maker, const QString& whenNull, Arguments... arguments) {
    const Module& loaded = module();
    if (!loaded.application) {
        lastFailure = loaded.failure;
        return nullptr;
    }
    std::unique_ptr<T> made((loaded.*maker)(arguments...));
    if (!made)
        lastFailure = whenNull;
    return made;
}

} // namespace

namespace GraphicalSession {

std::unique_ptr<QCoreApplication> application(int& argc, char** argv) {
    return make<QCoreApplication>(&Module::application, QString(), &argc, argv);
}

std::unique_ptr<Engine> engine() {
    return make<Engine>(&Module::engine, u"the web engine needs a graphical application object"_s);
}

std::unique_ptr<Desktop> desktop() {
    return make<Desktop>(&Module::desktop, QString());
}

QString failure() {
    return lastFailure;
}

} // namespace GraphicalSession
