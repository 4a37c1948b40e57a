#include "morvane_app.h"

#include "content_view.h"
#include "icons.h"
#include "morvane_model.h"
#include "settings_view.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

MorvaneApp::MorvaneApp(MorvaneModel& model, QObject* parent)
    : QObject(parent)
    , m_model(model) {
    m_main = std::make_unique<QMainWindow>();
    m_main->setObjectName(u"main"_s);
    m_main->setWindowTitle(u"Morvane"_s);
    m_main->setWindowIcon(Icons::named(Icons::Name::application));
    m_content = new ContentView(m_model, m_main.get());
    m_main->setCentralWidget(m_content);

    m_menu = m_main->menuBar()->addMenu(u"Morvane"_s);
    m_menu->setObjectName(u"applicationMenu"_s);
    m_about = m_menu->addAction(u"About Morvane"_s, this, &MorvaneApp::showAbout);
    m_about->setMenuRole(QAction::AboutRole);
    m_update = m_menu->addAction(QString(), this, [this] { m_model.promptForUpdate(); });
    m_update->setObjectName(u"updateAction"_s);
    m_check = m_menu->addAction(QString(), this, [this] { m_model.checkForUpdatesManually(); });
    m_check->setObjectName(u"checkAction"_s);
    m_menu->addSeparator();
    m_preferences = m_menu->addAction(u"Settings…"_s, this, &MorvaneApp::showSettings);
    m_preferences->setMenuRole(QAction::PreferencesRole);
    m_preferences->setShortcut(QKeySequence(u"Ctrl+,"_s));
    m_menu->addSeparator();
    m_quit = m_menu->addAction(u"Quit"_s, this, [this] { m_model.desktop().quit(); });
    m_quit->setMenuRole(QAction::QuitRole);
    m_quit->setShortcut(QKeySequence::Quit);

    for (auto changed : {&MorvaneModel::availableUpdateChanged, &MorvaneModel::isUpdatingChanged,
                         &MorvaneModel::isCheckingForUpdateChanged})
        connect(&m_model, changed, this, &MorvaneApp::updateCommands);
    updateCommands();

    m_main->resize(580, 620);
    showMainWindow();
    m_content->setFocus();
    // Launching is over once the event loop turns.
    QTimer::singleShot(0, this, [this] { m_model.start(); });
}

MorvaneApp::~MorvaneApp() = default;

void MorvaneApp::updateCommands() {
    const bool updating = m_model.isUpdating();
    const bool checking = m_model.isCheckingForUpdate();
    const std::optional<UpdateInfo>& update = m_model.availableUpdate();
    m_update->setVisible(update.has_value());
    m_update->setText(updating ? u"Installing update…"_s
                               : u"Update to "_s + (update ? update->version : QString()) + u"…"_s);
    m_update->setEnabled(!updating);
    m_check->setText(checking ? u"Checking for Updates…"_s : u"Check for Updates…"_s);
    m_check->setEnabled(!checking && !updating);
}

QWidget* MorvaneApp::settingsWindow() {
    if (!m_settings) {
        // Its own top-level window: closing the main window while it is open
        // leaves the application running with it.
        m_settings = std::make_unique<QWidget>();
        m_settings->setObjectName(u"settings"_s);
        m_settings->setWindowTitle(u"Morvane Settings"_s);
        m_settings->setWindowIcon(Icons::named(Icons::Name::application));
        auto* layout = new QVBoxLayout(m_settings.get());
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSizeConstraint(QLayout::SetFixedSize);
        layout->addWidget(new SettingsView(m_model, m_settings.get()));
        // It has no menu bar; the shortcuts work there all the same.
        m_settings->addActions({m_preferences, m_quit});
    }
    return m_settings.get();
}

void MorvaneApp::open(const QList<QUrl>& files) {
    if (!files.isEmpty())
        m_model.convertFiles(files);
}

void MorvaneApp::showMainWindow() {
    m_main->show();
    m_main->raise();
    m_main->activateWindow();
}

void MorvaneApp::showSettings() {
    QWidget* window = settingsWindow();
    window->show();
    window->raise();
    window->activateWindow();
}

void MorvaneApp::showAbout() {
    m_model.desktop().activate();
    m_model.desktop().showAlert({u"Morvane"_s, u"Version "_s + m_model.version(), {}});
}
