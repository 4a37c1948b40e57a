#include "recent.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

Recent Recent::forDocument(const QUrl& document) {
    const QString path = document.toLocalFile();
    return Recent{QFileInfo(path).fileName(), path};
}

std::optional<QList<Recent>> Recent::listFromJson(const QByteArray& json) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    QList<Recent> recents;
    for (const QJsonValue& element : document.array()) {
        const QJsonValue name = element.toObject().value("name"_L1);
        const QJsonValue path = element.toObject().value("path"_L1);
        if (!element.isObject() || !name.isString() || !path.isString())
            return std::nullopt;
        recents.append(Recent{name.toString(), path.toString()});
    }
    return recents;
}

QByteArray Recent::listToJson(const QList<Recent>& recents) {
    QJsonArray array;
    for (const Recent& recent : recents)
        array.append(QJsonObject{{u"name"_s, recent.name}, {u"path"_s, recent.path}});
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}
