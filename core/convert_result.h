#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// What every conversion ends as, native or scripted. A present `error`, even an
// empty one, marks a failed conversion.
struct ConvertResult {
    struct Asset {
        QString name;
        QString base64;

        friend bool operator==(const Asset&, const Asset&) = default;
    };

    QString markdown;
    QString title;
    QList<Asset> assets;
    QStringList warnings;
    std::optional<QString> error;

    ConvertResult() = default;
    ConvertResult(QString markdown, QString title, QList<Asset> assets, QStringList warnings,
                  std::optional<QString> error)
        : markdown(std::move(markdown))
        , title(std::move(title))
        , assets(std::move(assets))
        , warnings(std::move(warnings))
        , error(std::move(error)) {}

    static ConvertResult errorMessage(QString message) {
        return ConvertResult({}, {}, {}, {}, std::move(message));
    }

    bool failed() const { return error.has_value(); }

    // Strict decoding of the engine's JSON answer: any rule broken, in any
    // member or any single asset, fails the whole decode. Keys are exact and
    // case-sensitive; unknown keys are ignored; of duplicate keys the last wins.
    static std::optional<ConvertResult> fromJson(const QByteArray& json);

    friend bool operator==(const ConvertResult&, const ConvertResult&) = default;
};
