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

QUrl feedURL(const QString& host) {
    // The host may carry a port (a staging server); the build checked its form.
    return QUrl(u"https://"_s + host + u"/morvane/latest.json"_s, QUrl::StrictMode);
}

QUrl feedURL() {
    return feedURL(updateHost());
}

QString productPage(const QString& host) {
    const QUrl page = feedURL(host).adjusted(QUrl::RemoveFilename | QUrl::StripTrailingSlash);
    return page.toString(QUrl::RemoveScheme).mid(2); // drop the "//" left of the authority
}

QString productPage() {
    return productPage(updateHost());
}

QByteArray publicKey() {
    return QByteArray(MORVANE_UPDATE_PUBLIC_KEY).trimmed();
}

QString teamId() {
    return QString::fromUtf8(MORVANE_UPDATE_TEAM_ID);
}

} // namespace UpdateSettings
