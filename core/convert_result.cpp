#include "convert_result.h"

#include "json_input.h"

#include <QJsonArray>
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

// Missing and null are an empty list; one element that `read` refuses makes
// the whole list an error.
template <typename T, typename Read>
bool readList(const QJsonValue& value, QList<T>& out, Read read) {
    if (value.isUndefined() || value.isNull())
        return true;
    if (!value.isArray())
        return false;
    const QJsonArray array = value.toArray();
    out.reserve(array.size());
    for (const QJsonValue& element : array) {
        std::optional<T> item = read(element);
        if (!item)
            return false;
        out.append(std::move(*item));
    }
    return true;
}

std::optional<ConvertResult::Asset> readAsset(const QJsonValue& element) {
    const QJsonValue name = element.toObject().value("name"_L1);
    const QJsonValue base64 = element.toObject().value("base64"_L1);
    if (!element.isObject() || !name.isString() || !base64.isString())
        return std::nullopt;
    return ConvertResult::Asset{name.toString(), base64.toString()};
}

std::optional<QString> readWarning(const QJsonValue& element) {
    if (!element.isString())
        return std::nullopt;
    return element.toString();
}

} // namespace

std::optional<ConvertResult> ConvertResult::fromJson(const QByteArray& json) {
    const std::optional<QJsonObject> parsed = JsonInput::object(json);
    if (!parsed)
        return std::nullopt;
    const QJsonObject& object = *parsed;

    ConvertResult result;
    const QJsonValue error = object.value("error"_L1);
    if (error.isString())
        result.error = error.toString();
    else if (!error.isUndefined() && !error.isNull())
        return std::nullopt;

    if (!readString(object, "markdown"_L1, result.markdown) ||
        !readString(object, "title"_L1, result.title) ||
        !readList(object.value("assets"_L1), result.assets, readAsset) ||
        !readList(object.value("warnings"_L1), result.warnings, readWarning))
        return std::nullopt;
    return result;
}
