#pragma once

#include "text_layer.h"

#include <QList>

// The PDF engine gives lines in drawing order, which is the reading order for
// most files but not for pages drawn out of order (two columns drawn row by
// row, lines drawn bottom-up). Such pages are detected from the line boxes and
// re-sorted column by column, top to bottom.
namespace PDFExtract {

// False when the drawing order of `lines` jumps back up within a column, or
// keeps alternating between columns of prose row by row.
bool drawnInReadingOrder(const QList<PlacedLine>& lines);

// Bands between lines that span the text width, columns left to right inside
// each band, lines top to bottom inside each column.
QList<PlacedLine> columnOrder(const QList<PlacedLine>& lines);

// `lines` unchanged when drawn in reading order, otherwise in column order.
QList<PlacedLine> readingOrder(const QList<PlacedLine>& lines);

} // namespace PDFExtract
