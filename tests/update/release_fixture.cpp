#include "release_fixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <filesystem>
#include <stdexcept>

using namespace Qt::StringLiterals;
namespace fs = std::filesystem;

namespace ReleaseFixture {

bool run(const QString& program, const QStringList& arguments, QByteArray* output) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const bool finished = process.waitForFinished(120000);
    if (output)
        *output = process.readAll();
    return finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

QByteArray SigningKey::publicKey() const {
    return readFile(publicKeyFile);
}

namespace {

QString packagingScript(const char* name) {
    return QStringLiteral(MORVANE_SOURCE_DIR "/packaging/") + QString::fromLatin1(name);
}

SigningKey makeKey(const char* name) {
    static QTemporaryDir keys;
    const QString folder = keys.filePath(QString::fromLatin1(name));
    QDir().mkpath(folder);
    SigningKey key{QDir(folder).filePath(u"release.pub"_s),
                   QDir(folder).filePath(u"release.key"_s)};
    QByteArray output;
    if (!run(u"minisign"_s,
             {u"-G"_s, u"-f"_s, u"-W"_s, u"-p"_s, key.publicKeyFile, u"-s"_s, key.secretKeyFile},
             &output))
        throw std::runtime_error("minisign -G failed: " + output.toStdString());
    return key;
}

} // namespace

const SigningKey& releaseKey() {
    static const SigningKey key = makeKey("release");
    return key;
}

const SigningKey& otherKey() {
    static const SigningKey key = makeKey("other");
    return key;
}

void writeApp(const QString& folder, const QString& version, const QString& startedLog) {
    QDir().mkpath(folder + u"/lib"_s);
    QDir().mkpath(folder + u"/Morvane_Morvane.bundle/converter"_s);
    const QString executable = folder + u"/morvane"_s;
    writeFile(executable,
              "#!/bin/sh\necho " + version.toUtf8() + " >> '" + startedLog.toUtf8() + "'\n");
    QFile::setPermissions(executable, QFile::permissions(executable) | QFile::ExeOwner);
    writeFile(folder + u"/VERSION"_s, version.toUtf8());
    writeFile(folder + u"/Morvane_Morvane.bundle/converter/host.html"_s,
              "<!doctype html><title>" + version.toUtf8() + "</title>");
    writeFile(folder + u"/lib/libconvert.so.1"_s, "library " + version.toUtf8());
    QFile::link(u"libconvert.so.1"_s, folder + u"/lib/libconvert.so"_s);
    // Names the signing script and the updater must list alike.
    writeFile(folder + u"/Morvane_Morvane.bundle/name with spaces.txt"_s, "spaces");
    writeFile(folder + u"/Morvane_Morvane.bundle/Zürich.txt"_s, "not ascii");
    writeFile(folder + u"/.hidden"_s, "dot file");
}

bool signApp(const QString& folder, const SigningKey& key, const QString& team) {
    return run(packagingScript("sign-app"), {folder, key.secretKeyFile, team});
}

bool makeRelease(const QString& app, const SigningKey& key, const QString& version,
                 const QString& baseUrl, const QString& outFolder, const QString& team,
                 QByteArray* output) {
    return run(packagingScript("make-release"),
               {app, key.secretKeyFile, team, version, baseUrl, outFolder}, output);
}

void zipFolder(const QString& root, const QString& zipPath) {
    const fs::path base(QFile::encodeName(root).toStdString());
    QList<ZipEntry> entries;
    for (const fs::directory_entry& item : fs::recursive_directory_iterator(base)) {
        const QByteArray path =
            QByteArray::fromStdString(item.path().lexically_relative(base).generic_string());
        if (item.is_symlink())
            entries.append({path, ZipEntry::link,
                            QByteArray::fromStdString(fs::read_symlink(item.path()).native())});
        else if (item.is_directory())
            entries.append({path + '/', ZipEntry::folder, {}});
        else
            entries.append({path, ZipEntry::file,
                            readFile(QFile::decodeName(QByteArray::fromStdString(item.path()))),
                            static_cast<int>(item.status().permissions() & fs::perms::mask)});
    }
    if (!writeFile(zipPath, zipOf(entries)))
        throw std::runtime_error("can't write " + zipPath.toStdString());
}

} // namespace ReleaseFixture
