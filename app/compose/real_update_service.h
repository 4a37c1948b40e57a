#pragma once

#include "update_service.h"

class QNetworkAccessManager;

// The feed check and the self-installer over the process's HTTP session.
class RealUpdateService : public UpdateService {
public:
    explicit RealUpdateService(QNetworkAccessManager& session);

    QCoro::Task<std::optional<UpdateInfo>> check(QUrl manifest, QString currentVersion) override;
    QCoro::Task<InstallOutcome> install(UpdateInfo update) override;

private:
    QNetworkAccessManager& m_session;
};
