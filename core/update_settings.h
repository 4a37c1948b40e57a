#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

// The update and feedback addresses and the release signing trust, fixed at
// build time (CMake cache settings MORVANE_UPDATE_HOST, MORVANE_FEEDBACK_HOST,
// MORVANE_UPDATE_PUBLIC_KEY, MORVANE_UPDATE_TEAM_ID).
namespace UpdateSettings {

// The update host as configured, with its port when it has one: "host[:port]".
QString updateHost();
QString feedbackHost();

// https://<update host[:port]>/morvane/latest.json
QUrl feedURL();
QUrl feedURL(const QString& host);

// The feed address without its last path component and without the scheme,
// as the install-failure text shows it: "<update host[:port]>/morvane".
QString productPage();
QString productPage(const QString& host);

// The base64 line of the minisign public key that signs releases; empty when
// none was configured, in which case no release verifies.
QByteArray publicKey();

// The team a release signature's trusted comment must name.
QString teamId();

} // namespace UpdateSettings
