// The module MorvaneGraphical: everything that needs a graphical session,
// made on request of graphical_session.cpp.

#include "convert_engine.h"
#include "graphical_session.h"
#include "system_desktop.h"

#include <QApplication>

namespace {

class ModuleEngine final : public GraphicalSession::Engine {
public:
    QCoro::Task<ConvertResult> convert(ConvertKind kind, QString payload, QString name) override {
        return m_engine.convert(kind, std::move(payload), std::move(name));
    }

    void whenLoaded(std::function<void()> loaded) override {
        QObject::connect(&m_engine, &ConvertEngine::loadedChanged, &m_engine,
                         [this, loaded = std::move(loaded)] {
                             if (m_engine.isLoaded())
                                 loaded();
                         });
    }

private:
    ConvertEngine m_engine;
};

} // namespace

extern "C" {

__attribute__((visibility("default"))) QCoreApplication*
morvane_graphical_application(int* argc, char** argv) {
    // Widgets, not only a GUI: the desktop's folder chooser and alerts are dialogs.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    return new QApplication(*argc, argv);
}

__attribute__((visibility("default"))) GraphicalSession::Engine* morvane_graphical_engine() {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return nullptr;
    return new ModuleEngine;
}

__attribute__((visibility("default"))) Desktop* morvane_graphical_desktop() {
    return new SystemDesktop;
}
}
