#include "text_repair.h"

#include "unicode.h"

#include <QHash>
#include <QList>

#include <algorithm>
#include <iterator>

using namespace Qt::StringLiterals;

namespace {

bool isCollapsible(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

struct Ligature {
    char16_t codePoint;
    QStringView letters;
};

// U+019F, U+01A9, U+0147 and U+014C are real letters that some fonts map
// their ti, tt, fl and ft ligatures to; they are replaced everywhere.
constexpr Ligature ligatures[] = {
    {0xFB00, u"ff"},  {0xFB01, u"fi"}, {0xFB02, u"fl"}, {0xFB03, u"ffi"},
    {0xFB04, u"ffl"}, {0xFB05, u"ft"}, {0xFB06, u"st"}, {0x019F, u"ti"},
    {0x01A9, u"tt"},  {0x0147, u"fl"}, {0x014C, u"ft"},
};
constexpr auto lowestLigature =
    std::min_element(std::begin(ligatures), std::end(ligatures), [](const auto& a, const auto& b) {
        return a.codePoint < b.codePoint;
    }) -> codePoint;

QStringView ligatureLetters(QStringView cluster) {
    if (cluster.size() != 1)
        return {};
    for (const Ligature& ligature : ligatures) {
        if (cluster[0].unicode() == ligature.codePoint)
            return ligature.letters;
    }
    return {};
}

// Each tell-tale character of a Windows-1252 text read as Mac OS Roman,
// mapped to the character it stood for. Built once through the code pages
// themselves; a function-local static is initialised safely from any thread.
const QHash<QString, QString>& macRomanTells() {
    static const QHash<QString, QString> tells = [] {
        QHash<QString, QString> table;
        for (QStringView tell : Unicode::graphemes(u"¯ÊÂß≈∆ÿÈñîì")) {
            const std::optional<QByteArray> macRoman = Unicode::encode(tell, "macintosh");
            const std::optional<QString> windows =
                macRoman ? Unicode::decode(*macRoman, "windows-1252") : std::nullopt;
            table.insert(tell.toString(), windows ? *windows : tell.toString());
        }
        return table;
    }();
    return tells;
}

bool isTrigger(QStringView cluster) {
    return cluster == u"\u00AF" || cluster == u"\u00CA" || cluster == u"\u00C2";
}

} // namespace

namespace PDFLayout {

QString collapseWs(QStringView text) {
    // Written in place; the result is never longer than the text.
    QString out(text.size(), Qt::Uninitialized);
    QChar* const begin = out.data();
    QChar* end = begin;
    bool pendingSpace = false;
    for (QChar c : text) {
        if (isCollapsible(c)) {
            pendingSpace = end != begin;
            continue;
        }
        if (pendingSpace)
            *end++ = u' ';
        pendingSpace = false;
        *end++ = c;
    }
    out.truncate(end - begin);
    return out;
}

QString fixLigatures(QStringView text) {
    return fixLigatures(text.toString());
}

QString fixLigatures(QString&& text) {
    // Every ligature and tell-tale lies above U+00AE: one plain look is
    // enough for the many texts without any.
    if (std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x00AF; }))
        return std::move(text);
    // Most texts hold neither ligatures nor tell-tales: they need no clusters.
    const bool anyLigature = std::any_of(text.cbegin(), text.cend(), [](QChar c) {
        // Plain Latin text lies below every ligature.
        return c.unicode() >= lowestLigature &&
               std::any_of(std::begin(ligatures), std::end(ligatures),
                           [c](const Ligature& l) { return c.unicode() == l.codePoint; });
    });
    QString expanded;
    if (anyLigature) {
        expanded.reserve(text.size());
        for (QStringView cluster : Unicode::graphemes(text)) {
            const QStringView letters = ligatureLetters(cluster);
            expanded.append(letters.isNull() ? cluster : letters);
        }
    } else {
        expanded = std::move(text);
    }
    const qsizetype triggerUnits = std::count_if(expanded.cbegin(), expanded.cend(), [](QChar c) {
        return c == u'\u00AF' || c == u'\u00CA' || c == u'\u00C2';
    });
    if (triggerUnits < 3)
        return expanded;

    const QList<QStringView> clusters = Unicode::graphemes(expanded);
    int triggers = 0;
    for (QStringView cluster : clusters) {
        if (isTrigger(cluster) && ++triggers >= 3)
            break;
    }
    if (triggers < 3)
        return expanded;

    const QHash<QString, QString>& tells = macRomanTells();
    QString repaired;
    repaired.reserve(expanded.size());
    for (QStringView cluster : clusters) {
        if (cluster == u"\uF0A1") {
            repaired.append(u'\u2022');
            continue;
        }
        const auto tell = tells.constFind(cluster.toString());
        repaired.append(tell == tells.constEnd() ? cluster : QStringView(*tell));
    }
    return repaired;
}

QString tidy(QStringView text) {
    return tidy(text.toString());
}

QString tidy(QString&& text) {
    // One pass in place: nothing is ever longer than what it was made from.
    QChar* const begin = text.data();
    const QChar* const input = begin + text.size();
    QChar* end = begin;
    const auto stripLine = [&end, begin] {
        while (end > begin && (end[-1] == u' ' || end[-1] == u'\t'))
            --end;
    };
    for (const QChar* at = begin; at < input; ++at) {
        if (*at != u'\n') {
            *end++ = *at;
            continue;
        }
        stripLine();
        // Every run of three or more line feeds becomes exactly two.
        if (end - begin < 2 || end[-1] != u'\n' || end[-2] != u'\n')
            *end++ = u'\n';
    }
    stripLine();
    const QStringView kept = Unicode::trimmed(QStringView(begin, end));
    const qsizetype from = kept.isEmpty() ? 0 : kept.data() - begin;
    text.remove(kept.size() + from, text.size());
    text.remove(0, from);
    text.append(u'\n');
    return std::move(text);
}

} // namespace PDFLayout
