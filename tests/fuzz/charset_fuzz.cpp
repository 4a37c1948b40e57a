#include "unicode.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

// Strict decoding with any character-set name: never crashes, and what UTF-8
// accepts re-encodes to the same bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const size_t nameLength = data[0] % 16;
    if (size < 1 + nameLength)
        return 0;
    const QByteArray name(reinterpret_cast<const char*>(data + 1),
                          static_cast<qsizetype>(nameLength));
    const QByteArrayView bytes(data + 1 + nameLength,
                               static_cast<qsizetype>(size - 1 - nameLength));
    (void)Unicode::decodeStrict(bytes, name);
    if (const auto text = Unicode::decodeUtf8Strict(bytes)) {
        QByteArray expected = bytes.toByteArray();
        if (expected.startsWith("\xef\xbb\xbf"))
            expected.remove(0, 3);
        if (text->toUtf8() != expected)
            std::abort();
    }
    return 0;
}
