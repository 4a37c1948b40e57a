#include "text_layer.h"

#include "unicode.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

bool isLineTerminator(char32_t c) {
    return c == U'\n' || c == U'\r' || c == 0x85 || c == 0x2028 || c == 0x2029;
}

int utf16Length(char32_t c) {
    return c > 0xFFFF ? 2 : 1;
}

void appendLine(QList<PDFExtract::PlacedLine>& out, const QList<PDFExtract::Glyph>& glyphs,
                const PDFExtract::Box& box) {
    QString text;
    text.reserve(glyphs.size());
    for (const PDFExtract::Glyph& glyph : glyphs) {
        // A font's character map can name a lone surrogate or a value past
        // U+10FFFF; neither is a character, and a lone half is not valid text.
        if (glyph.codePoint > 0x10FFFF || QChar::isSurrogate(glyph.codePoint))
            text.append(QChar(QChar::ReplacementCharacter));
        else
            text.append(QStringView(QChar::fromUcs4(glyph.codePoint)));
    }
    if (Unicode::isBlank(text))
        return;
    out.append({{text, PDFExtract::dominantSize(glyphs)}, box});
}

} // namespace

namespace PDFExtract {

double dominantSize(const QList<Glyph>& glyphs) {
    // Keys in the order they first appear, so that a tie keeps the earlier.
    QList<std::pair<double, qint64>> histogram;
    for (const Glyph& glyph : glyphs) {
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

QList<PlacedLine> textLines(const QList<RawLine>& rawLines) {
    QList<PlacedLine> out;
    for (const RawLine& raw : rawLines) {
        QList<Glyph> current;
        for (qsizetype i = 0; i < raw.glyphs.size(); ++i) {
            const Glyph& glyph = raw.glyphs[i];
            if (!isLineTerminator(glyph.codePoint)) {
                current.append(glyph);
                continue;
            }
            // CR LF ends one line, not two.
            if (glyph.codePoint == U'\r' && i + 1 < raw.glyphs.size() &&
                raw.glyphs[i + 1].codePoint == U'\n')
                ++i;
            appendLine(out, current, raw.box);
            current.clear();
        }
        appendLine(out, current, raw.box);
    }
    return out;
}

} // namespace PDFExtract
