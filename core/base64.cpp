#include "base64.h"

namespace {

bool isAlphabet(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
           c == '/';
}

} // namespace

namespace Base64 {

std::optional<QByteArray> decodeStrict(QByteArrayView text) {
    if (text.size() % 4 != 0)
        return std::nullopt;
    qsizetype padding = 0;
    if (text.endsWith('='))
        padding = text.endsWith("==") ? 2 : 1;
    for (qsizetype i = 0; i < text.size() - padding; ++i) {
        if (!isAlphabet(text[i]))
            return std::nullopt;
    }
    auto decoded =
        QByteArray::fromBase64Encoding(text.toByteArray(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return std::nullopt;
    return std::move(*decoded);
}

} // namespace Base64
