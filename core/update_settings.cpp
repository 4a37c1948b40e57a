#include "update_settings.h"

#include "update_settings_values.h"

using namespace Qt::StringLiterals;

namespace UpdateSettings {

QString updateHost() {
    return QString::fromUtf8(MORVANE_UPDATE_HOST);
}

QString feedbackHost() {
    return QString::fromUtf8(MORVANE_FEEDBACK_HOST);
}

QUrl feedURL() {
    QUrl url;
    url.setScheme(u"https"_s);
    url.setHost(updateHost());
    url.setPath(u"/morvane/latest.json"_s);
    return url;
}

QString productPage() {
    const QUrl page = feedURL().adjusted(QUrl::RemoveFilename | QUrl::StripTrailingSlash);
    return page.toString(QUrl::RemoveScheme).mid(2); // drop the "//" left of the authority
}

QByteArray publicKey() {
    return QByteArray(MORVANE_UPDATE_PUBLIC_KEY).trimmed();
}

QString teamId() {
    return QString::fromUtf8(MORVANE_UPDATE_TEAM_ID);
}

} // namespace UpdateSettings
