#include "system_desktop.h"

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QWindow>

using namespace Qt::StringLiterals;

namespace {

// The parent folders of `files`, each once, in order of first appearance.
QList<QUrl> containingFolders(const QList<QUrl>& files) {
    QList<QUrl> folders;
    for (const QUrl& file : files) {
        const QUrl folder = QUrl::fromLocalFile(QFileInfo(file.toLocalFile()).absolutePath());
        if (!folders.contains(folder))
            folders.append(folder);
    }
    return folders;
}

} // namespace

SystemDesktop::SystemDesktop(QObject* parent)
    : QObject(parent) {}

void SystemDesktop::revealFiles(const QList<QUrl>& files) {
    if (files.isEmpty())
        return;
    QStringList uris;
    for (const QUrl& file : files)
        uris.append(file.toString(QUrl::FullyEncoded));
    QDBusMessage call = QDBusMessage::createMethodCall(
        u"org.freedesktop.FileManager1"_s, u"/org/freedesktop/FileManager1"_s,
        u"org.freedesktop.FileManager1"_s, u"ShowItems"_s);
    call << uris << QString();
    QDBusConnection bus = QDBusConnection::sessionBus();
    // Without a file manager that speaks FileManager1, open the folders instead.
    if (!bus.isConnected()) {
        for (const QUrl& folder : containingFolders(files))
            QDesktopServices::openUrl(folder);
        return;
    }
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [watcher, files] {
        watcher->deleteLater();
        if (watcher->isError()) {
            for (const QUrl& folder : containingFolders(files))
                QDesktopServices::openUrl(folder);
        }
    });
}

void SystemDesktop::open(const QUrl& location) {
    QDesktopServices::openUrl(location);
}

void SystemDesktop::copyText(const QString& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return;
    clipboard->clear(QClipboard::Clipboard);
    clipboard->setText(text, QClipboard::Clipboard);
    if (clipboard->supportsSelection())
        clipboard->setText(text, QClipboard::Selection);
}

std::optional<QString> SystemDesktop::chooseFolder(const FolderChoice& choice) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return std::nullopt;
    QFileDialog dialog(nullptr, choice.message, choice.startFolder);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setLabelText(QFileDialog::Accept, choice.buttonTitle);
    dialog.setWindowModality(Qt::ApplicationModal);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

int SystemDesktop::showAlert(const Alert& alert) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return 0;
    QMessageBox box;
    box.setWindowTitle(QCoreApplication::applicationName());
    box.setText(alert.title);
    box.setInformativeText(alert.text);
    QList<QAbstractButton*> buttons;
    const QStringList titles = alert.buttons.isEmpty() ? QStringList{u"OK"_s} : alert.buttons;
    for (const QString& title : titles)
        buttons.append(box.addButton(title, buttons.isEmpty() ? QMessageBox::AcceptRole
                                                              : QMessageBox::RejectRole));
    box.setDefaultButton(static_cast<QPushButton*>(buttons.constFirst()));
    box.exec();
    const qsizetype pressed = buttons.indexOf(box.clickedButton());
    // Closing the box without a button counts as the last (cancelling) one.
    return pressed >= 0 ? static_cast<int>(pressed) : static_cast<int>(buttons.size() - 1);
}

void SystemDesktop::activate() {
    for (QWindow* window : QGuiApplication::topLevelWindows()) {
        if (window->isVisible()) {
            window->raise();
            window->requestActivate();
        }
    }
}

void SystemDesktop::quit() {
    QCoreApplication::quit();
}
