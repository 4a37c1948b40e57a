#include "text_layer.h"

#include "unicode.h"

#include <QHash>
#include <QVarLengthArray>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace {

bool isLineTerminator(char32_t c) {
    return c == U'\n' || c == U'\r' || c == 0x85 || c == 0x2028 || c == 0x2029;
}

int utf16Length(char32_t c) {
    return c > 0xFFFF ? 2 : 1;
}

double sizeOf(std::span<const PDFExtract::Glyph> glyphs) {
    // Keys in the order they first appear, so that a tie keeps the earlier.
    // A line has a few sizes; a hostile one may have a new size per glyph,
    // so past a short scan the keys are found through an index.
    constexpr qsizetype shortScan = 8;
    QVarLengthArray<std::pair<double, qint64>, shortScan> histogram;
    QHash<double, qsizetype> index;
    // Runs of glyphs share a size: the previous glyph's key is kept.
    double lastSize = std::numeric_limits<double>::quiet_NaN();
    qsizetype lastAt = -1;
    for (const PDFExtract::Glyph& glyph : glyphs) {
        if (!glyph.hasFont || !std::isfinite(glyph.size))
            continue;
        if (glyph.size == lastSize) {
            histogram[lastAt].second += utf16Length(glyph.codePoint);
            continue;
        }
        const double key = std::round(glyph.size);
        qsizetype at = -1;
        if (!index.isEmpty()) {
            at = index.value(key, -1);
        } else {
            for (qsizetype i = 0; i < histogram.size() && at < 0; ++i)
                at = histogram[i].first == key ? i : -1;
        }
        if (at < 0) {
            at = histogram.size();
            histogram.append({key, 0});
            if (histogram.size() > shortScan && index.isEmpty()) {
                for (qsizetype i = 0; i < histogram.size(); ++i)
                    index.insert(histogram[i].first, i);
            } else if (!index.isEmpty()) {
                index.insert(key, at);
            }
        }
        histogram[at].second += utf16Length(glyph.codePoint);
        lastSize = glyph.size;
        lastAt = at;
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

bool readsFromTheRight(char32_t c) {
    // Hebrew, Arabic, Syriac, Thaana, N'Ko and their presentation forms.
    return (c >= 0x0590 && c <= 0x08FF) || (c >= 0xFB1D && c <= 0xFDFF) ||
           (c >= 0xFE70 && c <= 0xFEFF) || (c >= 0x10800 && c <= 0x10FFF) ||
           (c >= 0x1E800 && c <= 0x1EFFF);
}

// The glyphs from left to right as they stand on the page, each mark after
// the glyph it was drawn with. Files draw right-to-left text in either
// direction, and mixed lines often in runs (the Arabic words, then a number
// that stands to their left), so the drawing order is no guide.
QList<PDFExtract::Glyph> leftToRight(std::span<const PDFExtract::Glyph> glyphs) {
    std::vector<std::pair<size_t, size_t>> clusters; // [first, last) in drawing order
    for (size_t i = 0; i < glyphs.size(); ++i) {
        const bool mark = QChar::category(glyphs[i].codePoint) == QChar::Mark_NonSpacing;
        if (mark && !clusters.empty())
            clusters.back().second = i + 1;
        else
            clusters.push_back({i, i + 1});
    }
    const auto middle = [&glyphs](const std::pair<size_t, size_t>& cluster) {
        return glyphs[cluster.first].x0 + glyphs[cluster.first].x1;
    };
    std::stable_sort(clusters.begin(), clusters.end(),
                     [&middle](const auto& a, const auto& b) { return middle(a) < middle(b); });
    QList<PDFExtract::Glyph> sorted;
    sorted.reserve(qsizetype(glyphs.size()));
    for (const auto& [first, last] : clusters)
        sorted.append(QList<PDFExtract::Glyph>(glyphs.begin() + first, glyphs.begin() + last));
    return sorted;
}

// The combining mark that an accent glyph stands for, or 0 for other glyphs.
char32_t markOf(char32_t c) {
    switch (c) {
    case U'`':
        return 0x0300;
    case 0x00B4:
        return 0x0301;
    case U'^':
    case 0x02C6:
        return 0x0302;
    case U'~':
    case 0x02DC:
        return 0x0303;
    case 0x00AF:
    case 0x02C9:
        return 0x0304;
    case 0x02D8:
        return 0x0306;
    case 0x02D9:
        return 0x0307;
    case 0x00A8:
        return 0x0308;
    case 0x02DA:
        return 0x030A;
    case 0x02DD:
        return 0x030B;
    case 0x02C7:
        return 0x030C;
    case 0x00B8:
        return 0x0327;
    case 0x02DB:
        return 0x0328;
    case 0x20DD:
        return 0x20DD; // a circle drawn around a letter
    default:
        return c >= 0x0300 && c <= 0x036F ? c : 0;
    }
}

// Whether the accent's middle stands inside the letter. A mark without a
// width of its own is a combining character in the text, not a drawn accent.
bool accents(const PDFExtract::Glyph& accent, const PDFExtract::Glyph& letter) {
    const double middle = (accent.x0 + accent.x1) / 2;
    return Unicode::isAlphabetic(letter.codePoint) && accent.x1 > accent.x0 && middle > letter.x0 &&
           middle < letter.x1;
}

// The letter with the mark as one character, or 0 where Unicode has none.
char32_t composed(char32_t letter, char32_t mark) {
    if (mark == 0x20DD) {
        // A circled c or R is how TeX draws the copyright and registered signs.
        if (letter == U'c' || letter == U'C')
            return 0x00A9;
        return letter == U'r' || letter == U'R' ? 0x00AE : 0;
    }
    const char32_t pair[] = {letter, mark};
    const QList<uint> result = Unicode::nfc(QString::fromUcs4(pair, 2)).toUcs4();
    return result.size() == 1 ? result[0] : 0;
}

// TeX draws an accent as a glyph of its own, placed over its letter (mostly
// just before it); where it stands over a letter the two become the composed
// character, as a reader sees them.
QList<PDFExtract::Glyph> withAccentsComposed(std::span<const PDFExtract::Glyph> glyphs) {
    QList<PDFExtract::Glyph> out;
    out.reserve(qsizetype(glyphs.size()));
    for (size_t i = 0; i < glyphs.size(); ++i) {
        const PDFExtract::Glyph& glyph = glyphs[i];
        if (const char32_t mark = markOf(glyph.codePoint)) {
            if (i + 1 < glyphs.size() && accents(glyph, glyphs[i + 1])) {
                if (const char32_t letter = composed(glyphs[i + 1].codePoint, mark)) {
                    out.append(glyphs[i + 1]);
                    out.last().codePoint = letter;
                    ++i;
                    continue;
                }
            }
            if (!out.isEmpty() && accents(glyph, out.last())) {
                if (const char32_t letter = composed(out.last().codePoint, mark)) {
                    out.last().codePoint = letter;
                    continue;
                }
            }
        }
        out.append(glyph);
    }
    return out;
}

// The box and the font kind most of the line's characters are set in.
PDFExtract::Placement placement(std::span<const PDFExtract::Glyph> glyphs,
                                const PDFExtract::RawLine& raw) {
    qint64 total = 0, bold = 0, italic = 0, monospaced = 0;
    for (const PDFExtract::Glyph& glyph : glyphs) {
        if (!glyph.hasFont || glyph.codePoint == U' ')
            continue;
        ++total;
        bold += glyph.bold;
        italic += glyph.italic;
        monospaced += glyph.monospaced;
    }
    PDFExtract::Placement place;
    place.x0 = float(raw.box.x0);
    place.y0 = float(raw.box.y0);
    place.x1 = float(raw.box.x1);
    place.y1 = float(raw.box.y1);
    place.baseline = float(raw.baseline);
    place.bold = 2 * bold > total;
    place.italic = 2 * italic > total;
    place.monospaced = 2 * monospaced > total;
    return place;
}

// Whether the line holds an accent glyph or right-to-left text; one look at
// each character, as most lines hold neither.
struct Needs {
    bool composing = false;
    bool rightToLeft = false;
};

Needs needsOf(std::span<const PDFExtract::Glyph> glyphs) {
    Needs needs;
    for (const PDFExtract::Glyph& glyph : glyphs) {
        const char32_t c = glyph.codePoint;
        // Below U+0080 only the grave, circumflex and tilde are accents.
        if (c < 0x80) {
            needs.composing = needs.composing || c == U'`' || c == U'^' || c == U'~';
            continue;
        }
        needs.composing = needs.composing || markOf(c) != 0;
        needs.rightToLeft = needs.rightToLeft || readsFromTheRight(c);
    }
    return needs;
}

void appendLine(QList<PDFExtract::PlacedLine>& out, std::span<const PDFExtract::Glyph> glyphs,
                const PDFExtract::RawLine& raw) {
    const PDFExtract::Box& box = raw.box;
    QList<PDFExtract::Glyph> rearranged;
    const auto use = [&glyphs, &rearranged](QList<PDFExtract::Glyph> replacement) {
        rearranged = std::move(replacement);
        glyphs =
            std::span<const PDFExtract::Glyph>(rearranged.constData(), size_t(rearranged.size()));
    };
    Needs needs = needsOf(glyphs);
    if (needs.composing) {
        use(withAccentsComposed(glyphs));
        needs = needsOf(glyphs);
    }
    const bool rightToLeft = needs.rightToLeft;
    if (rightToLeft)
        use(leftToRight(glyphs));
    // Written in place: appending character by character cost more than the
    // rest of our work on a text page.
    QString text(qsizetype(glyphs.size()) * 2, Qt::Uninitialized);
    QChar* end = text.data();
    QList<PDFExtract::Seam> seams;
    for (const PDFExtract::Glyph& glyph : glyphs) {
        const char32_t c = glyph.codePoint;
        if (glyph.seam && !rightToLeft)
            seams.append({end - text.constData(), float(glyph.x0), float(glyph.x1)});
        // A font's character map can name a lone surrogate or a value past
        // U+10FFFF; neither is a character, and a lone half is not valid text.
        if (c < 0xD800) {
            *end++ = QChar(char16_t(c));
        } else if (c > 0x10FFFF || QChar::isSurrogate(c)) {
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
    if (rightToLeft)
        text = Unicode::visualToLogical(text);
    PDFExtract::PlacedLine placed{{text, sizeOf(glyphs), placement(glyphs, raw)}, box};
    placed.line.place.seams = std::move(seams);
    out.append(std::move(placed));
}

// Row pieces further apart than this are separate cells or columns.
constexpr double maxRowGapEms = 3.0;
// Justified word spaces stay below this; two long pieces further apart stand
// in two columns.
constexpr double maxProseGapEms = 1.0;
constexpr qsizetype proseGlyphs = 20;
constexpr double baselineTolerance = 0.25; // of the larger size

bool isProse(const PDFExtract::RawLine& line) {
    return line.glyphs.size() >= proseGlyphs;
}

double emOf(const PDFExtract::RawLine& line) {
    double size = 0;
    for (const PDFExtract::Glyph& glyph : line.glyphs) {
        if (glyph.hasFont && std::isfinite(glyph.size))
            size = qMax(size, glyph.size);
    }
    return size > 0 ? size : line.box.height();
}

// The gap in ems from `left` to `right` when `right` continues its row.
std::optional<double> rowGap(const PDFExtract::RawLine& left, double leftEm,
                             const PDFExtract::RawLine& right, double rightEm) {
    if (left.block != right.block || left.glyphs.isEmpty() || right.glyphs.isEmpty())
        return std::nullopt;
    const double em = qMax(leftEm, rightEm);
    if (!(em > 0) || std::abs(left.baseline - right.baseline) > baselineTolerance * em)
        return std::nullopt;
    const double gap = (right.box.x0 - left.box.x1) / em;
    if (!std::isfinite(gap) || gap < -baselineTolerance || gap > maxRowGapEms)
        return std::nullopt;
    return gap;
}

bool isWhiteSpace(const PDFExtract::Glyph& glyph) {
    return Unicode::isWhiteSpace(glyph.codePoint);
}

} // namespace

namespace PDFExtract {

QList<RawLine> joinRowPieces(const QList<RawLine>& rawLines) {
    const qsizetype count = rawLines.size();
    std::vector<std::optional<double>> gaps(static_cast<size_t>(qMax<qsizetype>(count - 1, 0)));
    // Where a long piece is followed across a wide gap on its row: on a page
    // of two columns drawn row by row, the rows break at the same x.
    QHash<int, int> wideBreaks;
    // A hostile file can place a line anywhere; the key stays an int.
    const auto edge = [](const RawLine& line, int shift) {
        const double x = std::isfinite(line.box.x0) ? std::clamp(line.box.x0, -1e6, 1e6) : 0.0;
        return int(std::lround(x)) + shift;
    };
    std::vector<double> ems(static_cast<size_t>(count));
    for (qsizetype i = 0; i < count; ++i)
        ems[size_t(i)] = emOf(rawLines[i]);
    for (qsizetype i = 0; i + 1 < count; ++i) {
        gaps[size_t(i)] = rowGap(rawLines[i], ems[size_t(i)], rawLines[i + 1], ems[size_t(i + 1)]);
        if (gaps[size_t(i)] && *gaps[size_t(i)] > maxProseGapEms && isProse(rawLines[i]))
            ++wideBreaks[edge(rawLines[i + 1], 0)];
    }
    const auto joins = [&](qsizetype i) {
        const std::optional<double> gap = gaps[size_t(i)];
        if (!gap)
            return false;
        const RawLine& left = rawLines[i];
        const RawLine& right = rawLines[i + 1];
        if (*gap <= maxProseGapEms)
            return true;
        if (isProse(left) && isProse(right))
            return false;
        int breaks = wideBreaks.value(edge(right, -1)) + wideBreaks.value(edge(right, 0)) +
                     wideBreaks.value(edge(right, 1));
        if (isProse(left))
            --breaks; // this row's own
        return breaks == 0;
    };

    QList<RawLine> joined;
    joined.reserve(count);
    for (qsizetype i = 0; i < count; ++i) {
        if (i == 0 || !joins(i - 1)) {
            joined.append(rawLines[i]);
            continue;
        }
        RawLine& row = joined.last();
        const RawLine& piece = rawLines[i];
        // Unless the gap may be a justified space in running text, the space
        // between the pieces, the file's own or one put in, is their seam.
        qsizetype seam = row.glyphs.size();
        double from = row.box.x1, to = piece.box.x0;
        if (isWhiteSpace(row.glyphs.last())) {
            from = row.glyphs.last().x0;
            --seam;
        } else if (isWhiteSpace(piece.glyphs.first())) {
            to = piece.glyphs.first().x1;
        } else {
            // Carries no font, so it weighs nothing in the line's size.
            row.glyphs.append({U' ', 0, false, row.box.x1, piece.box.x0});
        }
        row.glyphs.append(piece.glyphs);
        if (*gaps[size_t(i - 1)] > maxProseGapEms || !isProse(rawLines[i - 1]) || !isProse(piece)) {
            Glyph& space = row.glyphs[seam];
            space.seam = true;
            space.x0 = from;
            space.x1 = to;
        }
        row.box = {qMin(row.box.x0, piece.box.x0), qMin(row.box.y0, piece.box.y0),
                   qMax(row.box.x1, piece.box.x1), qMax(row.box.y1, piece.box.y1)};
    }
    return joined;
}

double dominantSize(const QList<Glyph>& glyphs) {
    return sizeOf(std::span<const Glyph>(glyphs.constData(), glyphs.size()));
}

QList<PlacedLine> textLines(const QList<RawLine>& rawLines) {
    QList<PlacedLine> out;
    out.reserve(rawLines.size());
    for (const RawLine& raw : joinRowPieces(rawLines)) {
        const std::span<const Glyph> glyphs(raw.glyphs.constData(), raw.glyphs.size());
        size_t begin = 0;
        for (size_t i = 0; i < glyphs.size(); ++i) {
            if (!isLineTerminator(glyphs[i].codePoint))
                continue;
            appendLine(out, glyphs.subspan(begin, i - begin), raw);
            // CR LF ends one line, not two.
            if (glyphs[i].codePoint == U'\r' && i + 1 < glyphs.size() &&
                glyphs[i + 1].codePoint == U'\n')
                ++i;
            begin = i + 1;
        }
        appendLine(out, glyphs.subspan(begin), raw);
    }
    return out;
}

} // namespace PDFExtract
