#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

// A folder chooser: folders only, one selection.
struct FolderChoice {
    QString buttonTitle;
    QString message;
    QString startFolder;
};

// A modal alert. With no buttons it shows one default "OK" button; otherwise
// the first button is the default one.
struct Alert {
    QString title;
    QString text;
    QStringList buttons;
};

// Everything the model asks of the desktop shell. Tests replace it with a
// recording fake; the application passes in SystemDesktop.
class Desktop {
public:
    virtual ~Desktop() = default;

    // Shows the files selected in the file manager, in one request.
    virtual void revealFiles(const QList<QUrl>& files) = 0;
    // Opens a file in its default application, or a web link in the browser.
    virtual void open(const QUrl& location) = 0;
    virtual void copyText(const QString& text) = 0;
    // Modal; the chosen folder's full path, or nothing when cancelled.
    virtual std::optional<QString> chooseFolder(const FolderChoice& choice) = 0;
    // Modal; the index of the button pressed (0 for the default button).
    virtual int showAlert(const Alert& alert) = 0;
    // Brings the application's windows to the front.
    virtual void activate() = 0;
    virtual void quit() = 0;
};
