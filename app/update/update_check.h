#pragma once

#include "updater.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <QUrl>

#include <chrono>
#include <optional>

class QNetworkAccessManager;

namespace Updater {

// Fetches the feed at `manifest` with `session` (a GET that bypasses the local
// cache) and applies the feed rules against `currentVersion`. The body of any
// HTTP answer counts, whatever its status; a transfer that fails, or that sends
// nothing for `timeout`, yields no update. Never fails otherwise.
QCoro::Task<std::optional<UpdateInfo>>
check(QUrl manifest, QString currentVersion, QNetworkAccessManager* session,
      std::chrono::milliseconds timeout = std::chrono::seconds(10));

} // namespace Updater
