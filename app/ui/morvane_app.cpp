#include "morvane_app.h"

#include "about_view.h"
#include "content_view.h"
#include "desktop.h"
#include "icons.h"
#include "morvane_model.h"
#include "settings_view.h"
#include "window_activation.h"

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

using namespace Qt::StringLiterals;

MorvaneApp::MorvaneApp(MorvaneModel& model, Desktop& desktop, QObject* parent)
    : QObject(parent)
    , m_model(model)
    , m_desktop(desktop) {
    m_main = std::make_unique<QMainWindow>();
    m_main->setObjectName(u"main"_s);
    m_main->setWindowTitle(u"Morvane"_s);
    m_main->setWindowIcon(Icons::named(Icons::Name::application));
    m_content = new ContentView(m_model, m_desktop, m_main.get());
    m_main->setCentralWidget(m_content);

    m_menu = m_main->menuBar()->addMenu(u"&Morvane"_s);
    m_menu->setObjectName(u"applicationMenu"_s);
    m_aboutAction = m_menu->addAction(u"About Morvane"_s, this, &MorvaneApp::showAbout);
    m_aboutAction->setMenuRole(QAction::AboutRole);
    m_update = m_menu->addAction(QString(), this, [this] { m_model.promptForUpdate(); });
    m_update->setObjectName(u"updateAction"_s);
    m_check = m_menu->addAction(QString(), this, [this] { m_model.checkForUpdatesManually(); });
    m_check->setObjectName(u"checkAction"_s);
    m_menu->addSeparator();
    m_preferences = m_menu->addAction(u"Settings…"_s, this, &MorvaneApp::showSettings);
    m_preferences->setMenuRole(QAction::PreferencesRole);
    m_preferences->setShortcut(QKeySequence(u"Ctrl+,"_s));
    m_menu->addSeparator();
    m_quit = m_menu->addAction(u"Quit"_s, this, [this] { m_desktop.quit(); });
    m_quit->setMenuRole(QAction::QuitRole);
    m_quit->setShortcut(QKeySequence::Quit);
    // The desktop's key for the menu bar, where Alt alone may not reach it.
    auto* openMenu = new QAction(m_main.get());
    openMenu->setShortcut(Qt::Key_F10);
    connect(openMenu, &QAction::triggered, this,
            [this] { m_main->menuBar()->setActiveAction(m_menu->menuAction()); });
    m_main->addAction(openMenu);
    m_main->installEventFilter(this);

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
    m_update->setVisible(m_model.updatesItself() && update.has_value());
    m_update->setText(updating ? u"Installing update…"_s
                               : u"Update to "_s + (update ? update->version : QString()) + u"…"_s);
    m_update->setEnabled(!updating);
    m_check->setText(checking ? u"Checking for Updates…"_s : u"Check for Updates…"_s);
    m_check->setEnabled(!checking && !updating);
    m_check->setVisible(m_model.updatesItself());
}

std::unique_ptr<QWidget> MorvaneApp::secondaryWindow(const QString& name, const QString& title,
                                                     QWidget* content) {
    // Its own top-level window rather than a child of the main one, so that
    // it can outlive the main window closing; tied to it while both are open.
    auto window =
        std::make_unique<QWidget>(nullptr, Qt::Dialog | Qt::CustomizeWindowHint |
                                               Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    window->setObjectName(name);
    window->setWindowTitle(title);
    window->setWindowIcon(Icons::named(Icons::Name::application));
    auto* layout = new QVBoxLayout(window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    content->setParent(window.get());
    layout->addWidget(content);
    auto* close = new QAction(window.get());
    // Ctrl+W whatever the desktop's key scheme says, and its own close keys too.
    QList<QKeySequence> closeKeys{QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)};
    for (const QKeySequence& key : QKeySequence::keyBindings(QKeySequence::Close)) {
        if (!closeKeys.contains(key))
            closeKeys.append(key);
    }
    close->setShortcuts(closeKeys);
    connect(close, &QAction::triggered, window.get(), &QWidget::close);
    // It has no menu bar; the shortcuts work there all the same.
    window->addActions({close, m_preferences, m_quit});
    return window;
}

void MorvaneApp::showSecondary(QWidget* window) {
    if (!window->isVisible()) {
        window->winId();
        window->windowHandle()->setTransientParent(m_main->isVisible() ? m_main->windowHandle()
                                                                       : nullptr);
        window->ensurePolished();
        window->layout()->activate();
        const QRect over =
            m_main->isVisible() ? m_main->frameGeometry() : m_main->screen()->availableGeometry();
        QRect placed(QPoint(), window->frameGeometry().size());
        placed.moveCenter(over.center());
        const QRect screen = m_main->screen()->availableGeometry();
        placed.moveLeft(qBound(screen.left(), placed.left(), screen.right() + 1 - placed.width()));
        placed.moveTop(qBound(screen.top(), placed.top(), screen.bottom() + 1 - placed.height()));
        window->move(placed.topLeft());
    }
    window->show();
    window->raise();
    window->activateWindow();
}

bool MorvaneApp::eventFilter(QObject* watched, QEvent* event) {
    // A window tied to the main one would not keep the application running
    // once the main window is gone; open ones are set free first.
    if (watched == m_main.get() && event->type() == QEvent::Close) {
        for (QWidget* window : {m_settings.get(), m_about.get()}) {
            if (window && window->isVisible() && window->windowHandle())
                window->windowHandle()->setTransientParent(nullptr);
        }
    }
    return QObject::eventFilter(watched, event);
}

QWidget* MorvaneApp::settingsWindow() {
    if (!m_settings)
        m_settings = secondaryWindow(u"settings"_s, u"Morvane Settings"_s,
                                     new SettingsView(m_model, m_desktop));
    return m_settings.get();
}

QWidget* MorvaneApp::aboutWindow() {
    if (!m_about)
        m_about = secondaryWindow(u"aboutWindow"_s, u"About Morvane"_s,
                                  new AboutView(m_model, m_desktop));
    return m_about.get();
}

void MorvaneApp::open(const QList<QUrl>& files) {
    if (!files.isEmpty())
        m_model.convertFiles(files);
}

void MorvaneApp::showMainWindow(const QString& activationToken) {
    WindowActivation::bringForward(m_main.get(), activationToken);
}

void MorvaneApp::showSettings() {
    showSecondary(settingsWindow());
}

void MorvaneApp::showAbout() {
    showSecondary(aboutWindow());
}
