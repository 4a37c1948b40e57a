// morvane-convert: the application's conversions without its windows, for
// scripts and measurements.
//
//   morvane-convert [--out DIR] [--no-reveal] FILE|URL...
//
// Files are one batch, as if dropped together; web addresses follow one by
// one. Prints each written document's path and the final status line; exits 0
// only when every input was saved.

#include "convert_kind.h"
#include "morvane_model.h"
#include "real_converters.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

struct Arguments {
    std::optional<QString> outFolder;
    bool reveal = true;
    QList<QUrl> files;
    QStringList addresses;
};

void printUsage(QTextStream& err) {
    err << "usage: morvane-convert [--out DIR] [--no-reveal] FILE|URL...\n";
}

bool looksLikeAddress(const QString& argument) {
    return argument.contains(u"://"_s) && !QFileInfo::exists(argument);
}

std::optional<Arguments> parse(const QStringList& arguments, QTextStream& err) {
    Arguments parsed;
    bool optionsDone = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (!optionsDone && argument == u"--") {
            optionsDone = true;
        } else if (!optionsDone && argument == u"--out") {
            if (++i >= arguments.size()) {
                err << "morvane-convert: --out needs a folder\n";
                return std::nullopt;
            }
            parsed.outFolder = QFileInfo(arguments[i]).absoluteFilePath();
        } else if (!optionsDone && argument == u"--no-reveal") {
            parsed.reveal = false;
        } else if (!optionsDone && argument.startsWith(u"--"_s)) {
            err << "morvane-convert: unknown option " << argument << '\n';
            return std::nullopt;
        } else if (looksLikeAddress(argument)) {
            parsed.addresses.append(argument);
        } else {
            parsed.files.append(QUrl::fromLocalFile(QFileInfo(argument).absoluteFilePath()));
        }
    }
    if (parsed.files.isEmpty() && parsed.addresses.isEmpty())
        return std::nullopt;
    return parsed;
}

// Without a display the web engine still needs a platform: the offscreen one.
std::vector<char*> platformArguments(int argc, char** argv) {
    std::vector<char*> arguments(argv, argv + argc);
    const bool hasDisplay = qEnvironmentVariableIsSet("DISPLAY") ||
                            qEnvironmentVariableIsSet("WAYLAND_DISPLAY") ||
                            qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
    if (!hasDisplay) {
        static char platform[] = "-platform";
        static char offscreen[] = "offscreen";
        arguments.insert(arguments.begin() + 1, {platform, offscreen});
    }
    arguments.push_back(nullptr);
    return arguments;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    std::vector<char*> arguments = platformArguments(argc, argv);
    int count = static_cast<int>(arguments.size()) - 1;
    QGuiApplication app(count, arguments.data());
    QTextStream out(stdout);
    QTextStream err(stderr);

    const std::optional<Arguments> parsed = parse(QCoreApplication::arguments(), err);
    if (!parsed) {
        printUsage(err);
        return 2;
    }

    // The stored settings are read, never written: --out is for this run only.
    const MorvaneSettings stored = MorvaneSettings::read(MorvaneSettings::url().toLocalFile());
    ModelServices services;
    services.settingsPath = QString();
    // Started for nothing, the web engine's processes would take a core from
    // the PDF pages.
    const bool needsEngine =
        !parsed->addresses.isEmpty() ||
        std::any_of(parsed->files.cbegin(), parsed->files.cend(), [](const QUrl& file) {
            const std::optional<ConvertKind> kind = ConvertKind::forFile(file);
            return kind && *kind != ConvertKind::pdf;
        });
    MorvaneModel model(
        std::make_unique<RealConverters>(needsEngine ? RealConverters::Engine::startNow
                                                     : RealConverters::Engine::startOnFirstUse),
        std::move(services));
    model.setSettings(
        {parsed->outFolder.value_or(stored.folderPath), stored.openAfterConvert && parsed->reveal});
    QObject::connect(&model, &MorvaneModel::statusChanged,
                     [&] { err << model.status() << Qt::endl; });

    qsizetype inputs = 0;
    qsizetype saved = 0;
    auto report = [&](const QList<QUrl>& written) {
        for (const QUrl& document : written)
            out << document.toLocalFile() << Qt::endl;
        saved += written.size();
    };

    if (!parsed->files.isEmpty()) {
        QEventLoop loop;
        QObject::connect(&model, &MorvaneModel::batchEnded, &loop,
                         [&](const QList<QUrl>& batch, const QList<QUrl>& written) {
                             inputs += batch.size();
                             report(written);
                             loop.quit();
                         });
        model.convertFiles(parsed->files);
        if (model.isConverting())
            loop.exec();
    }
    for (const QString& address : parsed->addresses) {
        QEventLoop loop;
        ++inputs;
        QObject::connect(&model, &MorvaneModel::pageEnded, &loop,
                         [&](const QUrl&, const QList<QUrl>& written) {
                             report(written);
                             loop.quit();
                         });
        model.convertURL(address);
        if (model.isConverting())
            loop.exec();
    }

    out << model.status() << Qt::endl;
    return saved == inputs ? 0 : 1;
}
