// Starts the application as its executable does and reports, in ms since the
// launch, when the main window was first painted and when the engine page
// was ready, then quits. The launch time is MORVANE_LAUNCHED_AT (ms since the
// epoch, set by whoever started this process), else this process's start.
//
//   startup_bench          (prints "window MS" and "engine MS")

#include "morvane_app.h"
#include "morvane_model.h"
#include "real_converters.h"
#include "system_desktop.h"

#include <QApplication>
#include <QDateTime>
#include <QEvent>
#include <QFile>
#include <QMainWindow>
#include <QNetworkAccessManager>
#include <QTimer>

#include <cstdio>
#include <ctime>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// The launch in ms since the epoch.
double launchedAt() {
    const QByteArray given = qgetenv("MORVANE_LAUNCHED_AT");
    if (!given.isEmpty())
        return given.toDouble();
    // Field 22 of /proc/self/stat: clock ticks from boot to this process's start.
    QFile stat(u"/proc/self/stat"_s);
    if (!stat.open(QIODevice::ReadOnly))
        return double(QDateTime::currentMSecsSinceEpoch());
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    const double startedAfterBoot = fields.value(19).toDouble() / double(sysconf(_SC_CLK_TCK));
    timespec boot{};
    clock_gettime(CLOCK_BOOTTIME, &boot);
    const double sinceBoot = double(boot.tv_sec) + double(boot.tv_nsec) / 1e9;
    return double(QDateTime::currentMSecsSinceEpoch()) - (sinceBoot - startedAfterBoot) * 1000;
}

double since(double launch) {
    return double(QDateTime::currentMSecsSinceEpoch()) - launch;
}

// Notes the end of the first paint of a window.
class FirstPaint : public QObject {
public:
    explicit FirstPaint(std::function<void()> painted)
        : m_painted(std::move(painted)) {}

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::Paint && m_painted) {
            // After this paint has reached the window, not before it starts.
            QTimer::singleShot(0, this, std::exchange(m_painted, nullptr));
        }
        return QObject::eventFilter(object, event);
    }

private:
    std::function<void()> m_painted;
};

} // namespace

int main(int argc, char** argv) {
    const double launch = launchedAt();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    QApplication::setApplicationName(u"Morvane"_s);
    QApplication::setOrganizationName(u"Ombrix"_s);

    auto converters = std::make_unique<RealConverters>();
    GraphicalSession::Engine* engine = converters->engine();
    if (!engine) {
        std::fprintf(stderr, "startup_bench: %s\n", qPrintable(GraphicalSession::failure()));
        return 1;
    }
    SystemDesktop desktop;
    QNetworkAccessManager network;
    ModelServices services;
    services.desktop = &desktop;
    services.network = &network;
    MorvaneModel model(std::move(converters), std::move(services));

    double window = -1;
    double ready = -1;
    const auto finish = [&] {
        if (window >= 0 && ready >= 0) {
            std::printf("window %.1f\nengine %.1f\n", window, ready);
            std::fflush(stdout);
            QCoreApplication::quit();
        }
    };
    engine->whenLoaded([&] {
        if (ready < 0) {
            ready = since(launch);
            finish();
        }
    });

    FirstPaint painted([&] {
        window = since(launch);
        finish();
    });
    MorvaneApp app(model, desktop);
    app.mainWindow()->installEventFilter(&painted);
    // A page that never loads must not keep the measurement running.
    QTimer::singleShot(30000, [] {
        std::fprintf(stderr, "startup_bench: nothing after 30 s\n");
        QCoreApplication::exit(1);
    });
    return QApplication::exec();
}
