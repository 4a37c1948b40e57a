#include "morvane_model.h"

#include "update_settings.h"

#include <QSettings>

using namespace Qt::StringLiterals;

namespace {

const QString promptedVersionKey = u"ombrix.morvane.update.promptedVersion"_s;

} // namespace

const QUrl& MorvaneModel::manifest() {
    static const QUrl url = UpdateSettings::feedURL();
    return url;
}

void MorvaneModel::setAvailableUpdate(const std::optional<UpdateInfo>& update) {
    m_availableUpdate = update;
    Q_EMIT availableUpdateChanged();
}

void MorvaneModel::setIsUpdating(bool isUpdating) {
    m_isUpdating = isUpdating;
    Q_EMIT isUpdatingChanged();
}

void MorvaneModel::setIsCheckingForUpdate(bool isChecking) {
    m_isCheckingForUpdate = isChecking;
    Q_EMIT isCheckingForUpdateChanged();
}

void MorvaneModel::start() {
    loadRecents();
    if (m_didCheck)
        return;
    m_didCheck = true;
    if (m_services.updates)
        checkForUpdatesOnLaunch();
}

void MorvaneModel::checkForUpdatesOnLaunch() {
    runCheck(Check::onLaunch);
}

void MorvaneModel::checkForUpdatesManually() {
    if (m_isUpdating || m_isCheckingForUpdate)
        return;
    setIsCheckingForUpdate(true);
    runCheck(Check::manual);
}

QCoro::Task<> MorvaneModel::runCheck(Check check) {
    const Lifetime::Token alive = m_lifetime.token();
    std::optional<UpdateInfo> update;
    if (m_services.updates)
        update = co_await m_services.updates->check(manifest(), m_version);
    if (!alive)
        co_return;
    if (check == Check::manual)
        setIsCheckingForUpdate(false);
    setAvailableUpdate(update);
    if (!update && check == Check::manual) {
        m_services.desktop->activate();
        m_services.desktop->showAlert(
            {u"You're up to date"_s, u"Morvane "_s + m_version + u" is the latest version."_s, {}});
    }
    if (!update)
        co_return;
    // On launch, a version the user has already put off is not offered again.
    const QVariant declined = preferences().value(promptedVersionKey);
    if (check == Check::onLaunch && declined.isValid() && declined.toString() == update->version)
        co_return;
    promptForUpdate();
}

void MorvaneModel::promptForUpdate() {
    if (!m_availableUpdate || m_isUpdating)
        return;
    const UpdateInfo update = *m_availableUpdate;
    m_services.desktop->activate();
    const int answer =
        m_services.desktop->showAlert({u"A new version of Morvane is available"_s,
                                       u"Morvane "_s + update.version + u" is ready — you have "_s +
                                           m_version + u". It will update itself and relaunch."_s,
                                       {u"Install"_s, u"Later"_s}});
    if (answer == 0)
        installUpdate();
    else
        preferences().setValue(promptedVersionKey, update.version);
}

void MorvaneModel::installUpdate() {
    if (!m_availableUpdate || m_isUpdating)
        return;
    setIsUpdating(true);
    runInstall();
}

QCoro::Task<> MorvaneModel::runInstall() {
    const Lifetime::Token alive = m_lifetime.token();
    // The update is captured now; a check finishing meanwhile cannot take it away.
    const UpdateInfo update = *m_availableUpdate;
    UpdateService::InstallOutcome outcome = UpdateService::InstallOutcome::failed;
    if (m_services.updates)
        outcome = co_await m_services.updates->install(update);
    if (!alive)
        co_return;
    if (outcome == UpdateService::InstallOutcome::installed) {
        m_services.desktop->quit();
        co_return;
    }
    setIsUpdating(false);
    if (outcome == UpdateService::InstallOutcome::readOnlyLocation)
        m_services.desktop->showAlert(
            {u"Move Morvane to Applications"_s,
             u"It's running from a read-only location (a disk image or "
             "Downloads). Move it to Applications, reopen, then check again."_s,
             {}});
    else
        m_services.desktop->showAlert(
            {u"Update failed"_s,
             u"Couldn't install the update. Try again later, or download it "
             "from "_s +
                 UpdateSettings::productPage() + u"."_s,
             {}});
}
