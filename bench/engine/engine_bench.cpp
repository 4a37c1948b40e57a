// Times the conversion engine through its host: how long the page takes to
// be ready, and each given file's conversion (best of REPEATS runs). Prints
// one line per figure for bench/engine/run.mjs, then the peak memory of this
// process and of the engine's render process.
//
//   engine_bench [--repeats N] FILE...

#include "convert_engine.h"
#include "render_processes.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHash>
#include <QTimer>

#include <QCoro/QCoroSignal>
#include <QCoro/QCoroTask>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

// VmHWM of a process in kB, 0 when unknown.
long peakKilobytes(int pid) {
    QFile status(u"/proc/%1/status"_s.arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

// The largest peak among the web engine's render processes.
long rendererPeakKilobytes() {
    long peak = 0;
    for (int pid : renderProcesses())
        peak = std::max(peak, peakKilobytes(pid));
    return peak;
}

QCoro::Task<int> run(QStringList arguments) {
    int repeats = 3;
    if (arguments.size() >= 2 && arguments[0] == u"--repeats"_s) {
        repeats = std::max(1, arguments[1].toInt());
        arguments = arguments.mid(2);
    }
    QElapsedTimer clock;
    clock.start();
    ConvertEngine engine;
    // Awaited objects are named: g++ 12 mishandles temporaries that live
    // across a co_await in the same expression.
    if (!engine.isLoaded()) {
        auto loaded = qCoro(&engine, &ConvertEngine::loadedChanged);
        co_await loaded;
    }
    std::printf("ready %.1f\n", double(clock.nsecsElapsed()) / 1e6);

    for (const QString& path : arguments) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            std::printf("convert %s failed unreadable\n", qPrintable(path));
            continue;
        }
        const auto kind = ConvertKind::forFile(path);
        if (!kind) {
            std::printf("convert %s failed unsupported\n", qPrintable(path));
            continue;
        }
        const QByteArray bytes = file.readAll();
        const QString payload =
            kind->isBinary() ? QString::fromLatin1(bytes.toBase64()) : QString::fromUtf8(bytes);
        double best = 0;
        ConvertResult result;
        for (int i = 0; i < repeats; ++i) {
            clock.restart();
            auto conversion = engine.convert(*kind, payload, QFileInfo(path).fileName());
            result = co_await conversion;
            const double elapsed = double(clock.nsecsElapsed()) / 1e6;
            best = i == 0 ? elapsed : std::min(best, elapsed);
        }
        if (result.error)
            std::printf("convert %s failed %s\n", qPrintable(path), qPrintable(*result.error));
        else
            std::printf("convert %s %.1f %lld %lld\n", qPrintable(path), best,
                        static_cast<long long>(result.markdown.size()),
                        static_cast<long long>(result.assets.size()));
        std::fflush(stdout);
    }
    std::printf("memory %ld %ld\n", peakKilobytes(int(QCoreApplication::applicationPid())),
                rendererPeakKilobytes());
    co_return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QGuiApplication application(argc, argv);
    int status = 1;
    QTimer::singleShot(0, &application, [&] {
        [](int& status) -> QCoro::Task<> {
            auto benchmark = run(QCoreApplication::arguments().mid(1));
            status = co_await benchmark;
            QCoreApplication::quit();
        }(status);
    });
    application.exec();
    return status;
}
