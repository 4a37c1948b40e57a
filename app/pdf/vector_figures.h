#pragma once

#include "text_layer.h"

#include <QList>

// Figures a page draws with paths rather than places as an image: where the
// drawn shapes gather into a region with a caption beside it.
namespace PDFExtract {

// A drawn path that is no rule: its box, and whether it is drawn as an
// upright rectangle (a shaded box, a frame) rather than a line or a curve.
struct Shape {
    Box box;
    bool rectangle = false;
};

// The regions, in page coordinates, of the figures among the page's shapes:
// each a cluster of shapes large enough to be a picture, with a line or a
// curve among them, a caption ("Figure 3: …") directly below or above it,
// and less text inside than a framed paragraph has.
QList<Box> vectorFigures(const QList<Shape>& shapes, const Page& lines, float pageWidth,
                         float pageHeight);

// Whether the line stands inside the figure: its labels are part of the
// picture.
bool insideFigure(const Line& line, const Box& figure);

} // namespace PDFExtract
