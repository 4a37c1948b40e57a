#include "fuzz_input.h"

#include "unicode.h"

using FuzzInput::check;

// Strict decoding with any character-set name: never crashes, gives only
// well-formed text, and what UTF-8 accepts re-encodes to the same bytes.
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
    if (const auto text = Unicode::decodeStrict(bytes, name))
        check(text->isValidUtf16(), "decodeStrict: valid UTF-16");
    if (const auto text = Unicode::decodeUtf8Strict(bytes)) {
        QByteArray expected = bytes.toByteArray();
        if (expected.startsWith("\xef\xbb\xbf"))
            expected.remove(0, 3);
        check(text->toUtf8() == expected, "decodeUtf8Strict: round trip");
        check(text->isValidUtf16(), "decodeUtf8Strict: valid UTF-16");
    }
    return 0;
}
