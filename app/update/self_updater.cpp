#include "self_updater.h"

#include "app_signature.h"
#include "secure_archive.h"
#include "update_settings.h"

#include <QCoreApplication>
#include <QCoro/QCoroFuture>
#include <QCoro/QCoroNetworkReply>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QProcess>
#include <QSaveFile>
#include <QStorageInfo>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include <unistd.h>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 readBufferSize = 256 * 1024;

struct DeleteLater {
    void operator()(QObject* object) const { object->deleteLater(); }
};

SelfUpdater::PlatformError fileError(const QString& what, const QString& path,
                                     const QString& reason = {}) {
    QString message = what + u' ' + QDir::toNativeSeparators(path);
    if (!reason.isEmpty())
        message += u": "_s + reason;
    return {QNetworkReply::NoError, message};
}

// A package-manager install or a build tree is no install folder of ours: only
// a "*.app" folder is ever swapped, so that /usr/bin and the like are never
// replaced. A folder of another user, or any folder when run by root, is
// somebody else's install too: a system install belongs to whoever put it there.
bool isReplaceable(const QString& appLocation, uint userId) {
    const QFileInfo app(appLocation);
    if (!app.isDir() || app.isSymLink() || !app.fileName().endsWith(".app"_L1) ||
        app.fileName().size() <= 4)
        return false;
    if (userId == 0 || app.ownerId() != userId)
        return false;
    const QStorageInfo volume(appLocation);
    if (volume.isValid() && volume.isReadOnly())
        return false;
    // access() asks the kernel, so read-only mounts, ACLs and immutable
    // folders count as well as the mode bits.
    return ::access(QFile::encodeName(app.absolutePath()).constData(), W_OK) == 0;
}

// Makes `path` anew as an empty folder of this user. The temporary folder is
// shared, so a link planted under the work folder's name is dropped, never
// followed.
std::optional<SelfUpdater::PlatformError> freshFolder(const QString& path) {
    const QFileInfo existing(path);
    if (existing.isSymLink() || (existing.exists() && !existing.isDir()))
        QFile::remove(path);
    else if (existing.isDir())
        QDir(path).removeRecursively();
    if (!QDir().mkpath(path))
        return fileError(u"Couldn't create"_s, path);
    const QFileInfo made(path);
    if (!made.isDir() || made.isSymLink() || made.ownerId() != ::geteuid())
        return fileError(u"Couldn't create"_s, path, u"taken by someone else"_s);
    return std::nullopt;
}

QString shellQuoted(const QString& text) {
    QString quoted = text;
    quoted.replace(u'\'', u"'\\''"_s);
    return u'\'' + quoted + u'\'';
}

// The first top-level item named "*.app", in the order the folder lists it.
std::optional<QString> findApp(const QString& unpacked) {
    const QStringList names = QDir(unpacked).entryList(
        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Unsorted);
    for (const QString& name : names)
        if (name.endsWith(".app"_L1) && name.size() > 4)
            return QDir(unpacked).filePath(name);
    return std::nullopt;
}

std::optional<SelfUpdater::Failure> launchSwap(const QString& newApp, const QString& dest,
                                               const QString& workFolder,
                                               const SelfUpdater::Environment& environment) {
    const QString scriptPath =
        QDir(environment.tempFolder).filePath(u"ombrix-update-%1.sh"_s.arg(environment.processId));
    // Unbuffered: a script cut short by a full disk must not be committed.
    QSaveFile script(scriptPath);
    const QByteArray text =
        SelfUpdater::swapScript(environment.processId, environment.executableName).toUtf8();
    if (!script.open(QIODevice::WriteOnly | QIODevice::Unbuffered) ||
        script.write(text) != text.size() || !script.commit())
        return fileError(u"Couldn't write"_s, scriptPath, script.errorString());
    if (!environment.startDetached ||
        !environment.startDetached(u"/bin/sh"_s, {scriptPath, newApp, dest, workFolder})) {
        QFile::remove(scriptPath);
        return SelfUpdater::PlatformError{QNetworkReply::NoError, u"Couldn't start /bin/sh"_s};
    }
    return std::nullopt;
}

// Streams the download into `archivePath`. Qt reads no further ahead than a
// small buffer, so memory stays bounded whatever the server sends; a body
// larger than the ceiling is refused as soon as its length is known or its
// bytes reach it.
QCoro::Task<std::optional<SelfUpdater::Failure>> download(const QUrl& url,
                                                          QNetworkAccessManager* session,
                                                          const QString& archivePath,
                                                          const SelfUpdater::Limits& limits) {
    using SelfUpdater::PlatformError;
    using SelfUpdater::UpdateError;
    QFile archiveFile(archivePath);
    if (!archiveFile.open(QIODevice::WriteOnly))
        co_return fileError(u"Couldn't write"_s, archivePath, archiveFile.errorString());
    if (!session)
        co_return PlatformError{QNetworkReply::UnknownNetworkError, u"No network session"_s};

    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    // HTTP/2 streams are read ahead regardless of the read buffer's size.
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    request.setTransferTimeout(static_cast<int>(limits.stall.count()));
    const std::unique_ptr<QNetworkReply, DeleteLater> reply(session->get(request));
    reply->setReadBufferSize(readBufferSize);

    enum class Stop { none, tooLarge, tooSlow, writeFailed } stop = Stop::none;
    qint64 received = 0;
    const auto giveUp = [&](Stop why) {
        if (stop == Stop::none)
            stop = why;
        reply->abort();
    };
    QObject::connect(reply.get(), &QNetworkReply::metaDataChanged, reply.get(), [&] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > limits.downloadBytes)
            giveUp(Stop::tooLarge);
    });
    const auto drain = [&] {
        while (stop == Stop::none && reply->bytesAvailable() > 0) {
            const QByteArray chunk = reply->read(readBufferSize);
            received += chunk.size();
            if (received > limits.downloadBytes)
                giveUp(Stop::tooLarge);
            else if (archiveFile.write(chunk) != chunk.size())
                giveUp(Stop::writeFailed);
        }
    };
    QObject::connect(reply.get(), &QIODevice::readyRead, reply.get(), drain);
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, reply.get(), [&] { giveUp(Stop::tooSlow); });
    deadline.start(limits.transfer);
    if (!reply->isFinished())
        co_await qCoro(reply.get()).waitForFinished();
    deadline.stop();
    drain();
    // What is still buffered goes out now; a full disk shows here.
    if (stop == Stop::none && !archiveFile.flush())
        stop = Stop::writeFailed;
    archiveFile.close();

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (stop == Stop::tooLarge || (status.isValid() && status.toInt() != 200))
        co_return UpdateError::download;
    if (stop == Stop::writeFailed)
        co_return fileError(u"Couldn't write"_s, archivePath, archiveFile.errorString());
    if (stop == Stop::tooSlow)
        co_return PlatformError{
            QNetworkReply::TimeoutError,
            u"The download took longer than %1 minutes"_s.arg(
                std::chrono::duration_cast<std::chrono::minutes>(limits.transfer).count())};
    // Qt cancels a transfer that stalls past the request's time-out.
    if (reply->error() == QNetworkReply::OperationCanceledError)
        co_return PlatformError{
            QNetworkReply::TimeoutError,
            u"The download received nothing for %1 seconds"_s.arg(
                std::chrono::duration_cast<std::chrono::seconds>(limits.stall).count())};
    if (reply->error() != QNetworkReply::NoError)
        co_return PlatformError{reply->error(), reply->errorString()};
    if (!status.isValid())
        co_return UpdateError::download;
    co_return std::nullopt;
}

// Everything install does once the work folder exists.
QCoro::Task<std::optional<SelfUpdater::Failure>>
installFrom(const QString& workFolder, const QString& dest, UpdateInfo update,
            QNetworkAccessManager* session, const SelfUpdater::Environment& environment) {
    using SelfUpdater::UpdateError;
    const QString archivePath = QDir(workFolder).filePath(u"update.zip"_s);
    const QString unpacked = QDir(workFolder).filePath(u"unpacked"_s);
    if (auto failure =
            co_await download(update.downloadURL, session, archivePath, environment.limits))
        co_return failure;

    // Unpacking and hashing take long; they run on a worker thread.
    // (Each co_await stands alone: g++ 12 mishandles temporaries of a
    // co_await inside a condition.)
    QFuture<bool> extraction =
        QtConcurrent::run([archivePath, unpacked, ceiling = environment.limits.unpackedBytes] {
            return SecureArchive::extract(archivePath, unpacked, ceiling);
        });
    const bool extracted = co_await extraction;
    if (!extracted)
        co_return UpdateError::unpack;
    // The archive's work is done; the swap needs only the unpacked folder.
    QFile::remove(archivePath);
    if (!QFileInfo(unpacked).isDir())
        co_return fileError(u"Couldn't list"_s, unpacked);
    const std::optional<QString> newApp = findApp(unpacked);
    if (!newApp)
        co_return UpdateError::notFound;
    QFuture<std::optional<UpdateError>> verification =
        QtConcurrent::run([path = *newApp, version = update.version, trust = environment.trust] {
            return SelfUpdater::verifySignature(path, version, trust);
        });
    const std::optional<UpdateError> badSignature = co_await verification;
    if (badSignature)
        co_return *badSignature;

    co_return launchSwap(*newApp, dest, workFolder, environment);
}

} // namespace

namespace SelfUpdater {

Trust Trust::configured() {
    return {UpdateSettings::publicKey(), UpdateSettings::teamId()};
}

Environment Environment::running() {
    Environment environment;
    environment.appLocation = QCoreApplication::applicationDirPath();
    environment.tempFolder = QDir::tempPath();
    environment.processId = QCoreApplication::applicationPid();
    environment.executableName = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    environment.currentVersion = QStringLiteral(MORVANE_VERSION);
    environment.userId = ::geteuid();
    environment.trust = Trust::configured();
    environment.startDetached = [](const QString& program, const QStringList& arguments) {
        return QProcess::startDetached(program, arguments);
    };
    return environment;
}

QCoro::Task<std::optional<Failure>> install(UpdateInfo update, QNetworkAccessManager* session,
                                            Environment environment) {
    const QString dest = QDir::cleanPath(QDir(environment.appLocation).absolutePath());
    if (!isReplaceable(dest, environment.userId))
        co_return UpdateError::readOnlyLocation;
    // The signature must name the offered version; an offer that is no newer
    // would install an older release that offers the update again forever.
    if (!Updater::isNewer(update.version, environment.currentVersion))
        co_return UpdateError::badSignature;

    const QString workFolder =
        QDir(environment.tempFolder).filePath(u"ombrix-update-%1"_s.arg(environment.processId));
    if (auto failure = freshFolder(workFolder))
        co_return *failure;
    std::optional<Failure> failure =
        co_await installFrom(workFolder, dest, std::move(update), session, environment);
    // On success the swap script removes the folder once it has copied from it.
    if (failure)
        QDir(workFolder).removeRecursively();
    co_return failure;
}

std::optional<UpdateError> verifySignature(const QString& appLocation, const QString& version,
                                           const Trust& trust) {
    const std::optional<QByteArray> manifest = AppSignature::manifest(appLocation);
    QFile signature(QDir(appLocation).filePath(QString::fromLatin1(AppSignature::signaturePath)));
    if (!manifest || !signature.open(QIODevice::ReadOnly) ||
        !AppSignature::verify(*manifest, signature.read(64 * 1024), trust.publicKey, trust.teamId,
                              version))
        return UpdateError::badSignature;
    return std::nullopt;
}

QString swapScript(qint64 processId, const QString& executableName) {
    // $1 is the new folder, $2 the one to replace, $3 the work folder. Every
    // process started from $2 holds a shared lock on it; the exclusive one
    // waits for them all, and is let go before the new version starts. The
    // backup is only made from a folder that exists and only dropped once the
    // copy is whole. A failed or partial copy is removed and the backup put
    // back where nothing else stands; a backup that can't be put back stays
    // where it is.
    const QStringList lines = {
        u"#!/bin/sh"_s,
        u"while kill -0 %1 2>/dev/null; do sleep 0.2; done"_s.arg(processId),
        uR"([ -d "$2" ] && command -v flock >/dev/null && command exec 9<"$2" && flock -x 9)"_s,
        uR"(moved=; [ -d "$2" ] && rm -rf "$2.bak" && mv -T "$2" "$2.bak" 2>/dev/null && moved=1)"_s,
        uR"(if [ -n "$moved" ] && cp -a "$1" "$2" 2>/dev/null; then)"_s,
        uR"(  rm -rf "$2.bak")"_s,
        u"else"_s,
        uR"(  [ -n "$moved" ] && rm -rf "$2"; [ -d "$2.bak" ] && [ ! -e "$2" ] && mv -T "$2.bak" "$2")"_s,
        u"fi"_s,
        uR"(exec 9<&-; [ -n "$3" ] && rm -rf "$3"; rm -f "$0")"_s,
        uR"(setsid -f "$2"/)"_s + shellQuoted(executableName) + u" >/dev/null 2>&1 </dev/null"_s,
    };
    return lines.join(u'\n');
}

} // namespace SelfUpdater
