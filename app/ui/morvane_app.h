#pragma once

#include <QList>
#include <QObject>
#include <QUrl>

#include <memory>

class ContentView;
class Desktop;
class MorvaneModel;
class QAction;
class QMainWindow;
class QMenu;
class QWidget;
class SettingsView;

// The application's shell: the main window, the settings window and the
// application menu, all over one model. Starts the model once the event loop
// runs.
class MorvaneApp : public QObject {
    Q_OBJECT

public:
    MorvaneApp(MorvaneModel& model, Desktop& desktop, QObject* parent = nullptr);
    ~MorvaneApp() override;

    MorvaneModel& model() const { return m_model; }
    QMainWindow* mainWindow() const { return m_main.get(); }
    ContentView* contentView() const { return m_content; }
    // Made on first use.
    QWidget* settingsWindow();
    QWidget* aboutWindow();
    QMenu* applicationMenu() const { return m_menu; }
    QAction* updateAction() const { return m_update; }
    QAction* checkAction() const { return m_check; }

    // Files the desktop asks the application to open: one batch, as given.
    void open(const QList<QUrl>& files);
    // Restored if minimized and brought forward; `activationToken` is the
    // desktop's token of the launch that asked for it.
    void showMainWindow(const QString& activationToken = {});
    void showSettings();
    void showAbout();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void updateCommands();
    // A fixed-size window over `content` that Esc and Ctrl+W close.
    std::unique_ptr<QWidget> secondaryWindow(const QString& name, const QString& title,
                                             QWidget* content);
    // Centred on the main window when it opens.
    void showSecondary(QWidget* window);

    MorvaneModel& m_model;
    Desktop& m_desktop;
    std::unique_ptr<QMainWindow> m_main;
    ContentView* m_content = nullptr;
    std::unique_ptr<QWidget> m_settings;
    std::unique_ptr<QWidget> m_about;
    QMenu* m_menu = nullptr;
    QAction* m_aboutAction = nullptr;
    QAction* m_update = nullptr;
    QAction* m_check = nullptr;
    QAction* m_preferences = nullptr;
    QAction* m_quit = nullptr;
};
