#include "input_location.h"

#include <QDir>

using namespace Qt::StringLiterals;

namespace InputLocation {

std::optional<QUrl> localFile(const QString& argument, const QString& folder) {
    if (argument.isEmpty())
        return std::nullopt;
    if (argument.startsWith(u"file:"_s)) {
        const QUrl url(argument);
        // file://localhost/x is this machine's /x; any other host is not.
        if (!url.isLocalFile() || !(url.host().isEmpty() || url.host() == u"localhost"_s) ||
            url.path().isEmpty())
            return std::nullopt;
        return QUrl::fromLocalFile(QDir::cleanPath(url.path()));
    }
    return QUrl::fromLocalFile(QDir::cleanPath(QDir(folder).absoluteFilePath(argument)));
}

} // namespace InputLocation
