#include "morvane_settings.h"

#include "json_input.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

const MorvaneSettings& MorvaneSettings::defaultSettings() {
    static const MorvaneSettings settings = [] {
        const QStringList documents =
            QStandardPaths::standardLocations(QStandardPaths::DocumentsLocation);
        const QString folder = documents.isEmpty() ? QDir::homePath() + u"/Documents/Converted"_s
                                                   : documents.constFirst() + u"/Converted"_s;
        return MorvaneSettings{folder, true};
    }();
    return settings;
}

QUrl MorvaneSettings::url() {
    const QStringList config =
        QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation);
    if (config.isEmpty())
        return {};
    const QString folder = config.constFirst() + u"/com.ombrix.morvane"_s;
    QDir().mkpath(folder);
    return QUrl::fromLocalFile(folder + u"/settings.json"_s);
}

std::optional<MorvaneSettings> MorvaneSettings::fromJson(const QByteArray& json) {
    // Unreadable text lacks the fields as an empty object does.
    const QJsonObject object = JsonInput::object(json).value_or(QJsonObject());
    const QJsonValue folderPath = object.value("folderPath"_L1);
    const QJsonValue openAfterConvert = object.value("openAfterConvert"_L1);
    // A relative folder would follow whatever folder the app was started in,
    // and an empty one is the root.
    if (!folderPath.isString() || !openAfterConvert.isBool() ||
        !QDir::isAbsolutePath(folderPath.toString()))
        return std::nullopt;
    return MorvaneSettings{QDir::cleanPath(folderPath.toString()), openAfterConvert.toBool()};
}

QByteArray MorvaneSettings::toJson() const {
    const QJsonObject object{{u"folderPath"_s, folderPath},
                             {u"openAfterConvert"_s, openAfterConvert}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

MorvaneSettings MorvaneSettings::read(const QString& path) {
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return defaultSettings();
    // Two short members: anything much longer is not ours, and is not read whole.
    const QByteArray json = file.read(maxFileBytes + 1);
    if (json.size() > maxFileBytes)
        return defaultSettings();
    return fromJson(json).value_or(defaultSettings());
}

bool MorvaneSettings::write(const QString& path) const {
    if (path.isEmpty())
        return false;
    // Unbuffered, so that a disk that fills up part way shows in the count
    // written and the old file stays instead of a cut one.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    const QByteArray json = toJson();
    // Not committed, the temporary file goes with `file`.
    return file.write(json) == json.size() && file.commit();
}
