#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>

#include <optional>

namespace Base64 {

// Standard alphabet with "=" padding, nothing else: no line breaks, no blanks,
// no missing padding. Anything else gives no bytes. The text form takes any
// character beyond the alphabet, Latin-1 or not, as invalid.
std::optional<QByteArray> decodeStrict(QByteArrayView text);
std::optional<QByteArray> decodeStrict(QStringView text);

} // namespace Base64
