#include "fuzz_input.h"

#include "convert.h"
#include "unicode.h"

#include <QList>

using namespace Qt::StringLiterals;
using FuzzInput::check;

namespace {

constexpr char16_t allowed[] = u"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-_"
                               u"æøåÆØÅäöüÄÖÜéèêëàâîïôûùçñ";

bool isAllowed(QStringView cluster) {
    const QString composed = Unicode::nfc(cluster);
    return composed.size() == 1 && QStringView(allowed).contains(composed[0]);
}

// A name that is safe as "FOLDER/SLUG.md" and "FOLDER/SLUG-assets": one plain
// path component of allowed characters, well under the 255-byte limit.
void checkSlug(const QString& slug) {
    check(!slug.isEmpty(), "slug: never empty");
    const QList<QStringView> clusters = Unicode::graphemes(slug);
    check(clusters.size() <= 80, "slug: at most 80 characters");
    for (QStringView cluster : clusters)
        check(isAllowed(cluster), "slug: only allowed characters");
    check(!slug.contains(u"--"), "slug: no hyphen run");
    check(!slug.startsWith(u'-') && !slug.endsWith(u'-') && !slug.startsWith(u'_') &&
              !slug.endsWith(u'_'),
          "slug: no filler at either end");
    check(slug != u"." && slug != u"..", "slug: not a dot name");
    check(slug.toUtf8().size() + 16 <= 255, "slug: fits a file name with its suffixes");
    check(slug.isValidUtf16(), "slug: valid UTF-16");
}

// The quoted title line, unescaped; nothing when it is not there.
std::optional<QString> frontMatterTitle(QStringView block) {
    if (!block.startsWith(u"---\ntitle: \""))
        return std::nullopt;
    QString title;
    for (qsizetype i = 12; i < block.size(); ++i) {
        const QChar c = block[i];
        if (c == u'"')
            return block.mid(i).startsWith(u"\"\nsource: ") ? std::optional(title) : std::nullopt;
        if (c == u'\\') {
            if (++i >= block.size())
                return std::nullopt;
            if (block[i] != u'\\' && block[i] != u'"')
                return std::nullopt;
        }
        title.append(block[i]);
    }
    return std::nullopt;
}

} // namespace

// Arbitrary UTF-16 (lone surrogates included) to slug and document. The input
// is also cut at U+0000 into title, source, date and body for the assembly.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = FuzzInput::Reader(data, size).utf16(size / 2);

    const QString slug = Convert::slug(text, u"fallback"_s);
    checkSlug(slug);
    check(Convert::slug(slug, u"fallback"_s) == slug, "slug: a slug is its own slug");
    if (Unicode::isBlank(text))
        check(slug == u"fallback", "slug: blank text takes the fallback");
    checkSlug(Convert::slug(text, text));

    const QStringList parts = text.split(QChar(0));
    const QString title = parts.value(0);
    const QString source = parts.value(1);
    const QString date = parts.value(2);
    const QString body = parts.mid(3).join(QChar(0));

    const QString block = Convert::frontMatter(title, source, date);
    check(block.startsWith(u"---\n") && block.endsWith(u"\nconverted_by: Morvane\n---\n"),
          "frontMatter: opens and closes the block");
    check(block.contains(u"\nsource: "_s + source + u"\ndate: "_s + date + u'\n'),
          "frontMatter: source and date as given");
    if (title.isEmpty())
        check(block.startsWith(u"---\nsource: "), "frontMatter: no title line without a title");
    else
        check(frontMatterTitle(block) == title, "frontMatter: the title line unescapes to it");

    const QString document = Convert::document(title, source, date, body);
    check(document.startsWith(block), "document: opens with the front matter");
    const QString heading = title.isEmpty() ? QString() : u"\n# "_s + title + u'\n';
    check(document.size() == block.size() + heading.size() + body.size() + 2 &&
              QStringView(document).mid(block.size()).startsWith(heading) &&
              document.endsWith(u'\n' + body + u'\n'),
          "document: front matter, heading, body, each once and in order");
    return 0;
}
