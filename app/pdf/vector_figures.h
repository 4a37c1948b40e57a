#pragma once

#include "text_layer.h"

#include <QList>

// Figures a page draws with paths rather than places as an image: where the
// drawn shapes gather into a region with a caption beside it.
namespace PDFExtract {

// The regions, in page coordinates, of the figures among `shapes` (the
// boxes of the page's drawn paths that are no rules): each a cluster of
// shapes large enough to be a picture, with a caption ("Figure 3: …")
// directly below or above it, and with less text inside than a framed
// paragraph has.
QList<Box> vectorFigures(const QList<Box>& shapes, const Page& lines, float pageWidth,
                         float pageHeight);

// Whether the line stands inside the figure: its labels are part of the
// picture.
bool insideFigure(const Line& line, const Box& figure);

} // namespace PDFExtract
