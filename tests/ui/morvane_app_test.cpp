#include "case_table.h"
#include "content_view.h"
#include "morvane_app.h"
#include "recent_row.h"
#include "settings_view.h"
#include "ui_fixture.h"

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>

namespace {

class MorvaneAppTest : public UiTest {
protected:
    void makeApp() { app = std::make_unique<MorvaneApp>(*model, desktop); }

    void TearDown() override {
        app.reset();
        UiTest::TearDown();
    }

    QStringList menuTexts() const {
        QStringList texts;
        for (QAction* action : app->applicationMenu()->actions()) {
            if (action->isSeparator())
                texts.append(u"—"_s);
            else if (action->isVisible())
                texts.append(action->text());
        }
        return texts;
    }

    void waitForAnsweredChecks(int count) {
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return updates->checksAnswered >= count && !model->isCheckingForUpdate(); },
            2000));
    }

    std::unique_ptr<MorvaneApp> app;
};

TEST_F(MorvaneAppTest, stored_recents_load_at_start_and_the_window_keeps_its_content_minimum) {
    const QString name = u"Recent document number %1 with a name far too long to fit.md"_s;
    for (int i = 0; i < 5; ++i) {
        writeFile(out(name.arg(i)), "# Long\n");
        model->addRecent(QUrl::fromLocalFile(out(name.arg(i))));
    }
    makeModel(nullptr, {});
    updates = nullptr; // went with the first model
    ASSERT_TRUE(model->recents().isEmpty());
    makeApp();
    ContentView* content = app->contentView();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return content->findChildren<RecentRow*>().size() == 5; }, 2000));
    EXPECT_EQ(model->recents().first().path, out(name.arg(4)));
    QMainWindow* window = app->mainWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    window->resize(200, 150);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->size() != QSize(580, 620); }, 2000));
    EXPECT_GE(content->width(), 440);
    EXPECT_GE(content->height(), 420);
    EXPECT_GE(window->minimumSizeHint().width(), 440);

    // Nothing is squashed: each element keeps its height, in order, apart.
    QList<QWidget*> column{content->findChild<QWidget*>(u"dropZone"_s),
                           content->findChild<QWidget*>(u"urlField"_s)};
    QList<RecentRow*> rows = content->findChildren<RecentRow*>();
    std::sort(rows.begin(), rows.end(), [](QWidget* a, QWidget* b) { return a->y() < b->y(); });
    for (RecentRow* row : rows) {
        EXPECT_EQ(row->height(), row->sizeHint().height());
        for (QWidget* button : row->buttons()) {
            EXPECT_TRUE(button->isVisible());
            EXPECT_GE(button->width(), button->sizeHint().width());
            EXPECT_LE(button->geometry().right(), row->width());
        }
        column.append(row);
    }
    int bottom = 0;
    for (QWidget* element : column) {
        const QRect area(element->mapTo(content, QPoint()), element->size());
        EXPECT_GE(area.top(), bottom) << element->objectName().toStdString();
        bottom = area.bottom() + 1;
    }
    EXPECT_LE(bottom, content->height() - 20);

    window->resize(900, 800);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->size() == QSize(900, 800); }, 2000));
}

TEST_F(MorvaneAppTest, the_window_and_its_menu_of_about_check_settings_and_quit) {
    makeApp();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(app->mainWindow()));
    EXPECT_EQ(app->mainWindow()->windowTitle(), u"Morvane"_s);
    EXPECT_EQ(app->mainWindow()->size(), QSize(580, 620));
    EXPECT_EQ(app->applicationMenu()->title(), u"&Morvane"_s);
    EXPECT_EQ(menuTexts(), (QStringList{u"About Morvane"_s, u"Check for Updates…"_s, u"—"_s,
                                        u"Settings…"_s, u"—"_s, u"Quit"_s}));
    EXPECT_EQ(app->mainWindow()->menuBar()->actions().first(),
              app->applicationMenu()->menuAction());

    QAction* settings = app->applicationMenu()->actions().at(4);
    EXPECT_EQ(settings->shortcut(), QKeySequence(u"Ctrl+,"_s));
    settings->trigger();
    QWidget* window = app->settingsWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    settings->trigger();
    EXPECT_EQ(app->settingsWindow(), window); // one settings window
    EXPECT_EQ(window->width(), 460);

    QAction* quit = app->applicationMenu()->actions().last();
    EXPECT_EQ(quit->shortcut(), QKeySequence(QKeySequence::Quit));
    quit->trigger();
    EXPECT_EQ(desktop.quits, 1);
}

TEST_F(MorvaneAppTest, a_build_the_package_manager_updates_offers_no_update_commands) {
    updates = nullptr;
    makeModel(); // without an update service
    makeApp();
    EXPECT_EQ(menuTexts(),
              (QStringList{u"About Morvane"_s, u"—"_s, u"Settings…"_s, u"—"_s, u"Quit"_s}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return model->didCheck(); }, 2000));
}

TEST_F(MorvaneAppTest, model_starts_once_the_event_loop_runs_and_checks_once) {
    makeApp();
    EXPECT_FALSE(model->didCheck());
    waitForAnsweredChecks(1);
    EXPECT_TRUE(model->didCheck());
    model->start();
    QCoreApplication::processEvents();
    EXPECT_EQ(updates->checks, 1);
}

TEST_F(MorvaneAppTest, files_opened_by_the_desktop_are_one_batch_in_the_given_order) {
    makeApp();
    const QList<QUrl> files{inputUrl(u"b.pdf"_s), inputUrl(u"a.docx"_s), inputUrl(u"c.txt"_s)};
    QList<QList<QUrl>> batches;
    QObject::connect(
        model.get(), &MorvaneModel::batchEnded,
        [&](const QList<QUrl>& inputs, const QList<QUrl>&) { batches.append(inputs); });
    app->open({}); // starts nothing
    EXPECT_TRUE(statuses.isEmpty());
    app->open(files);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !batches.isEmpty() && model->inFlight().isEmpty(); }, 5000));
    ASSERT_EQ(batches.size(), 1);
    EXPECT_EQ(batches.first(), files);
}

TEST_F(MorvaneAppTest, settings_closes_and_the_menu_and_settings_open_from_the_keyboard) {
    makeApp();
    for (const QKeySequence& key : {QKeySequence(Qt::Key_Escape), QKeySequence(u"Ctrl+W"_s)}) {
        app->showSettings();
        QWidget* settings = app->settingsWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(settings));
        QTest::keySequence(settings, key);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !settings->isVisible(); }, 2000))
            << key.toString().toStdString();
    }
    QMainWindow* window = app->mainWindow();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    for (const QKeyCombination key : {Qt::ALT | Qt::Key_M, QKeyCombination(Qt::Key_F10)}) {
        QTest::keyClick(window, key.key(), key.keyboardModifiers());
        ASSERT_TRUE(QTest::qWaitFor([&] { return app->applicationMenu()->isVisible(); }, 2000));
        app->applicationMenu()->close();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !app->applicationMenu()->isVisible(); }, 2000));
    }
    QTest::keyClick(app->contentView()->focusWidget() ? app->contentView()->focusWidget() : window,
                    Qt::Key_Comma, Qt::ControlModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return app->settingsWindow()->isVisible(); }, 2000));
    // The settings window has no menu bar; it carries the same shortcuts.
    const QList<QAction*> carried = app->settingsWindow()->actions();
    const QList<QAction*> menu = app->applicationMenu()->actions();
    EXPECT_TRUE(carried.contains(menu.at(4)));
    EXPECT_TRUE(carried.contains(menu.last()));
}

TEST_F(MorvaneAppTest, about_shows_icon_name_version_licence_and_links) {
    makeApp();
    app->applicationMenu()->actions().first()->trigger();
    QWidget* about = app->aboutWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(about));
    EXPECT_TRUE(desktop.alerts.isEmpty());
    EXPECT_EQ(about->windowTitle(), u"About Morvane"_s);
    EXPECT_NE(about->findChild<QWidget*>(u"aboutIcon"_s), nullptr);
    expectTexts(*about, u"about"_s);
    QTest::mouseClick(child<QPushButton>(*about, u"websiteLink"_s), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(*about, u"feedbackLink"_s), Qt::LeftButton);
    EXPECT_EQ(desktop.opened,
              (QList<QUrl>{SettingsView::productPage(), SettingsView::feedbackPage()}));
}

TEST_F(MorvaneAppTest, settings_and_about_open_centred_and_tied_to_the_main_window) {
    makeApp();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(app->mainWindow()));
    app->showSettings();
    app->showAbout();
    for (QWidget* window : {app->settingsWindow(), app->aboutWindow()}) {
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        EXPECT_EQ(window->windowType(), Qt::Dialog);
        EXPECT_FALSE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
        EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
        EXPECT_EQ(window->minimumSize(), window->maximumSize());
        EXPECT_EQ(window->windowHandle()->transientParent(), app->mainWindow()->windowHandle());
        const QRect frame = window->frameGeometry();
        const QPoint offset = frame.center() - app->mainWindow()->frameGeometry().center();
        // Unless centring would put it off a small screen.
        const QRect screen = window->screen()->availableGeometry();
        const bool keptOnScreen = frame.left() == screen.left() || frame.top() == screen.top() ||
                                  frame.right() == screen.right() ||
                                  frame.bottom() == screen.bottom();
        EXPECT_TRUE(offset.manhattanLength() <= 2 || keptOnScreen)
            << window->objectName().toStdString();
    }
}

TEST_F(MorvaneAppTest, closing_the_main_window_leaves_an_open_settings_window_running) {
    makeApp();
    app->showSettings();
    QWidget* settings = app->settingsWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(settings));
    EXPECT_TRUE(QGuiApplication::quitOnLastWindowClosed());
    QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);
    app->mainWindow()->close();
    EXPECT_TRUE(settings->isVisible());
    // A window with a transient parent would not count as open.
    EXPECT_EQ(settings->windowHandle()->transientParent(), nullptr);
    EXPECT_EQ(lastClosed.count(), 0);
    EXPECT_TRUE(settings->testAttribute(Qt::WA_QuitOnClose));
}

// The update commands in each state the model can be in.
struct MenuRow {
    const char* name;
    bool available, updating, checking, updateShown;
    QString updateTitle;
    bool updateEnabled;
    QString checkTitle;
    bool checkEnabled;
};

class MenuStates : public MorvaneAppTest, public testing::WithParamInterface<MenuRow> {
protected:
    // Drives the model through its own operations into the wanted state.
    // The update item opens the prompt again; "Later" leaves the offer as it was.
    void reach(const MenuRow& row) {
        waitForAnsweredChecks(1); // the launch check, which finds nothing
        updates->offered = UpdateInfo{u"2.3"_s, QUrl(u"https://example.com/m.zip"_s), {}};
        if (row.available) {
            desktop.alertAnswers = {1, 1}; // "Later" to both
            model->checkForUpdatesManually();
            ASSERT_TRUE(QTest::qWaitFor([&] { return app->updateAction()->isVisible(); }, 2000));
            ASSERT_FALSE(model->isCheckingForUpdate());
            app->updateAction()->trigger();
            ASSERT_EQ(desktop.alerts.size(), 2);
            ASSERT_TRUE(updates->installs.isEmpty());
        }
        updates->holdChecks = true;
        updates->holdInstalls = true;
        if (row.checking) {
            model->checkForUpdatesManually();
            ASSERT_TRUE(model->isCheckingForUpdate());
        }
        if (row.updating) {
            desktop.alertAnswers = {0}; // "Install"
            app->updateAction()->trigger();
            ASSERT_TRUE(model->isUpdating());
        }
        ASSERT_EQ(model->availableUpdate().has_value(), row.available);
        ASSERT_EQ(model->isUpdating(), row.updating);
        ASSERT_EQ(model->isCheckingForUpdate(), row.checking);
    }
};

TEST_P(MenuStates, update_commands_follow_the_model) {
    const MenuRow& row = GetParam();
    makeApp();
    reach(row);
    EXPECT_EQ(app->updateAction()->isVisible(), row.updateShown);
    if (row.updateShown) {
        EXPECT_EQ(app->updateAction()->text(), row.updateTitle);
        EXPECT_EQ(app->updateAction()->isEnabled(), row.updateEnabled);
    }
    EXPECT_EQ(app->checkAction()->text(), row.checkTitle);
    EXPECT_EQ(app->checkAction()->isEnabled(), row.checkEnabled);
    // The update item sits between "About" and the check item.
    const QList<QAction*> actions = app->applicationMenu()->actions();
    EXPECT_EQ(actions.indexOf(app->updateAction()), 1);
    EXPECT_EQ(actions.indexOf(app->checkAction()), 2);
}

const QString check = u"Check for Updates…"_s, checking = u"Checking for Updates…"_s;
const QString update = u"Update to 2.3…"_s, installing = u"Installing update…"_s;

INSTANTIATE_TEST_SUITE_P(
    MorvaneApp, MenuStates,
    testing::ValuesIn(std::vector<MenuRow>{
        {"idle", false, false, false, false, {}, false, check, true},
        {"checking", false, false, true, false, {}, false, checking, false},
        {"update_found", true, false, false, true, update, true, check, true},
        {"update_found_checking_again", true, false, true, true, update, true, checking, false},
        {"installing", true, true, false, true, installing, false, check, false},
        {"installing_while_checking", true, true, true, true, installing, false, checking, false}}),
    caseName);

} // namespace
