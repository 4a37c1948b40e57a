#include "fake_updates.h"
#include "golden.h"
#include "model_fixture.h"
#include "qt_printers.h"

#include <QCoro/QCoroSignal>

namespace {

const UpdateInfo two{u"2.0"_s, QUrl(u"https://updates.example.com/m-2.0.zip"_s), u"notes"_s};

class UpdateFlowTest : public ModelTest {
protected:
    void SetUp() override {
        ModelTest::SetUp();
        relaunch();
    }

    void TearDown() override {
        settle();
        ModelTest::TearDown();
    }

    // A fresh model and update service over the same preferences.
    void relaunch() {
        if (updates)
            settle();
        auto service = std::make_unique<FakeUpdates>();
        updates = service.get();
        ModelServices services;
        services.updates = std::move(service);
        makeModel(nullptr, std::move(services));
    }

    // Until every check has ended and its caller has gone on; a fixed sleep
    // was too short on a loaded machine, and a check still sleeping would
    // wake in a service that is gone.
    void settle() {
        ASSERT_TRUE(QTest::qWaitFor([&] { return updates->settled(); }, 5000));
        QCoreApplication::processEvents();
    }

    // The alerts shown so far against golden/NAME.txt.
    void expectAlerts(const QString& name) const {
        QString shown;
        for (const Alert& alert : desktop.alerts)
            shown += alert.title + u'\n' + alert.text + u"\n["_s + alert.buttons.join(u", "_s) +
                     u"]\n\n"_s;
        expectGolden(QStringLiteral(MORVANE_MODEL_GOLDEN "/") + name + u".txt"_s, shown);
    }

    FakeUpdates* updates = nullptr;
};

TEST_F(UpdateFlowTest, the_feed_is_on_the_update_host) {
    EXPECT_EQ(MorvaneModel::manifest(), QUrl(u"https://updates.example.com/morvane/latest.json"_s));
}

// The same version is no update: silent at launch, up to date from the menu.
TEST_F(UpdateFlowTest, no_newer_version_is_silent_at_launch_and_up_to_date_from_the_menu) {
    updates->offered = UpdateInfo{u"0.1.0"_s, two.downloadURL, {}};
    model->start();
    model->start();
    settle();
    EXPECT_EQ(updates->checks, 1);
    EXPECT_TRUE(model->didCheck());
    EXPECT_FALSE(model->availableUpdate());
    EXPECT_TRUE(desktop.alerts.isEmpty());

    updates->holdChecks = true;
    model->checkForUpdatesManually();
    model->checkForUpdatesManually(); // a second quick one starts nothing
    EXPECT_TRUE(model->isCheckingForUpdate());
    updates->releaseChecks();
    settle();
    EXPECT_EQ(updates->checks, 2);
    EXPECT_FALSE(model->isCheckingForUpdate());
    expectAlerts(u"up_to_date"_s);
    EXPECT_EQ(desktop.activations, 1);
}

TEST_F(UpdateFlowTest, declined_version_is_not_prompted_at_launch_but_is_from_the_menu) {
    updates->offered = two;
    desktop.alertAnswers = {1}; // Later
    model->start();
    settle();
    expectAlerts(u"update_prompt"_s);
    EXPECT_EQ(QSettings(u"Ombrix"_s, u"Morvane"_s)
                  .value(u"ombrix.morvane.update.promptedVersion"_s)
                  .toString(),
              u"2.0");

    relaunch();
    updates->offered = two;
    model->start();
    settle();
    EXPECT_EQ(desktop.alerts.size(), 1); // nothing new at launch
    EXPECT_EQ(model->availableUpdate(), two);
    desktop.alertAnswers = {1};
    model->promptForUpdate();
    EXPECT_EQ(desktop.alerts.size(), 2);

    // The feed moves on: the next launch prompts again.
    relaunch();
    updates->offered = UpdateInfo{u"2.1"_s, two.downloadURL, {}};
    desktop.alertAnswers = {1};
    model->start();
    settle();
    EXPECT_EQ(desktop.alerts.size(), 3);
}

TEST_F(UpdateFlowTest, install_success_quits_without_more_alerts) {
    updates->offered = two;
    desktop.alertAnswers = {0}; // Install
    model->checkForUpdatesManually();
    settle();
    EXPECT_EQ(updates->installs, QList<UpdateInfo>{two});
    EXPECT_EQ(desktop.quits, 1);
    ASSERT_EQ(desktop.alerts.size(), 1); // the prompt

    EXPECT_TRUE(model->isUpdating());
    EXPECT_FALSE(
        QSettings(u"Ombrix"_s, u"Morvane"_s).contains(u"ombrix.morvane.update.promptedVersion"_s));
}

TEST_F(UpdateFlowTest, read_only_and_other_failures_have_their_alerts_and_reenable) {
    updates->offered = two;
    updates->outcome = UpdateService::InstallOutcome::readOnlyLocation;
    desktop.alertAnswers = {0};
    model->checkForUpdatesManually();
    settle();
    EXPECT_FALSE(model->isUpdating());
    EXPECT_EQ(model->availableUpdate(), two);

    updates->outcome = UpdateService::InstallOutcome::failed;
    model->installUpdate();
    settle();
    expectAlerts(u"install_failures"_s); // the prompt, then one alert for each failure
    EXPECT_FALSE(model->isUpdating());
    EXPECT_EQ(desktop.quits, 0);
}

TEST_F(UpdateFlowTest, no_prompt_and_no_second_install_while_installing) {
    updates->offered = two;
    updates->holdInstalls = true;
    model->checkForUpdatesManually();
    settle();
    model->installUpdate(); // prompt answered Install already; this one is refused
    ASSERT_TRUE(model->isUpdating());
    model->checkForUpdatesManually(); // refused while installing
    model->promptForUpdate();
    settle();
    EXPECT_EQ(desktop.alerts.size(), 1);
    EXPECT_EQ(updates->installs.size(), 1);
    EXPECT_EQ(updates->checks, 1);

    // A launch check finishing during the install does not prompt either.
    model->checkForUpdatesOnLaunch();
    settle();
    EXPECT_EQ(desktop.alerts.size(), 1);
    updates->releaseInstalls();
    settle();
}

TEST_F(UpdateFlowTest, a_check_that_finds_nothing_clears_the_offer) {
    updates->offered = two;
    desktop.alertAnswers = {1};
    model->checkForUpdatesManually();
    settle();
    EXPECT_EQ(model->availableUpdate(), two);
    updates->offered.reset();
    model->checkForUpdatesManually();
    settle();
    EXPECT_FALSE(model->availableUpdate());
    model->promptForUpdate(); // nothing to offer: no alert
    EXPECT_EQ(desktop.alerts.size(), 2);
}

} // namespace
