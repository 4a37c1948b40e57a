#pragma once

#include "convert_kind.h"
#include "convert_result.h"

#include <QCoro/QCoroTask>
#include <QString>

#include <functional>
#include <memory>

class Desktop;
class QCoreApplication;

// What needs a graphical session (the application object the web engine
// requires, the engine itself and the system desktop) lives in the module
// MorvaneGraphical, loaded the first time one of them is asked for: a run
// that converts only PDFs maps neither the web engine, widgets nor D-Bus.
// The module, beside the PDF library, stays loaded for the life of the
// process.
namespace GraphicalSession {

// The engine (ConvertEngine) as the module hands it out.
class Engine {
public:
    virtual ~Engine() = default;
    // Never fails: every fault comes back as a result with `error`.
    virtual QCoro::Task<ConvertResult> convert(ConvertKind kind, QString payload, QString name) = 0;
    // Called whenever the page has finished loading; for the start-up measurement.
    virtual void whenLoaded(std::function<void()> loaded) = 0;
};

// A QApplication made the way the engine needs it: shared OpenGL contexts
// are set before it. `argc` must outlive it.
std::unique_ptr<QCoreApplication> application(int& argc, char** argv);
// The engine, its page loading at once. Needs the application object to be
// a QGuiApplication or QApplication.
std::unique_ptr<Engine> engine();
std::unique_ptr<Desktop> desktop();

// Why the last of the calls above gave nothing.
QString failure();

} // namespace GraphicalSession
