#pragma once

#include "updater.h"

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QNetworkReply>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <optional>
#include <variant>

class QNetworkAccessManager;

// Replaces the running install folder with a downloaded, signed release.
namespace SelfUpdater {

// The installer's own checks. The order is the order in which install meets them.
enum class UpdateError {
    download,        // no HTTP answer, a status other than 200, or more than the download ceiling
    unpack,          // not a ZIP archive, an entry that would land outside its folder, or more
                     // than the unpacked ceiling
    notFound,        // no item named "*.app" at the top level of the archive
    badSignature,    // the folder's files don't match a signature by the trusted key and team
                     // for the offered version, or that version is not newer than the running one
    readOnlyLocation // the running application can't be replaced where it is, or is not this
                     // user's own (a system install, or any install run by root)
};

// A failure of the platform, passed on as it came: a transfer error with the
// network layer's code and text, or a file or process failure (code NoError).
struct PlatformError {
    QNetworkReply::NetworkError network = QNetworkReply::NoError;
    QString message;

    friend bool operator==(const PlatformError&, const PlatformError&) = default;
};

using Failure = std::variant<UpdateError, PlatformError>;

// Who may sign a release: the minisign public key (its base64 key line) and
// the team its trusted comment must name.
struct Trust {
    QByteArray publicKey;
    QString teamId;

    // The key and team compiled in from the CMake cache.
    static Trust configured();
};

// What a download and its archive may cost at most: about six times a release
// (42 MiB zipped, 77 MiB unpacked).
struct Limits {
    qint64 downloadBytes = qint64(256) << 20;
    qint64 unpackedBytes = qint64(512) << 20;
    // A download that receives nothing for `stall`, or is not done after
    // `transfer`, is given up.
    std::chrono::milliseconds stall = std::chrono::seconds(60);
    std::chrono::milliseconds transfer = std::chrono::minutes(30);
};

// Everything install takes from the running process, so that tests can point
// it at folders and processes of their own.
struct Environment {
    QString appLocation;    // the install folder to replace, "…/Morvane.app"
    QString tempFolder;     // where the work folder and the swap script go
    qint64 processId = 0;   // the process the swap script waits for
    QString executableName; // started from the new folder once swapped
    QString currentVersion; // an update must be newer than this
    uint userId = 0;        // who must own the install folder; never root
    Trust trust;
    Limits limits;
    // Starts `program` with `arguments` without waiting for it; false when it
    // could not be started.
    std::function<bool(const QString& program, const QStringList& arguments)> startDetached;

    // This process: the folder of its executable, the user's temporary
    // folder, its own identifier, name, version and effective user, the
    // compiled-in trust, and QProcess::startDetached.
    static Environment running();
};

// Downloads `update.downloadURL` with `session` into a work folder, unpacks
// it, verifies the new install folder and starts the swap script, which waits
// for `environment.processId` to end and for every other process of the
// install to let go of it, swaps the folder in, removes the work folder and
// starts the new version. No value means all of that succeeded and the caller
// should quit now; the installed folder is left untouched by every failure,
// and the work folder removed.
QCoro::Task<std::optional<Failure>> install(UpdateInfo update, QNetworkAccessManager* session,
                                            Environment environment = Environment::running());

// Checks that the install folder at `appLocation` is a real folder whose
// every file is listed, unchanged and with its execute bit, in a manifest
// signed by `trust` for `version`: badSignature otherwise.
std::optional<UpdateError> verifySignature(const QString& appLocation, const QString& version,
                                           const Trust& trust = Trust::configured());

// The swap script: waits for `processId` to end and for an exclusive lock on
// "$2" (every process of the install holds it shared, see install_lock.h),
// then replaces "$2" by a copy of "$1" with a backup that is put back whenever
// the copy fails, removes the work folder "$3" and the script itself, and
// starts `executableName` from whatever folder then stands at "$2".
QString swapScript(qint64 processId, const QString& executableName);

} // namespace SelfUpdater
