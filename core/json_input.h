#pragma once

#include <QByteArray>
#include <QJsonObject>

#include <optional>

namespace JsonInput {

// The object a stored or received JSON text holds; nothing for text that does
// not parse or holds anything else.
std::optional<QJsonObject> object(const QByteArray& json);

} // namespace JsonInput
