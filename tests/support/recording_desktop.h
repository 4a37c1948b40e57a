#pragma once

#include "desktop.h"

#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

// Records what the model asks of the desktop and answers modal questions from
// queued replies.
class RecordingDesktop : public Desktop {
public:
    QList<QList<QUrl>> reveals;
    QList<QUrl> opened;
    QList<QString> clipboard;
    QList<FolderChoice> folderChoices;
    QList<Alert> alerts;
    int activations = 0;
    int quits = 0;

    std::optional<QString> nextFolder;
    QList<int> alertAnswers; // taken in order; the default button when empty

    void revealFiles(const QList<QUrl>& files) override { reveals.append(files); }
    void open(const QUrl& location) override { opened.append(location); }
    void copyText(const QString& text) override { clipboard.append(text); }
    std::optional<QString> chooseFolder(const FolderChoice& choice) override {
        folderChoices.append(choice);
        return nextFolder;
    }
    int showAlert(const Alert& alert) override {
        alerts.append(alert);
        return alertAnswers.isEmpty() ? 0 : alertAnswers.takeFirst();
    }
    void activate() override { ++activations; }
    void quit() override { ++quits; }
};
