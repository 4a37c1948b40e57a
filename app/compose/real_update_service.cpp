#include "real_update_service.h"

#include "self_updater.h"
#include "update_check.h"

RealUpdateService::RealUpdateService(QNetworkAccessManager& session)
    : m_session(session) {}

QCoro::Task<std::optional<UpdateInfo>> RealUpdateService::check(QUrl manifest,
                                                                QString currentVersion) {
    co_return co_await Updater::check(std::move(manifest), std::move(currentVersion), &m_session);
}

QCoro::Task<UpdateService::InstallOutcome> RealUpdateService::install(UpdateInfo update) {
    const std::optional<SelfUpdater::Failure> failure =
        co_await SelfUpdater::install(std::move(update), &m_session);
    if (!failure)
        co_return InstallOutcome::installed;
    if (*failure == SelfUpdater::Failure(SelfUpdater::UpdateError::readOnlyLocation))
        co_return InstallOutcome::readOnlyLocation;
    co_return InstallOutcome::failed;
}
