#pragma once

#include <QHash>
#include <QList>
#include <QSize>
#include <QString>
#include <QUrl>
#include <QWidget>

#include <functional>

class BusyIndicator;
class DropZone;
class ElidedLabel;
class Desktop;
class MorvaneModel;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;
class RecentRow;

// The main window's content: the drop zone, the address field, the status
// line and the recent results, all drawn from the model.
class ContentView : public QWidget {
    Q_OBJECT

public:
    // Asks the user for files to convert; empty when cancelled.
    using FileChooser = std::function<QList<QUrl>(QWidget* parent)>;

    ContentView(MorvaneModel& model, Desktop& desktop, QWidget* parent = nullptr);

    bool isTargeted() const;
    QString urlText() const;
    void setFileChooser(FileChooser chooser);

    // Hands the trimmed address to the model and empties the field; does
    // nothing when only spaces and tabs were typed.
    void convertURL();
    // Spaces and tabs removed from both ends; line breaks stay.
    static QString trimmed(const QString& text);
    // A modal chooser for the kinds the converters read.
    static QList<QUrl> chooseFiles(QWidget* parent);

    // What the content needs, and never less than the smallest window.
    QSize minimumSizeHint() const override;
    static constexpr QSize smallest{440, 420};

protected:
    void changeEvent(QEvent* event) override;

private:
    void chooseAndConvert();
    void updateConvertEnabled();
    void updateStatus();
    void updateRecents();

    MorvaneModel& m_model;
    Desktop& m_desktop;
    FileChooser m_chooseFiles;
    DropZone* m_dropZone = nullptr;
    QLineEdit* m_urlField = nullptr;
    QPushButton* m_convert = nullptr;
    BusyIndicator* m_busy = nullptr;
    ElidedLabel* m_status = nullptr;
    QWidget* m_recentSection = nullptr;
    QLabel* m_recentHeading = nullptr;
    QVBoxLayout* m_rows = nullptr;
    QHash<QString, RecentRow*> m_rowsByPath;
};
