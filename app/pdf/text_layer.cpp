#include "text_layer.h"

#include "unicode.h"

#include <QVarLengthArray>

#include <algorithm>
#include <cmath>
#include <span>
#include <utility>

namespace {

bool isLineTerminator(char32_t c) {
    return c == U'\n' || c == U'\r' || c == 0x85 || c == 0x2028 || c == 0x2029;
}

int utf16Length(char32_t c) {
    return c > 0xFFFF ? 2 : 1;
}

double sizeOf(std::span<const PDFExtract::Glyph> glyphs) {
    // Keys in the order they first appear, so that a tie keeps the earlier.
    QVarLengthArray<std::pair<double, qint64>, 8> histogram;
    for (const PDFExtract::Glyph& glyph : glyphs) {
        if (!glyph.hasFont || !std::isfinite(glyph.size))
            continue;
        const double key = std::round(glyph.size);
        auto it = std::find_if(histogram.begin(), histogram.end(),
                               [key](const auto& entry) { return entry.first == key; });
        if (it == histogram.end())
            histogram.append({key, utf16Length(glyph.codePoint)});
        else
            it->second += utf16Length(glyph.codePoint);
    }
    double best = 0;
    qint64 bestWeight = 0;
    for (const auto& [key, weight] : histogram) {
        if (weight > bestWeight) {
            best = key;
            bestWeight = weight;
        }
    }
    return best;
}

void appendLine(QList<PDFExtract::PlacedLine>& out, std::span<const PDFExtract::Glyph> glyphs,
                const PDFExtract::Box& box) {
    // Written in place: appending character by character cost more than the
    // rest of our work on a text page.
    QString text(qsizetype(glyphs.size()) * 2, Qt::Uninitialized);
    QChar* end = text.data();
    for (const PDFExtract::Glyph& glyph : glyphs) {
        const char32_t c = glyph.codePoint;
        // A font's character map can name a lone surrogate or a value past
        // U+10FFFF; neither is a character, and a lone half is not valid text.
        if (c > 0x10FFFF || QChar::isSurrogate(c)) {
            *end++ = QChar(QChar::ReplacementCharacter);
        } else if (QChar::requiresSurrogates(c)) {
            *end++ = QChar(QChar::highSurrogate(c));
            *end++ = QChar(QChar::lowSurrogate(c));
        } else {
            *end++ = QChar(char16_t(c));
        }
    }
    text.truncate(end - text.constData());
    if (Unicode::isBlank(text))
        return;
    out.append({{text, sizeOf(glyphs)}, box});
}

} // namespace

namespace PDFExtract {

double dominantSize(const QList<Glyph>& glyphs) {
    return sizeOf(std::span<const Glyph>(glyphs.constData(), glyphs.size()));
}

QList<PlacedLine> textLines(const QList<RawLine>& rawLines) {
    QList<PlacedLine> out;
    out.reserve(rawLines.size());
    for (const RawLine& raw : rawLines) {
        const std::span<const Glyph> glyphs(raw.glyphs.constData(), raw.glyphs.size());
        size_t begin = 0;
        for (size_t i = 0; i < glyphs.size(); ++i) {
            if (!isLineTerminator(glyphs[i].codePoint))
                continue;
            appendLine(out, glyphs.subspan(begin, i - begin), raw.box);
            // CR LF ends one line, not two.
            if (glyphs[i].codePoint == U'\r' && i + 1 < glyphs.size() &&
                glyphs[i + 1].codePoint == U'\n')
                ++i;
            begin = i + 1;
        }
        appendLine(out, glyphs.subspan(begin), raw.box);
    }
    return out;
}

} // namespace PDFExtract
