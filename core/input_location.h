#pragma once

#include <QString>
#include <QUrl>

#include <optional>

namespace InputLocation {

// The file an argument of a launch names, as an absolute, clean file URL
// without a host: a path (relative ones against `folder`) or a file: URL of
// this machine. Nothing for an empty argument or another machine's file.
std::optional<QUrl> localFile(const QString& argument, const QString& folder);

} // namespace InputLocation
