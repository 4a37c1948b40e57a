// Many files through the real model at once: batches that overlap, started
// from several calls and from a second process handing files over, while a
// timer on the main thread measures how long it is ever kept waiting.
//
//   load_bench [--calls N] FILE...        (prints figures; exit 1 on a loss)
//   load_bench --hand-over SOCKET FILE... (the second process)

#include "compose.h"
#include "morvane_model.h"
#include "single_instance.h"
#include "system_desktop.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

QList<QUrl> urls(const QStringList& paths) {
    QList<QUrl> files;
    for (const QString& path : paths)
        files.append(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
    return files;
}

// Gaps between ticks of a 5 ms timer: the time the main thread was busy.
class Stall {
public:
    Stall() {
        m_timer.setInterval(5);
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            if (m_last)
                m_gaps.append((now - m_last) / 1e6);
            m_last = now;
        });
        m_clock.start();
        m_timer.start();
    }
    double worst() const {
        return m_gaps.isEmpty() ? 0 : *std::max_element(m_gaps.begin(), m_gaps.end());
    }
    double percentile(double p) const {
        if (m_gaps.isEmpty())
            return 0;
        QList<double> sorted = m_gaps;
        std::sort(sorted.begin(), sorted.end());
        return sorted[qMin(sorted.size() - 1, qsizetype(p * sorted.size()))];
    }
    qsizetype over(double ms) const {
        return std::count_if(m_gaps.begin(), m_gaps.end(), [ms](double gap) { return gap > ms; });
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    QList<double> m_gaps;
};

int handOver(const QString& socket, const QStringList& paths) {
    SingleInstance instance(socket);
    return instance.handOverOrListen(urls(paths)) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.value(0) == u"--hand-over"_s)
        return handOver(arguments.value(1), arguments.mid(2));
    int calls = 4;
    if (arguments.value(0) == u"--calls"_s) {
        calls = qMax(1, arguments.value(1).toInt());
        arguments = arguments.mid(2);
    }
    const QList<QUrl> files = urls(arguments);
    if (files.isEmpty()) {
        std::fprintf(stderr, "usage: load_bench [--calls N] FILE...\n");
        return 2;
    }

    QTemporaryDir scratch;
    SystemDesktop desktop;
    ModelServices services;
    services.desktop = &desktop;
    services.settingsPath = QString();
    const std::unique_ptr<MorvaneModel> made = Compose::model(
        std::move(services), RealConverters::Engine::startNow, Compose::Updates::none);
    MorvaneModel& model = *made;
    model.setSettings({scratch.filePath(u"out"_s), false});

    QHash<QUrl, int> ended;
    QList<QUrl> written;
    int batches = 0;
    QObject::connect(&model, &MorvaneModel::batchEnded,
                     [&](const QList<QUrl>& inputs, const QList<QUrl>& documents) {
                         ++batches;
                         for (const QUrl& input : inputs)
                             ++ended[input];
                         written += documents;
                     });

    // The files in slices: most from calls a few milliseconds apart, the last
    // slice from a second process while the first batches still run; every
    // call also repeats one file of the call before, which must not run twice.
    const qsizetype handed = files.size() / (calls + 1);
    const qsizetype perCall = (files.size() - handed) / calls;
    const QString socket = scratch.filePath(u"instance"_s);
    SingleInstance instance(socket);
    instance.handOverOrListen({});
    QObject::connect(&instance, &SingleInstance::launched,
                     [&](const QList<QUrl>& given) { model.convertFiles(given); });

    Stall stall;
    QElapsedTimer clock;
    clock.start();
    for (int call = 0; call < calls; ++call) {
        const qsizetype start = call * perCall;
        const qsizetype end = call == calls - 1 ? files.size() - handed : start + perCall;
        QList<QUrl> slice = files.mid(start, end - start);
        if (start > 0)
            slice.prepend(files[start - 1]);
        QTimer::singleShot(call * 20, &model, [&model, slice] { model.convertFiles(slice); });
    }
    QStringList handedPaths;
    for (const QUrl& file : files.mid(files.size() - handed))
        handedPaths.append(file.toLocalFile());
    QProcess second;
    QTimer::singleShot(50, [&] {
        second.start(QCoreApplication::applicationFilePath(),
                     QStringList{u"--hand-over"_s, socket} + handedPaths);
    });

    QSet<QUrl> distinct(files.begin(), files.end());
    while (ended.size() < distinct.size() || model.isConverting()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        if (clock.elapsed() > 15 * 60 * 1000)
            break;
    }
    const double seconds = clock.elapsed() / 1000.0;
    second.waitForFinished(5000);

    // Every input ended exactly once; every document is whole and listed once.
    qsizetype endedTwice = 0;
    qsizetype neverEnded = 0;
    for (const QUrl& file : distinct) {
        const int count = ended.value(file);
        neverEnded += count == 0;
        endedTwice += count > 1;
    }
    const QSet<QUrl> writtenOnce(written.begin(), written.end());
    qsizetype broken = 0;
    for (const QUrl& document : written) {
        QFile file(document.toLocalFile());
        const QByteArray text = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        broken += !text.startsWith("---\n") || !text.endsWith("\n") ||
                  !text.contains("converted_by: Morvane");
    }
    const qsizetype onDisk =
        QDir(scratch.filePath(u"out"_s)).entryList({u"*.md"_s}, QDir::Files).size();
    const qsizetype lost = distinct.size() - written.size();

    std::printf(
        "inputs %lld from %d calls and a second process, %d batches, %.2f s (%.1f files/s)\n",
        static_cast<long long>(distinct.size()), calls, batches, seconds,
        distinct.size() / seconds);
    std::printf("ended once %lld, never %lld, twice %lld; documents %lld listed, %lld distinct, "
                "%lld on disk, %lld broken; lost %lld\n",
                static_cast<long long>(distinct.size() - neverEnded - endedTwice),
                static_cast<long long>(neverEnded), static_cast<long long>(endedTwice),
                static_cast<long long>(written.size()), static_cast<long long>(writtenOnce.size()),
                static_cast<long long>(onDisk), static_cast<long long>(broken),
                static_cast<long long>(lost));
    std::printf(
        "main thread: longest wait %.1f ms, 99th percentile %.1f ms, %lld waits over 100 ms\n",
        stall.worst(), stall.percentile(0.99), static_cast<long long>(stall.over(100)));
    const bool sound = neverEnded == 0 && endedTwice == 0 && broken == 0 && lost == 0 &&
                       writtenOnce.size() == written.size() && onDisk == written.size();
    return sound ? 0 : 1;
}
