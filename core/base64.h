#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

namespace Base64 {

// Standard alphabet with "=" padding, nothing else: no line breaks, no blanks,
// no missing padding. Anything else gives no bytes.
std::optional<QByteArray> decodeStrict(QByteArrayView text);

} // namespace Base64
