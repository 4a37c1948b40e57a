#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <QUrl>

#include <optional>

// An offered newer version, only ever made from a feed that passed every rule.
struct UpdateInfo {
    QString version;
    QUrl downloadURL; // always https
    QString notes;

    friend bool operator==(const UpdateInfo&, const UpdateInfo&) = default;
};

namespace Updater {

// Dot-separated signed 64-bit pieces compared in order, missing pieces as 0.
// A piece that is not an optional sign and digits, or does not fit, counts 0.
bool isNewer(QStringView a, QStringView b);

// The feed rules applied to a fetched body: a JSON object with string
// "version" and "url", the url an absolute address whose scheme is written
// exactly "https", and a version newer than `currentVersion`. Anything else
// gives no update. "notes" is optional and read only when it is a string.
std::optional<UpdateInfo> fromFeed(const QByteArray& body, const QString& currentVersion);

} // namespace Updater
