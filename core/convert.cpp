#include "convert.h"

#include "unicode.h"

#include <QList>
#include <QStringView>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype slugLength = 80;

constexpr char16_t allowedCharacters[] =
    u"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 -_"
    u"æøåÆØÅäöüÄÖÜéèêëàâîïôûùçñ";

bool isAllowedUnit(char16_t unit) {
    // Every allowed character is a single precomposed BMP code point.
    return std::char_traits<char16_t>::find(allowedCharacters, std::size(allowedCharacters) - 1,
                                            unit) != nullptr;
}

// Kept when canonically equivalent to one allowed character, e.g. e + U+0301.
bool isAllowedCluster(QStringView cluster) {
    if (cluster.size() == 1 && isAllowedUnit(cluster[0].unicode()))
        return true;
    // Singletons count too: U+212B ANGSTROM SIGN composes to Å.
    const QString composed = Unicode::nfc(cluster);
    return composed.size() == 1 && isAllowedUnit(composed[0].unicode());
}

bool isEdgeFiller(QStringView cluster) {
    return cluster == u"-" || cluster == u"_" || cluster == u" ";
}

QString escapedTitle(const QString& title) {
    QString escaped = title;
    escaped.replace(u'\\', u"\\\\"_s);
    escaped.replace(u'"', u"\\\""_s);
    return escaped;
}

} // namespace

namespace Convert {

QString slug(const QString& text, const QString& fallback) {
    const QString& source = Unicode::isBlank(text) ? fallback : text;

    // Characters are kept as views into `source`; replaced ones split words.
    // Joining words with one hyphen and collapsing hyphen runs is the same as
    // never emitting a hyphen right after another.
    static constexpr char16_t hyphenUnit = u'-';
    const QStringView hyphen(&hyphenUnit, 1);
    QList<QStringView> characters;
    bool wordBreak = false;
    for (QStringView cluster : Unicode::graphemes(source)) {
        if (!isAllowedCluster(cluster) || cluster == u" ") {
            wordBreak = true;
            continue;
        }
        const bool afterHyphen = !characters.isEmpty() && characters.last() == u"-";
        if (wordBreak && !characters.isEmpty() && !afterHyphen)
            characters.append(hyphen);
        wordBreak = false;
        if (cluster == u"-" && !characters.isEmpty() && characters.last() == u"-")
            continue;
        characters.append(cluster);
    }

    if (characters.size() > slugLength)
        characters.resize(slugLength);
    auto first = std::find_if_not(characters.cbegin(), characters.cend(), isEdgeFiller);
    auto last =
        std::find_if_not(characters.crbegin(), std::make_reverse_iterator(first), isEdgeFiller)
            .base();
    if (first >= last)
        return u"converted"_s;

    QString result;
    for (auto it = first; it != last; ++it)
        result.append(*it);
    return result;
}

QString frontMatter(const QString& title, const QString& source, const QString& date) {
    QString block = u"---\n"_s;
    if (!title.isEmpty())
        block += u"title: \""_s + escapedTitle(title) + u"\"\n"_s;
    block += u"source: "_s + source + u'\n';
    block += u"date: "_s + date + u'\n';
    block += u"converted_by: Morvane\n---\n"_s;
    return block;
}

QString document(const QString& title, const QString& source, const QString& date,
                 const QString& markdown) {
    QString text = frontMatter(title, source, date);
    if (!title.isEmpty())
        text += u"\n# "_s + title + u'\n';
    text += u'\n';
    text += markdown;
    text += u'\n';
    return text;
}

} // namespace Convert
