#pragma once

#include "updater.h"

#include <QCoro/QCoroTask>
#include <QUrl>

#include <optional>

// What the update flows need from the network and the installer. The
// application uses the feed check and the self-installer; tests use fakes.
class UpdateService {
public:
    enum class InstallOutcome { installed, readOnlyLocation, failed };

    virtual ~UpdateService() = default;

    // Never fails: any fault gives no update.
    virtual QCoro::Task<std::optional<UpdateInfo>> check(QUrl manifest, QString currentVersion) = 0;
    // `installed` once the swap is under way and the application should quit.
    virtual QCoro::Task<InstallOutcome> install(UpdateInfo update) = 0;
};
