#include "content_view.h"
#include "morvane_app.h"
#include "recent_row.h"
#include "ui_fixture.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

namespace {

class MorvaneAppTest : public UiTest {
protected:
    void makeApp() { app = std::make_unique<MorvaneApp>(*model); }

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
        ASSERT_TRUE(QTest::qWaitFor([&] { return updates->checksAnswered >= count; }, 2000));
        QTest::qWait(5);
    }

    std::unique_ptr<MorvaneApp> app;
};

TEST_F(MorvaneAppTest, main_window_opens_at_its_default_size_titled_morvane) {
    makeApp();
    QMainWindow* window = app->mainWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    EXPECT_EQ(window->objectName(), u"main"_s);
    EXPECT_EQ(window->windowTitle(), u"Morvane"_s);
    EXPECT_EQ(window->size(), QSize(580, 620));
}

TEST_F(MorvaneAppTest, main_window_never_gets_smaller_than_its_content_minimum) {
    for (int i = 0; i < 5; ++i) {
        const QString name = u"Recent document number %1 with a name far too long to fit.md"_s;
        const QString document = out(name.arg(i));
        writeFile(document, "# Long\n");
        model->addRecent(QUrl::fromLocalFile(document));
    }
    makeApp();
    QMainWindow* window = app->mainWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    window->resize(200, 150);
    QTest::qWait(20);
    ContentView* content = app->contentView();
    EXPECT_GE(content->width(), 440);
    EXPECT_GE(content->height(), 420);
    EXPECT_GE(window->minimumSizeHint().width(), 440);

    // Nothing is squashed: each element keeps its height, in order, apart.
    QList<QWidget*> column{content->findChild<QWidget*>(u"dropZone"_s),
                           content->findChild<QWidget*>(u"urlField"_s)};
    QList<RecentRow*> rows = content->findChildren<RecentRow*>();
    ASSERT_EQ(rows.size(), 5);
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
    QTest::qWait(20);
    EXPECT_EQ(window->size(), QSize(900, 800));
}

TEST_F(MorvaneAppTest, application_menu_lists_about_check_settings_and_quit_in_order) {
    makeApp();
    EXPECT_EQ(app->applicationMenu()->title(), u"Morvane"_s);
    EXPECT_EQ(menuTexts(), (QStringList{u"About Morvane"_s, u"Check for Updates…"_s, u"—"_s,
                                        u"Settings…"_s, u"—"_s, u"Quit"_s}));
    EXPECT_TRUE(app->checkAction()->isEnabled());
    EXPECT_EQ(app->mainWindow()->menuBar()->actions().first(),
              app->applicationMenu()->menuAction());
}

TEST_F(MorvaneAppTest, model_starts_once_the_event_loop_runs_and_checks_once) {
    makeApp();
    EXPECT_FALSE(model->didCheck());
    waitForAnsweredChecks(1);
    EXPECT_TRUE(model->didCheck());
    model->start();
    QTest::qWait(30);
    EXPECT_EQ(updates->checks, 1);
}

TEST_F(MorvaneAppTest, start_loads_the_stored_recents) {
    const QString document = out(u"Stored.md"_s);
    writeFile(document, "# Stored\n");
    model->addRecent(QUrl::fromLocalFile(document));
    makeModel(nullptr, {});
    updates = nullptr; // went with the first model
    ASSERT_TRUE(model->recents().isEmpty());
    makeApp();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !model->recents().isEmpty(); }, 2000));
    EXPECT_EQ(model->recents().first().path, document);
}

TEST_F(MorvaneAppTest, files_opened_by_the_desktop_are_one_batch_in_the_given_order) {
    makeApp();
    const QList<QUrl> files{inputUrl(u"b.pdf"_s), inputUrl(u"a.docx"_s), inputUrl(u"c.txt"_s)};
    QList<QList<QUrl>> batches;
    QObject::connect(
        model.get(), &MorvaneModel::batchEnded,
        [&](const QList<QUrl>& inputs, const QList<QUrl>&) { batches.append(inputs); });
    app->open(files);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !batches.isEmpty(); }, 5000));
    QTest::qWait(20);
    ASSERT_EQ(batches.size(), 1);
    EXPECT_EQ(batches.first(), files);
}

TEST_F(MorvaneAppTest, an_empty_open_request_starts_nothing) {
    makeApp();
    app->open({});
    QTest::qWait(20);
    EXPECT_FALSE(model->isConverting());
    EXPECT_TRUE(statuses.isEmpty());
}

TEST_F(MorvaneAppTest, about_names_the_application_and_its_version) {
    makeApp();
    app->applicationMenu()->actions().first()->trigger();
    ASSERT_EQ(desktop.alerts.size(), 1);
    EXPECT_EQ(desktop.alerts.first().title, u"Morvane"_s);
    EXPECT_EQ(desktop.alerts.first().text, u"Version "_s + model->version());
}

TEST_F(MorvaneAppTest, settings_item_opens_one_settings_window) {
    makeApp();
    QAction* settings = app->applicationMenu()->actions().at(4);
    ASSERT_EQ(settings->text(), u"Settings…"_s);
    EXPECT_EQ(settings->shortcut(), QKeySequence(u"Ctrl+,"_s));
    settings->trigger();
    QWidget* window = app->settingsWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    settings->trigger();
    EXPECT_EQ(app->settingsWindow(), window);
    EXPECT_EQ(window->width(), 460);
}

TEST_F(MorvaneAppTest, quit_item_quits_through_the_desktop) {
    makeApp();
    QAction* quit = app->applicationMenu()->actions().last();
    EXPECT_EQ(quit->shortcut(), QKeySequence(QKeySequence::Quit));
    quit->trigger();
    EXPECT_EQ(desktop.quits, 1);
}

TEST_F(MorvaneAppTest, shortcuts_reach_settings_and_quit_from_the_main_window) {
    makeApp();
    QMainWindow* window = app->mainWindow();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QTest::keyClick(app->contentView()->focusWidget() ? app->contentView()->focusWidget() : window,
                    Qt::Key_Comma, Qt::ControlModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return app->settingsWindow()->isVisible(); }, 2000));
    // The settings window has no menu bar; it carries the same shortcuts.
    const QList<QAction*> carried = app->settingsWindow()->actions();
    EXPECT_EQ(carried.size(), 2);
    for (QAction* action : carried)
        EXPECT_TRUE(action->text() == u"Settings…"_s || action->text() == u"Quit"_s);
}

TEST_F(MorvaneAppTest, both_windows_are_primary_so_the_last_one_closed_quits) {
    makeApp();
    app->showSettings();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(app->settingsWindow()));
    EXPECT_TRUE(QGuiApplication::quitOnLastWindowClosed());
    for (QWidget* window : {static_cast<QWidget*>(app->mainWindow()), app->settingsWindow()}) {
        EXPECT_TRUE(window->isWindow());
        EXPECT_TRUE(window->testAttribute(Qt::WA_QuitOnClose));
        ASSERT_NE(window->windowHandle(), nullptr);
        // A window with a transient parent would not count as open.
        EXPECT_EQ(window->windowHandle()->transientParent(), nullptr);
    }
}

// The update commands in each state the model can be in.
struct MenuRow {
    const char* name;
    bool available;
    bool updating;
    bool checking;
    bool updateShown;
    QString updateTitle;
    bool updateEnabled;
    QString checkTitle;
    bool checkEnabled;
};

void PrintTo(const MenuRow& row, std::ostream* out) {
    *out << row.name;
}

class MenuStates : public MorvaneAppTest, public testing::WithParamInterface<MenuRow> {
protected:
    // Drives the model through its own operations into the wanted state.
    void reach(const MenuRow& row) {
        waitForAnsweredChecks(1); // the launch check, which finds nothing
        updates->found = UpdateInfo{u"2.3"_s, QUrl(u"https://example.com/m.zip"_s), {}};
        if (row.available) {
            desktop.alertAnswers = {1}; // "Later"
            model->checkForUpdatesManually();
            ASSERT_TRUE(
                QTest::qWaitFor([&] { return model->availableUpdate().has_value(); }, 2000));
            ASSERT_FALSE(model->isCheckingForUpdate());
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

INSTANTIATE_TEST_SUITE_P(
    MorvaneApp, MenuStates,
    testing::Values(
        MenuRow{"idle", false, false, false, false, {}, false, u"Check for Updates…"_s, true},
        MenuRow{
            "checking", false, false, true, false, {}, false, u"Checking for Updates…"_s, false},
        MenuRow{"update_found", true, false, false, true, u"Update to 2.3…"_s, true,
                u"Check for Updates…"_s, true},
        MenuRow{"update_found_checking_again", true, false, true, true, u"Update to 2.3…"_s, true,
                u"Checking for Updates…"_s, false},
        MenuRow{"installing", true, true, false, true, u"Installing update…"_s, false,
                u"Check for Updates…"_s, false},
        MenuRow{"installing_while_checking", true, true, true, true, u"Installing update…"_s, false,
                u"Checking for Updates…"_s, false}),
    [](const testing::TestParamInfo<MenuRow>& info) { return std::string(info.param.name); });

TEST_F(MorvaneAppTest, update_item_opens_the_prompt_rather_than_installing) {
    makeApp();
    waitForAnsweredChecks(1);
    updates->found = UpdateInfo{u"2.3"_s, QUrl(u"https://example.com/m.zip"_s), {}};
    desktop.alertAnswers = {1, 1};
    model->checkForUpdatesManually();
    ASSERT_TRUE(QTest::qWaitFor([&] { return app->updateAction()->isVisible(); }, 2000));
    const qsizetype alerts = desktop.alerts.size();
    app->updateAction()->trigger();
    EXPECT_EQ(desktop.alerts.size(), alerts + 1);
    EXPECT_EQ(updates->installs, 0);
}

} // namespace
