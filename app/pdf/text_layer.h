#pragma once

#include "pdf_extract.h"

#include <QList>

// Turns the characters of a page's structured text into lines: split at line
// terminators, blank lines dropped, each with its dominant size.
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
};

// One line as the PDF engine grouped it.
struct RawLine {
    QList<Glyph> glyphs;
    Box box;
};

struct PlacedLine {
    Line line;
    Box box;
};

// The key with the greatest weight over runs of (point size, UTF-16 length);
// sizes are rounded halves away from zero and an earlier key keeps a tie.
// 0 when no run carries a font.
double dominantSize(const QList<Glyph>& glyphs);

QList<PlacedLine> textLines(const QList<RawLine>& rawLines);

} // namespace PDFExtract
