#include "updater.h"

#include "json_input.h"

#include <QJsonObject>
#include <QList>

#include <algorithm>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

qint64 versionPiece(QStringView piece) {
    bool negative = false;
    if (piece.startsWith(u'+') || piece.startsWith(u'-')) {
        negative = piece.startsWith(u'-');
        piece = piece.mid(1);
    }
    if (piece.isEmpty())
        return 0;
    // Accumulate towards the sign so that INT64_MIN itself fits.
    qint64 value = 0;
    for (QChar c : piece) {
        if (c < u'0' || c > u'9')
            return 0;
        const int digit = c.unicode() - u'0';
        if (negative) {
            if (value < (std::numeric_limits<qint64>::min() + digit) / 10)
                return 0;
            value = value * 10 - digit;
        } else {
            if (value > (std::numeric_limits<qint64>::max() - digit) / 10)
                return 0;
            value = value * 10 + digit;
        }
    }
    return value;
}

QList<qint64> versionPieces(QStringView version) {
    QList<qint64> pieces;
    for (QStringView piece : version.split(u'.', Qt::SkipEmptyParts))
        pieces.append(versionPiece(piece));
    return pieces;
}

bool isControlOrSpace(QChar c) {
    return c.unicode() <= 0x20 || c.unicode() == 0x7f || c.isSpace();
}

} // namespace

namespace Updater {

bool isNewer(QStringView a, QStringView b) {
    const QList<qint64> left = versionPieces(a);
    const QList<qint64> right = versionPieces(b);
    const qsizetype length = std::max(left.size(), right.size());
    for (qsizetype i = 0; i < length; ++i) {
        const qint64 x = i < left.size() ? left[i] : 0;
        const qint64 y = i < right.size() ? right[i] : 0;
        if (x != y)
            return x > y;
    }
    return false;
}

std::optional<UpdateInfo> fromFeed(const QByteArray& body, const QString& currentVersion) {
    // Unreadable text lacks the fields as an empty object does.
    const QJsonObject feed = JsonInput::object(body).value_or(QJsonObject());

    const QJsonValue version = feed.value("version"_L1);
    const QJsonValue url = feed.value("url"_L1);
    if (!version.isString() || !url.isString())
        return std::nullopt;

    // QUrl lower-cases the scheme, so "exactly https" is checked on the text.
    const QString urlText = url.toString();
    if (!urlText.startsWith("https:"_L1) ||
        std::any_of(urlText.begin(), urlText.end(), isControlOrSpace))
        return std::nullopt;
    const QUrl downloadURL(urlText, QUrl::StrictMode);
    if (!downloadURL.isValid() || downloadURL.scheme() != u"https" || downloadURL.host().isEmpty())
        return std::nullopt;

    if (!isNewer(version.toString(), currentVersion))
        return std::nullopt;

    const QJsonValue notes = feed.value("notes"_L1);
    return UpdateInfo{version.toString(), downloadURL,
                      notes.isString() ? notes.toString() : QString()};
}

} // namespace Updater
