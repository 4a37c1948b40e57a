#include "convert.h"
#include "unicode.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace Qt::StringLiterals;

// Feeds arbitrary UTF-16 (lone surrogates included) to slug and document, and
// checks the guarantees callers rely on.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text(reinterpret_cast<const QChar*>(data), static_cast<qsizetype>(size / 2));
    const QString slug = Convert::slug(text, u"fallback"_s);
    if (slug.isEmpty() || Unicode::graphemes(slug).size() > 80 || slug.contains(u'/') ||
        slug.contains(u"--") || slug.startsWith(u'-') || slug.endsWith(u'-') ||
        slug.startsWith(u'_') || slug.endsWith(u'_') || slug.contains(u' '))
        std::abort();
    if (slug == u"." || slug == u"..")
        std::abort();
    const QString document = Convert::document(text, text, text, text);
    if (!document.startsWith(u"---\n") || !document.endsWith(u'\n'))
        std::abort();
    return 0;
}
