#include "fuzz_input.h"

#include "unicode.h"
#include "web_page.h"

using FuzzInput::check;

// The page decoding with any Content-Type (the input's first line) and body
// (the rest): well-formed text, UTF-8 taken as such when no character set is
// declared, and otherwise empty only when not even Windows-1252 fits.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput::Reader in(data, size);
    const QByteArray contentType = in.until('\n');
    const QByteArray body = in.rest();

    const QString text = WebPage::decodeHTML(body, contentType);
    check(text.isValidUtf16(), "decodeHTML: valid UTF-16");
    if (contentType.toLower().contains("charset"))
        return 0;
    const auto utf8 = Unicode::decodeUtf8Strict(body);
    if (utf8)
        check(text == *utf8, "decodeHTML: undeclared UTF-8 read as UTF-8");
    else if (text.isEmpty() && !body.isEmpty())
        check(!Unicode::decodeStrict(body, "windows-1252"),
              "decodeHTML: empty only when nothing fits");
    return 0;
}
