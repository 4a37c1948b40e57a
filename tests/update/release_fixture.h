#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include "test_files.h"
#include "zip_writer.h"

// Install folders, signing keys, releases and hand-made ZIP archives for the
// updater's tests, made at test time in folders the tests own.
namespace ReleaseFixture {

inline constexpr char teamId[] = "TESTTEAM42";

// Runs `program` and waits; true on exit status 0. Output goes to `output`.
bool run(const QString& program, const QStringList& arguments, QByteArray* output = nullptr);

struct SigningKey {
    QString publicKeyFile;
    QString secretKeyFile;
    QByteArray publicKey() const; // the key file's text
};

// Two throwaway minisign key pairs without a password, made on first use and
// kept for the process: the one that signs the tests' releases and another.
const SigningKey& releaseKey();
const SigningKey& otherKey();

// An install folder of version `version`: an executable "morvane" that
// appends its version as a line to `startedLog` when run, a VERSION file, the
// resource bundle with a page, a library with its link, and files whose names
// have spaces, non-ASCII letters or a leading dot.
void writeApp(const QString& folder, const QString& version, const QString& startedLog);

// packaging/sign-app and packaging/make-release.
bool signApp(const QString& folder, const SigningKey& key,
             const QString& team = QString::fromLatin1(teamId));
bool makeRelease(const QString& app, const SigningKey& key, const QString& version,
                 const QString& baseUrl, const QString& outFolder,
                 const QString& team = QString::fromLatin1(teamId), QByteArray* output = nullptr);

// Zips everything below `root` (files with their modes, folders, links as
// links), paths relative to `root`.
void zipFolder(const QString& root, const QString& zipPath);

} // namespace ReleaseFixture
