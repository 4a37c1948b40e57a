#include "morvane_model.h"

#include "base64.h"
#include "convert.h"
#include "input_file.h"
#include "unicode.h"

#include <QCoro/QCoroFuture>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSettings>
#include <QtConcurrent/QtConcurrentRun>

using namespace Qt::StringLiterals;

namespace {

const QString recentsKey = u"ombrix.morvane.recents"_s;
const QString pdfLayoutKey = u"ombrix.morvane.pdfLayout"_s;
constexpr qsizetype maxRecents = 5;
constexpr int maxNameClashes = 1000;

QString fileName(const QUrl& url) {
    QString path = url.path();
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return QFileInfo(path).fileName();
}

// Report.docx gives Report, notes.final.pdf gives notes.final.
QString baseName(const QUrl& url) {
    const QString name = fileName(url);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? name : name.left(dot);
}

QString compiledVersion() {
    const QString version = QStringLiteral(MORVANE_VERSION);
    return version.isEmpty() ? u"1.0"_s : version;
}

// Asset names come from the engine unchecked and become file names inside the
// asset folder: anything but a plain name could reach outside it.
bool isPlainFileName(const QString& name) {
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(u'/') &&
           !name.contains(u'\\') && !name.contains(QChar(0));
}

bool isTaken(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// An asset folder of the same stem would be taken for the document's own, so
// it counts as a clash like the document's name itself.
bool isAssetFolderTaken(const QString& folder, const QString& stem) {
    return isTaken(folder + u'/' + stem + u"-assets"_s);
}

// The status of an input refused before it is read.
QString refusal(InputFile::Problem problem, const QString& name, const QString& ceiling) {
    return problem == InputFile::Problem::tooLarge
               ? u"Skipped "_s + name + u" — larger than "_s + ceiling
               : u"Couldn't read "_s + name;
}

// What an engine-bound input becomes before the call: its payload, or the
// status that ends it.
struct EnginePayload {
    QString payload;
    QString failure;
};

EnginePayload readEngineInput(const QString& path, ConvertKind kind, const QString& name) {
    InputFile::Contents contents =
        InputFile::open(path, MorvaneModel::maxEngineInputBytes, /*read=*/true);
    if (contents.problem != InputFile::Problem::none)
        return {{}, refusal(contents.problem, name, u"512 MB"_s)};
    if (kind.isBinary())
        return {QString::fromLatin1(contents.bytes.toBase64()), {}};
    if (std::optional<QString> text = Unicode::decodeUtf8Strict(contents.bytes))
        return {std::move(*text), {}};
    return {{}, u"Couldn't read "_s + name};
}

bool hasEnoughText(const QString& markdown) {
    // Counting every cluster of a long document kept the main thread busy.
    return Unicode::hasAtLeastGraphemes(Unicode::trimmed(markdown), 3);
}

} // namespace

MorvaneModel::MorvaneModel(std::unique_ptr<Converters> converters, ModelServices services,
                           QObject* parent)
    : QObject(parent)
    , m_converters(std::move(converters))
    , m_services(std::move(services)) {
    Q_ASSERT(m_services.desktop && m_services.network);
    if (!m_services.fileWriter)
        m_services.fileWriter = std::make_unique<FileWriter>();
    if (!m_services.clock)
        m_services.clock = [] { return QDateTime::currentDateTime(); };
    m_settings = MorvaneSettings::read(
        m_services.settingsPath.value_or(MorvaneSettings::url().toLocalFile()));
    m_version = compiledVersion();
    m_storesPdfLayout = !m_services.pdfLayout;
    m_pdfLayout = m_services.pdfLayout.value_or(
        preferences().value(pdfLayoutKey).toString() == u"structured" ? PdfLayoutChoice::structured
                                                                      : PdfLayoutChoice::plain);
}

MorvaneModel::~MorvaneModel() {
    // Before any member goes: a converter destroyed below may resume a batch
    // that waits on it.
    m_lifetime.end();
}

QSettings MorvaneModel::preferences() {
    return QSettings(u"Ombrix"_s, u"Morvane"_s);
}

void MorvaneModel::setSettings(const MorvaneSettings& settings) {
    m_settings = settings;
    Q_EMIT settingsChanged();
    m_settings.write(m_services.settingsPath.value_or(MorvaneSettings::url().toLocalFile()));
}

void MorvaneModel::setPdfLayout(PdfLayoutChoice layout) {
    if (layout == m_pdfLayout)
        return;
    m_pdfLayout = layout;
    Q_EMIT pdfLayoutChanged();
    if (m_storesPdfLayout)
        preferences().setValue(pdfLayoutKey, layout == PdfLayoutChoice::structured ? u"structured"_s
                                                                                   : u"plain"_s);
}

void MorvaneModel::setStatus(const QString& status) {
    m_status = status;
    Q_EMIT statusChanged();
}

void MorvaneModel::setIsConverting(bool isConverting) {
    m_isConverting = isConverting;
    Q_EMIT isConvertingChanged();
}

void MorvaneModel::convertFiles(const QList<QUrl>& urls) {
    QList<QUrl> batch;
    for (QUrl url : urls) {
        // file://localhost/x names the same file as file:///x.
        if (url.isLocalFile() && url.host() == u"localhost"_s)
            url.setHost(QString());
        const QString path = url.toLocalFile();
        if (m_inFlight.contains(path))
            continue;
        m_inFlight.insert(path);
        batch.append(url);
    }
    if (batch.isEmpty())
        return;
    runBatch(std::move(batch));
}

QCoro::Task<> MorvaneModel::runBatch(QList<QUrl> batch) {
    // The model may be a test's and go away; the shared one never does.
    const Lifetime::Token alive = m_lifetime.token();
    setIsConverting(true);
    removeStaleTemporaries();
    QList<QUrl> written;
    for (const QUrl& url : batch) {
        const std::optional<QUrl> document = co_await convertOne(url);
        if (!alive)
            co_return;
        if (document)
            written.append(*document);
    }

    if (written.size() == 1)
        setStatus(u"Converted ✓"_s);
    else if (written.size() >= 2)
        setStatus(u"Converted "_s + QString::number(written.size()) + u" files ✓"_s);
    if (m_settings.openAfterConvert && !written.isEmpty())
        m_services.desktop->revealFiles(written);

    setIsConverting(false);
    for (const QUrl& url : batch)
        m_inFlight.remove(url.toLocalFile());
    Q_EMIT batchEnded(batch, written);
}

QCoro::Task<std::optional<QUrl>> MorvaneModel::convertOne(QUrl url) {
    const Lifetime::Token alive = m_lifetime.token();
    const QString name = fileName(url);
    const std::optional<ConvertKind> kind = ConvertKind::forFile(url);
    if (!kind) {
        setStatus(u"Skipped "_s + name + u" — unsupported type"_s);
        co_return std::nullopt;
    }
    setStatus(u"Converting "_s + name + u"…"_s);

    ConvertResult result;
    std::optional<QString> note;
    // Inputs are opened off the main thread: even a check can wait on a slow disk.
    const QString path = url.toLocalFile();
    if (*kind == ConvertKind::pdf) {
        QFuture<InputFile::Contents> checking = QtConcurrent::run(
            [path] { return InputFile::open(path, maxPdfBytes, /*read=*/false); });
        const InputFile::Contents checked = co_await checking;
        if (!alive)
            co_return std::nullopt;
        if (checked.problem != InputFile::Problem::none) {
            setStatus(refusal(checked.problem, name, u"2 GB"_s));
            co_return std::nullopt;
        }
        PdfText text = co_await m_converters->convertPdf(path, m_pdfLayout);
        if (!alive)
            co_return std::nullopt;
        result.markdown = std::move(text.markdown);
        result.assets = std::move(text.assets);
        note = std::move(text.note);
    } else {
        const ConvertKind engineKind = *kind;
        QFuture<EnginePayload> reading = QtConcurrent::run(
            [path, engineKind, name] { return readEngineInput(path, engineKind, name); });
        EnginePayload input = co_await reading;
        if (!alive)
            co_return std::nullopt;
        if (!input.failure.isEmpty()) {
            setStatus(input.failure);
            co_return std::nullopt;
        }
        result = co_await m_converters->convert(*kind, std::move(input.payload), name);
        if (!alive)
            co_return std::nullopt;
        if (result.error) {
            setStatus(u"Engine error: "_s + *result.error + u" — "_s + name);
            co_return std::nullopt;
        }
    }

    if (!hasEnoughText(result.markdown)) {
        QString message = u"No text found in "_s + name;
        if (note)
            message += u" ["_s + *note + u"]"_s;
        setStatus(message);
        co_return std::nullopt;
    }

    const std::optional<QUrl> document = saveAndRecord(result, name, baseName(url));
    if (!document)
        setStatus(u"Couldn't save "_s + name);
    co_return document;
}

std::optional<QUrl> MorvaneModel::saveAndRecord(const ConvertResult& result, const QString& source,
                                                const QString& fallback) {
    if (result.error || result.markdown.isEmpty())
        return std::nullopt;

    const QString folder = m_settings.folderPath;
    m_services.fileWriter->makeFolder(folder);
    const QString title = result.title.isEmpty() ? fallback : result.title;
    const QString slug = Convert::slug(title, fallback);

    struct DecodedAsset {
        QString name;
        QByteArray bytes;
    };
    QList<DecodedAsset> assets;
    for (const ConvertResult::Asset& asset : result.assets) {
        if (!isPlainFileName(asset.name))
            continue;
        if (std::optional<QByteArray> bytes = Base64::decodeStrict(QStringView(asset.base64)))
            assets.append({asset.name, std::move(*bytes)});
    }

    const QString date = today();
    const QUrl wished = QUrl::fromLocalFile(folder + u'/' + slug + u".md"_s);
    // The assets belong to the document actually written (report-2.md keeps
    // them in report-2-assets), so the name is settled before links are made.
    // The asset folder is made new before the document claims its name:
    // another document's folder, or a symlink planted in its place, is a
    // clash, never a place to write into.
    for (int attempt = 0; attempt < maxNameClashes; ++attempt) {
        const QUrl target = uniqueURL(wished);
        const QString assetFolderName = baseName(target) + u"-assets"_s;
        const QString assetFolder = folder + u'/' + assetFolderName;
        bool madeAssetFolder = false;
        if (!assets.isEmpty()) {
            const FileWriter::Outcome made = m_services.fileWriter->createFolder(assetFolder);
            if (made == FileWriter::Outcome::exists)
                continue;
            madeAssetFolder = made == FileWriter::Outcome::created;
        }
        QString markdown = result.markdown;
        for (const DecodedAsset& asset : assets)
            markdown.replace(u"]("_s + asset.name + u')',
                             u"]("_s + assetFolderName + u'/' + asset.name + u')');
        const QString text = Convert::document(title, source, date, markdown);

        const FileWriter::Outcome outcome =
            m_services.fileWriter->createNew(target.toLocalFile(), text.toUtf8());
        if (outcome != FileWriter::Outcome::created && madeAssetFolder)
            m_services.fileWriter->removeEmptyFolder(assetFolder);
        if (outcome == FileWriter::Outcome::exists)
            continue;
        if (outcome == FileWriter::Outcome::failed)
            return std::nullopt;

        if (madeAssetFolder) {
            for (const DecodedAsset& asset : assets)
                m_services.fileWriter->replace(assetFolder + u'/' + asset.name, asset.bytes);
            m_services.fileWriter->flush(assetFolder);
        }
        if (m_services.recordRecents)
            addRecent(target);
        return target;
    }
    return std::nullopt;
}

QUrl MorvaneModel::uniqueURL(const QUrl& url) const {
    const QString path = url.toLocalFile();
    const QString folder = QFileInfo(path).path();
    const QString base = baseName(url);
    if (!isTaken(path) && !isAssetFolderTaken(folder, base))
        return url;
    for (qint64 n = 2;; ++n) {
        const QString stem = base + u'-' + QString::number(n);
        const QString candidate = folder + u'/' + stem + u".md"_s;
        if (!isTaken(candidate) && !isAssetFolderTaken(folder, stem))
            return QUrl::fromLocalFile(candidate);
    }
}

void MorvaneModel::removeStaleTemporaries() {
    // On the main thread like the saving itself: one listing of the output
    // folder, and no later save can race with it. Against the files' own
    // times, not the clock that dates documents.
    FileWriter::removeStaleTemporaries(m_settings.folderPath,
                                       QDateTime::currentDateTime().addDays(-1));
}

QString MorvaneModel::today() const {
    return QLocale::c().toString(m_services.clock().date(), u"yyyy-MM-dd"_s);
}

void MorvaneModel::loadRecents() {
    const QVariant stored = preferences().value(recentsKey);
    if (!stored.isValid())
        return;
    const std::optional<QList<Recent>> decoded = Recent::listFromJson(stored.toByteArray());
    if (!decoded)
        return;
    QList<Recent> kept;
    for (const Recent& recent : *decoded) {
        if (isTaken(recent.path))
            kept.append(recent);
    }
    m_recents = kept;
    Q_EMIT recentsChanged();
}

void MorvaneModel::addRecent(const QUrl& document) {
    const Recent recent = Recent::forDocument(document);
    m_recents.removeIf([&](const Recent& entry) { return entry.path == recent.path; });
    m_recents.prepend(recent);
    if (m_recents.size() > maxRecents)
        m_recents.resize(maxRecents);
    Q_EMIT recentsChanged();
    preferences().setValue(recentsKey, Recent::listToJson(m_recents));
}

void MorvaneModel::copyRecent(const Recent& recent) {
    QFile file(recent.path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const std::optional<QString> text = Unicode::decodeUtf8Strict(file.readAll());
    if (!text || file.error() != QFileDevice::NoError)
        return;
    m_services.desktop->copyText(*text);
    setStatus(u"Copied ✓ "_s + recent.name);
}

void MorvaneModel::chooseFolder() {
    m_services.desktop->activate();
    const std::optional<QString> folder = m_services.desktop->chooseFolder(
        {u"Choose"_s, u"Choose where converted Markdown is saved"_s, m_settings.folderPath});
    if (!folder)
        return;
    MorvaneSettings settings = m_settings;
    settings.folderPath = *folder;
    setSettings(settings);
}
