#pragma once

#include "fake_converters.h"
#include "update_service.h"
#include "updater.h"

#include <QList>

#include <memory>
#include <optional>
#include <utility>

// Update checks and installs that, when told to, wait until the test releases
// them, so the model can be held in each of its update states.
class FakeUpdates : public UpdateService {
public:
    std::optional<UpdateInfo> offered; // found when newer than the running version
    InstallOutcome outcome = InstallOutcome::installed;
    bool holdChecks = false;
    bool holdInstalls = false;
    int checks = 0;
    int checksAnswered = 0;
    QList<UpdateInfo> installs;
    int installsAnswered = 0;

    // Every call not answered yet is held at a gate: none is on its way.
    bool settled() const {
        return checks - checksAnswered == m_checkGates.size() &&
               installs.size() - installsAnswered == m_installGates.size();
    }

    void releaseChecks() { release(holdChecks, m_checkGates); }
    void releaseInstalls() { release(holdInstalls, m_installGates); }

    QCoro::Task<std::optional<UpdateInfo>> check(QUrl, QString currentVersion) override {
        ++checks;
        co_await waitIf(holdChecks, m_checkGates);
        ++checksAnswered;
        if (offered && Updater::isNewer(offered->version, currentVersion))
            co_return offered;
        co_return std::nullopt;
    }

    QCoro::Task<InstallOutcome> install(UpdateInfo update) override {
        installs.append(update);
        co_await waitIf(holdInstalls, m_installGates);
        ++installsAnswered;
        co_return outcome;
    }

private:
    using Gates = QList<std::shared_ptr<Gate>>;

    static void release(bool& hold, Gates& gates) {
        hold = false;
        const Gates open = std::exchange(gates, {});
        for (const std::shared_ptr<Gate>& gate : open)
            gate->open();
    }

    // A real call always waits; the flag is read after that pause, so a
    // release that came meanwhile holds.
    static QCoro::Task<> waitIf(const bool& hold, Gates& gates) {
        co_await QCoro::sleepFor(std::chrono::milliseconds(1));
        if (!hold)
            co_return;
        auto gate = std::make_shared<Gate>();
        gates.append(gate);
        co_await qCoro(gate.get(), &Gate::opened);
    }

    Gates m_checkGates;
    Gates m_installGates;
};
