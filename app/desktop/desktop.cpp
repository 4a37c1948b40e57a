#include "desktop.h"

#include <QFileInfo>

QList<QUrl> containingFolders(const QList<QUrl>& files) {
    QList<QUrl> folders;
    for (const QUrl& file : files) {
        const QUrl folder = QUrl::fromLocalFile(QFileInfo(file.toLocalFile()).absolutePath());
        if (!folders.contains(folder))
            folders.append(folder);
    }
    return folders;
}
