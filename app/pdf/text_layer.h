#pragma once

#include "pdf_extract.h"

#include <QList>

// Turns the characters of a page's structured text into lines.
namespace PDFExtract {

// Page coordinates in points, origin at the top left.
struct Box {
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;

    double width() const { return x1 - x0; }
    double height() const { return y1 - y0; }
    friend bool operator==(const Box&, const Box&) = default;
};

struct Glyph {
    char32_t codePoint = 0;
    double size = 0;
    bool hasFont = true;
    double x0 = 0, x1 = 0; // horizontal extent on the page
    bool bold = false, italic = false, monospaced = false;
    // The space between two pieces of a row joined into one line, where it
    // is no justified space; its extent is the gap.
    bool seam = false;
};

// One line as the PDF engine grouped it, with the block it put it in.
struct RawLine {
    QList<Glyph> glyphs;
    Box box;
    int block = 0;
    double baseline = 0;
};

struct PlacedLine {
    Line line;
    Box box;
};

// The key with the greatest weight over runs of (point size, UTF-16 length);
// sizes are rounded halves away from zero and an earlier key keeps a tie.
// 0 when no run carries a font.
double dominantSize(const QList<Glyph>& glyphs);

// The engine splits one visual row into several lines at wide gaps (a section
// number and its title, tab stops, justified runs). Consecutive lines of one
// block on the same baseline and at most a few ems apart become one line,
// with one space between pieces, marked as their seam unless it may be a
// justified space of running text; pieces that stand on either side of a
// column gap are never joined.
QList<RawLine> joinRowPieces(const QList<RawLine>& rawLines);

// The page's lines: row pieces joined, split at line terminators, blank
// lines dropped, each with its dominant size.
QList<PlacedLine> textLines(const QList<RawLine>& rawLines);

} // namespace PDFExtract
