// morvane-convert: the application's conversions without its windows, for
// scripts and measurements. `morvane-convert --help` says how to use it.

#include "compose.h"
#include "convert_kind.h"
#include "desktop.h"
#include "graphical_session.h"
#include "input_location.h"
#include "install_lock.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr int exitSaved = 0;
constexpr int exitNotSaved = 1;
constexpr int exitUsage = 2;

const char* const helpText = R"(Usage: morvane-convert [OPTION]... FILE|URL...
Convert PDF, Word (.docx), PowerPoint (.pptx) and HTML files, and web pages,
into Markdown: one document per input, with its pictures in a folder beside it.
Files are converted as one batch; web addresses (http:// or https://) follow,
one by one.

Options:
  -o, --out DIR  write into DIR for this run only (otherwise into the folder
                 chosen in Morvane's settings)
      --stdout   print the document to standard output instead of writing a
                 file (one input only); its pictures are written only when
                 --out is given
      --pdf-layout plain|structured
                 how PDFs are laid out for this run only: plain keeps their
                 lines as written, structured drops page headers, footers
                 and numbers and finds paragraphs, lists, code, tables and
                 pictures (otherwise the layout chosen in Morvane's settings)
      --reveal   show the written documents in the file manager
      --no-reveal  leave the file manager alone (the default)
  -h, --help     show this help and exit
      --version  show the version and exit
      --         end of options: every later argument is an input

Standard output carries only the path of each written document, one a line;
progress and the final status go to standard error.

Exit status:
  0  every input was saved
  1  some input was not saved
  2  the command line was wrong
)";

struct Arguments {
    std::optional<QString> outFolder;
    std::optional<PdfLayoutChoice> pdfLayout;
    bool reveal = false;
    bool toStdout = false;
    bool help = false;
    bool version = false;
    QList<QUrl> files;
    QStringList addresses;
};

// A web address unless it names a file that is there.
bool isAddress(const QString& argument) {
    return !argument.startsWith(u"file:"_s) && argument.contains(u"://"_s) &&
           !QFileInfo::exists(argument);
}

// The value of the option `longName` (or `shortName`) when `arguments[i]` is
// it: "--name=VALUE", "-cVALUE" or the next argument, which `i` then moves
// past; empty when the value is missing.
std::optional<QString> optionValue(const QStringList& arguments, qsizetype& i,
                                   const QString& longName, const QString& shortName = {}) {
    const QString& argument = arguments[i];
    if (argument.startsWith(longName + u'='))
        return argument.mid(longName.size() + 1);
    if (!shortName.isEmpty() && argument.size() > shortName.size() &&
        argument.startsWith(shortName))
        return argument.mid(shortName.size());
    if (argument != longName && (shortName.isEmpty() || argument != shortName))
        return std::nullopt;
    return ++i < arguments.size() ? arguments[i] : QString();
}

// The arguments as given, without Qt's own options taken out of them: a file
// may well be called "-platform".
std::optional<Arguments> parse(const QStringList& arguments, QTextStream& err) {
    Arguments parsed;
    bool optionsDone = false;
    auto usageError = [&](const QString& message) {
        err << "morvane-convert: " << message << "\nTry 'morvane-convert --help'.\n";
        return std::nullopt;
    };
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        const bool isOption = !optionsDone && argument.startsWith(u'-') && argument != u"-";
        if (!isOption) {
            if (isAddress(argument))
                parsed.addresses.append(argument);
            else if (std::optional<QUrl> file =
                         InputLocation::localFile(argument, QDir::currentPath()))
                parsed.files.append(*file);
            else
                return usageError(u"not a file on this machine: "_s + argument);
            continue;
        }
        if (argument == u"--") {
            optionsDone = true;
        } else if (argument == u"-h" || argument == u"--help") {
            parsed.help = true;
        } else if (argument == u"--version") {
            parsed.version = true;
        } else if (argument == u"--stdout") {
            parsed.toStdout = true;
        } else if (argument == u"--reveal") {
            parsed.reveal = true;
        } else if (argument == u"--no-reveal") {
            parsed.reveal = false;
        } else if (std::optional<QString> folder = optionValue(arguments, i, u"--out"_s, u"-o"_s)) {
            if (folder->isEmpty())
                return usageError(u"option "_s + argument + u" needs a folder"_s);
            parsed.outFolder = QDir::cleanPath(QDir::current().absoluteFilePath(*folder));
        } else if (std::optional<QString> layout = optionValue(arguments, i, u"--pdf-layout"_s)) {
            if (*layout == u"plain")
                parsed.pdfLayout = PdfLayoutChoice::plain;
            else if (*layout == u"structured")
                parsed.pdfLayout = PdfLayoutChoice::structured;
            else
                return usageError(u"option --pdf-layout takes plain or structured"_s);
        } else {
            return usageError(u"unknown option "_s + argument);
        }
    }
    if (parsed.help || parsed.version)
        return parsed;
    const qsizetype inputs = parsed.files.size() + parsed.addresses.size();
    if (inputs == 0)
        return usageError(u"no input given"_s);
    if (parsed.toStdout && inputs != 1)
        return usageError(u"--stdout takes exactly one input"_s);
    return parsed;
}

// With --stdout the document goes to standard output instead of a file; its
// pictures go into the folder given with --out, or nowhere.
class PrintingWriter : public FileWriter {
public:
    explicit PrintingWriter(bool writePictures)
        : m_writePictures(writePictures) {}

    QByteArray document;

    Outcome createNew(const QString&, QByteArrayView bytes) override {
        document = bytes.toByteArray();
        return Outcome::created;
    }
    bool replace(const QString& path, QByteArrayView bytes) override {
        return m_writePictures && FileWriter::replace(path, bytes);
    }
    bool makeFolder(const QString& path) override {
        return m_writePictures && FileWriter::makeFolder(path);
    }
    Outcome createFolder(const QString& path) override {
        return m_writePictures ? FileWriter::createFolder(path) : Outcome::failed;
    }

private:
    bool m_writePictures;
};

// A run without --reveal shows nothing on the desktop, and a command is never
// asked to copy, choose a folder or answer an alert: no desktop session is
// started for it.
class NoDesktop : public Desktop {
public:
    void revealFiles(const QList<QUrl>&) override {}
    void open(const QUrl&) override {}
    void copyText(const QString&) override {}
    std::optional<QString> chooseFolder(const FolderChoice&) override { return std::nullopt; }
    // As if dismissed: the last button, the one that changes nothing.
    int showAlert(const Alert& alert) override {
        return static_cast<int>(std::max<qsizetype>(alert.buttons.size() - 1, 0));
    }
    void activate() override {}
    void quit() override { QCoreApplication::quit(); }
};

QtMessageHandler defaultMessageHandler = nullptr;

// The web engine describes its graphics set-up at every start, in its own
// category and in a few plain warnings that change nothing for a conversion.
// Its real warnings and errors still reach the terminal.
void quietEngineStart(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    static const QStringList startNoise{
        u"WebEngineContext used before QtWebEngineCore::initialize()"_s,
        u"No suitable graphics backend found"_s, u"Sandboxing disabled by user."_s};
    const bool isEngineStart =
        qstrcmp(context.category, "qt.webenginecontext") == 0 ||
        std::any_of(startNoise.cbegin(), startNoise.cend(),
                    [&](const QString& noise) { return message.startsWith(noise); });
    if (isEngineStart && type != QtCriticalMsg && type != QtFatalMsg)
        return;
    defaultMessageHandler(type, context, message);
}

// Without a display the web engine still needs a platform: the offscreen one.
std::vector<char*> platformArguments(char* program) {
    std::vector<char*> arguments{program};
    const bool hasDisplay = qEnvironmentVariableIsSet("DISPLAY") ||
                            qEnvironmentVariableIsSet("WAYLAND_DISPLAY") ||
                            qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
    if (!hasDisplay) {
        static char platform[] = "-platform";
        static char offscreen[] = "offscreen";
        arguments.insert(arguments.end(), {platform, offscreen});
    }
    arguments.push_back(nullptr);
    return arguments;
}

} // namespace

int main(int argc, char** argv) {
    // A PDF's pages each allocate and free about the same memory: handing
    // it back to the system after every page and faulting it in again cost
    // a sixth of a conversion's time.
    mallopt(M_TRIM_THRESHOLD, 8 << 20);
    mallopt(M_MMAP_THRESHOLD, 4 << 20);
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList given;
    for (int i = 1; i < argc; ++i)
        given.append(QFile::decodeName(argv[i]));
    const std::optional<Arguments> parsed = parse(given, err);
    if (!parsed)
        return exitUsage;
    if (parsed->help) {
        out << helpText;
        return exitSaved;
    }
    if (parsed->version) {
        out << "morvane-convert " << MORVANE_VERSION << '\n';
        return exitSaved;
    }
    // Help and version read nothing from the install; a conversion does.
    if (!InstallLock::holdInstall())
        return exitNotSaved;

    // The web engine and the desktop need a graphical session, which takes
    // as long to start as a hundred pages take to convert: only a run that
    // needs them starts one. Every input is known now, so a PDF-only run
    // can go without; a web page is converted by the engine.
    const bool needsEngine =
        !parsed->addresses.isEmpty() ||
        std::any_of(parsed->files.cbegin(), parsed->files.cend(), [](const QUrl& file) {
            const std::optional<ConvertKind> kind = ConvertKind::forFile(file);
            return kind && *kind != ConvertKind::pdf;
        });
    const bool graphical = needsEngine || parsed->reveal;
    std::vector<char*> arguments =
        graphical ? platformArguments(argv[0]) : std::vector<char*>{argv[0], nullptr};
    int count = static_cast<int>(arguments.size()) - 1;
    std::unique_ptr<QCoreApplication> app;
    std::unique_ptr<Desktop> desktop;
    if (graphical) {
        defaultMessageHandler = qInstallMessageHandler(quietEngineStart);
        app = GraphicalSession::application(count, arguments.data());
        if (app && parsed->reveal)
            desktop = GraphicalSession::desktop();
        // Without the module the PDFs are still converted; every other input
        // then fails with this reason.
        if (!app || (parsed->reveal && !desktop))
            err << "morvane-convert: " << GraphicalSession::failure() << Qt::endl;
    }
    if (!app)
        app = std::make_unique<QCoreApplication>(count, arguments.data());
    if (!desktop)
        desktop = std::make_unique<NoDesktop>();

    // The stored settings are read, never written: --out is for this run only.
    const MorvaneSettings stored = MorvaneSettings::read(MorvaneSettings::url().toLocalFile());
    ModelServices services;
    services.desktop = desktop.get();
    services.settingsPath = QString();
    services.pdfLayout = parsed->pdfLayout;
    PrintingWriter* printing = nullptr;
    if (parsed->toStdout) {
        auto writer = std::make_unique<PrintingWriter>(parsed->outFolder.has_value());
        printing = writer.get();
        services.fileWriter = std::move(writer);
        services.recordRecents = false;
    }
    // Started for nothing, the web engine's processes would take a core from
    // the PDF pages.
    const std::unique_ptr<MorvaneModel> made = Compose::model(
        std::move(services),
        needsEngine ? RealConverters::Engine::startNow : RealConverters::Engine::startOnFirstUse,
        Compose::Updates::none);
    MorvaneModel& model = *made;
    model.setSettings({parsed->outFolder.value_or(stored.folderPath), parsed->reveal});
    // The window's recents stay; this run's documents join them.
    model.loadRecents();
    QObject::connect(&model, &MorvaneModel::statusChanged,
                     [&] { err << model.status() << Qt::endl; });

    qsizetype inputs = 0;
    qsizetype saved = 0;
    auto report = [&](const QList<QUrl>& written) {
        saved += written.size();
        if (printing) {
            if (!written.isEmpty())
                std::fwrite(printing->document.constData(), 1,
                            static_cast<size_t>(printing->document.size()), stdout);
            return;
        }
        for (const QUrl& document : written)
            out << document.toLocalFile() << Qt::endl;
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
    std::fflush(stdout);
    return saved == inputs ? exitSaved : exitNotSaved;
}
