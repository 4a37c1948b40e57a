#include "convert_result.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

using namespace Qt::StringLiterals;

namespace {

// Missing and null both mean "not given"; any other non-string is an error.
bool readString(const QJsonObject& object, QLatin1StringView key, QString& out) {
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return true;
    if (!value.isString())
        return false;
    out = value.toString();
    return true;
}

bool readAssets(const QJsonValue& value, QList<ConvertResult::Asset>& out) {
    if (value.isUndefined() || value.isNull())
        return true;
    if (!value.isArray())
        return false;
    const QJsonArray array = value.toArray();
    out.reserve(array.size());
    for (const QJsonValue& element : array) {
        if (!element.isObject())
            return false;
        const QJsonObject object = element.toObject();
        const QJsonValue name = object.value("name"_L1);
        const QJsonValue base64 = object.value("base64"_L1);
        if (!name.isString() || !base64.isString())
            return false;
        out.append({name.toString(), base64.toString()});
    }
    return true;
}

bool readWarnings(const QJsonValue& value, QStringList& out) {
    if (value.isUndefined() || value.isNull())
        return true;
    if (!value.isArray())
        return false;
    const QJsonArray array = value.toArray();
    out.reserve(array.size());
    for (const QJsonValue& element : array) {
        if (!element.isString())
            return false;
        out.append(element.toString());
    }
    return true;
}

} // namespace

std::optional<ConvertResult> ConvertResult::fromJson(const QByteArray& json) {
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();

    ConvertResult result;
    const QJsonValue error = object.value("error"_L1);
    if (error.isString())
        result.error = error.toString();
    else if (!error.isUndefined() && !error.isNull())
        return std::nullopt;

    if (!readString(object, "markdown"_L1, result.markdown) ||
        !readString(object, "title"_L1, result.title) ||
        !readAssets(object.value("assets"_L1), result.assets) ||
        !readWarnings(object.value("warnings"_L1), result.warnings))
        return std::nullopt;
    return result;
}
