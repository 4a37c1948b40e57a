#include "fake_updates.h"
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
        finishChecks();
        ModelTest::TearDown();
    }

    // A check still sleeping would wake in a service that is gone.
    void finishChecks() {
        if (updates) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return updates->settled(); }, 5000));
        }
    }

    // A fresh model and update service over the same preferences.
    void relaunch() {
        finishChecks();
        auto service = std::make_unique<FakeUpdates>();
        updates = service.get();
        ModelServices services;
        services.updates = std::move(service);
        makeModel(nullptr, std::move(services));
    }

    // Until every check has ended and its caller has gone on; a fixed sleep
    // was too short on a loaded machine.
    void settle() {
        ASSERT_TRUE(QTest::qWaitFor([&] { return updates->settled(); }, 5000));
        QCoreApplication::processEvents();
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
    ASSERT_EQ(desktop.alerts.size(), 1);
    EXPECT_EQ(desktop.alerts[0].title, u"You're up to date");
    EXPECT_EQ(desktop.alerts[0].text, u"Morvane 0.1.0 is the latest version.");
    EXPECT_TRUE(desktop.alerts[0].buttons.isEmpty());
    EXPECT_EQ(desktop.activations, 1);
}

TEST_F(UpdateFlowTest, declined_version_is_not_prompted_at_launch_but_is_from_the_menu) {
    updates->offered = two;
    desktop.alertAnswers = {1}; // Later
    model->start();
    settle();
    ASSERT_EQ(desktop.alerts.size(), 1);
    EXPECT_EQ(desktop.alerts[0].title, u"A new version of Morvane is available");
    EXPECT_EQ(desktop.alerts[0].text,
              u"Morvane 2.0 is ready — you have 0.1.0. It will update itself and relaunch.");
    EXPECT_EQ(desktop.alerts[0].buttons, (QStringList{u"Install"_s, u"Later"_s}));
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
    ASSERT_EQ(desktop.alerts.size(), 2);
    EXPECT_EQ(desktop.alerts[1].title, u"Move Morvane to Applications");
    EXPECT_EQ(desktop.alerts[1].text,
              u"It's running from a read-only location (a disk image or Downloads). Move it to "
              "Applications, reopen, then check again.");
    EXPECT_FALSE(model->isUpdating());
    EXPECT_EQ(model->availableUpdate(), two);

    updates->outcome = UpdateService::InstallOutcome::failed;
    model->installUpdate();
    settle();
    ASSERT_EQ(desktop.alerts.size(), 3);
    EXPECT_EQ(desktop.alerts[2].title, u"Update failed");
    EXPECT_EQ(desktop.alerts[2].text, u"Couldn't install the update. Try again later, or download "
                                      "it from updates.example.com/morvane.");
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
