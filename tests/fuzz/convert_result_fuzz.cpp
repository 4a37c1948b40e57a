#include "fuzz_input.h"

#include "convert_result.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace {

QByteArray encode(const ConvertResult& result) {
    QJsonArray assets;
    for (const ConvertResult::Asset& asset : result.assets)
        assets.append(QJsonObject{{u"name"_s, asset.name}, {u"base64"_s, asset.base64}});
    QJsonObject object{{u"markdown"_s, result.markdown},
                       {u"title"_s, result.title},
                       {u"assets"_s, assets},
                       {u"warnings"_s, QJsonArray::fromStringList(result.warnings)}};
    if (result.error)
        object.insert(u"error"_s, *result.error);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace

// Whatever decodes must survive a round trip unchanged.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray json(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto result = ConvertResult::fromJson(json);
    if (!result)
        return 0;
    const auto again = ConvertResult::fromJson(encode(*result));
    FuzzInput::check(again && *again == *result, "fromJson: a round trip keeps the result");
    return 0;
}
