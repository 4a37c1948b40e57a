#pragma once

#include "desktop.h"

#include <QObject>

// The Linux desktop: FileManager1 over D-Bus for reveals, the default
// applications, the clipboard, Qt dialogs.
class SystemDesktop : public QObject, public Desktop {
    Q_OBJECT

public:
    explicit SystemDesktop(QObject* parent = nullptr);

    void revealFiles(const QList<QUrl>& files) override;
    void open(const QUrl& location) override;
    void copyText(const QString& text) override;
    std::optional<QString> chooseFolder(const FolderChoice& choice) override;
    int showAlert(const Alert& alert) override;
    void activate() override;
    void quit() override;
};
