#pragma once

#include "fake_converters.h"
#include "update_service.h"

#include <QList>

#include <utility>

#include <memory>
#include <optional>

// Update checks and installs that wait until the test lets them finish, so
// the model can be held in each of its update states.
class FakeUpdates : public UpdateService {
public:
    std::optional<UpdateInfo> found;
    InstallOutcome outcome = InstallOutcome::failed;
    bool holdChecks = false;
    bool holdInstalls = false;
    int checks = 0;
    int checksAnswered = 0;
    int installs = 0;
    int installsAnswered = 0;

    // Nothing suspended inside the fake any more.
    bool settled() const { return checks == checksAnswered && installs == installsAnswered; }

    void releaseChecks() { release(m_checkGates); }
    void releaseInstalls() { release(m_installGates); }

    QCoro::Task<std::optional<UpdateInfo>> check(QUrl, QString) override {
        ++checks;
        co_await waitIf(holdChecks, m_checkGates);
        ++checksAnswered;
        co_return found;
    }

    QCoro::Task<InstallOutcome> install(UpdateInfo) override {
        ++installs;
        co_await waitIf(holdInstalls, m_installGates);
        ++installsAnswered;
        co_return outcome;
    }

private:
    using Gates = QList<std::shared_ptr<Gate>>;

    static void release(Gates& gates) {
        const Gates open = std::exchange(gates, {});
        for (const std::shared_ptr<Gate>& gate : open)
            gate->open();
    }

    // The flag is read after the first pause, so a release that came meanwhile holds.
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
