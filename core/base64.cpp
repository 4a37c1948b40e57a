#include "base64.h"

#include <array>

namespace {

constexpr signed char invalid = -1;

constexpr std::array<signed char, 256> makeTable() {
    std::array<signed char, 256> table{};
    table.fill(invalid);
    constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int i = 0; i < 64; ++i)
        table[static_cast<unsigned char>(alphabet[i])] = static_cast<signed char>(i);
    return table;
}

constexpr std::array<signed char, 256> table = makeTable();

template <typename Char>
int valueOf(Char c) {
    const auto code = static_cast<unsigned>(c);
    return code < 256 ? table[code] : invalid;
}

// One pass that checks and decodes: a document's payload is tens of
// megabytes, and Qt's decoder after a separate check took several times as
// long.
template <typename Char>
std::optional<QByteArray> decode(const Char* text, qsizetype size) {
    if (size % 4 != 0)
        return std::nullopt;
    qsizetype padding = 0;
    if (size > 0 && text[size - 1] == Char('='))
        padding = size > 1 && text[size - 2] == Char('=') ? 2 : 1;
    QByteArray bytes(size / 4 * 3 - padding, Qt::Uninitialized);
    char* out = bytes.data();
    const qsizetype whole = padding > 0 ? size - 4 : size;
    for (qsizetype i = 0; i < whole; i += 4) {
        const int a = valueOf(text[i]), b = valueOf(text[i + 1]), c = valueOf(text[i + 2]),
                  d = valueOf(text[i + 3]);
        if ((a | b | c | d) < 0)
            return std::nullopt;
        const unsigned group =
            unsigned(a) << 18 | unsigned(b) << 12 | unsigned(c) << 6 | unsigned(d);
        *out++ = char(group >> 16);
        *out++ = char(group >> 8);
        *out++ = char(group);
    }
    if (padding > 0) {
        const Char* last = text + size - 4;
        const int a = valueOf(last[0]), b = valueOf(last[1]);
        const int c = padding == 2 ? 0 : valueOf(last[2]);
        if ((a | b | c) < 0)
            return std::nullopt;
        const unsigned group = unsigned(a) << 18 | unsigned(b) << 12 | unsigned(c) << 6;
        *out++ = char(group >> 16);
        if (padding == 1)
            *out++ = char(group >> 8);
    }
    return bytes;
}

} // namespace

namespace Base64 {

std::optional<QByteArray> decodeStrict(QByteArrayView text) {
    return decode(text.data(), text.size());
}

std::optional<QByteArray> decodeStrict(QStringView text) {
    return decode(text.utf16(), text.size());
}

} // namespace Base64
