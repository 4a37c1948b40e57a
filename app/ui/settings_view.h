#pragma once

#include <QString>
#include <QUrl>
#include <QWidget>

class ElidedLabel;
class LinkButton;
class Desktop;
class MorvaneModel;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

// The settings window's content: where converted files go, whether they are
// revealed afterwards, how PDFs are laid out, and the application's name,
// version and links.
class SettingsView : public QWidget {
    Q_OBJECT

public:
    SettingsView(MorvaneModel& model, Desktop& desktop, QWidget* parent = nullptr);

    // The folder as shown: no trailing slash.
    static QString shownPath(const QString& folderPath);
    // https://<update host>/morvane
    static QUrl productPage();
    // https://<feedback host>/?app=morvane
    static QUrl feedbackPage();

    // Creates the folder with its parents when missing, then shows it.
    void openFolder();

protected:
    void changeEvent(QEvent* event) override;

private:
    void updateSettings();

    MorvaneModel& m_model;
    Desktop& m_desktop;
    ElidedLabel* m_path = nullptr;
    QPushButton* m_choose = nullptr;
    QPushButton* m_open = nullptr;
    QCheckBox* m_reveal = nullptr;
    QComboBox* m_pdfLayout = nullptr;
    QLabel* m_about = nullptr;
    LinkButton* m_feedback = nullptr;
    LinkButton* m_website = nullptr;
};
