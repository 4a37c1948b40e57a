#include "vector_figures.h"

#include "structured_document.h"
#include "unicode.h"

#include <algorithm>
#include <cmath>

namespace {

using PDFExtract::Box;
using PDFExtract::Shape;

// Shapes this close, in points, belong to one drawing.
constexpr double gather = 6.0;
// A figure is at least this large each way, in points.
constexpr double figureFloor = 36.0;
// More shapes than this on a page are left alone: a map or a chart of
// thousands of marks is not clustered shape by shape.
constexpr qsizetype maxShapes = 1500;
// Text covering more of a region than this makes it a framed paragraph.
constexpr double maxTextShare = 0.4;
// A caption stands within this many of its sizes of the figure.
constexpr double captionReach = 2.5;

bool near(const Shape& a, const Shape& b) {
    return a.box.x0 <= b.box.x1 + gather && b.box.x0 <= a.box.x1 + gather &&
           a.box.y0 <= b.box.y1 + gather && b.box.y0 <= a.box.y1 + gather;
}

// The shapes gathered into regions, each the box around its shapes, an
// upright rectangle only when all of them are.
QList<Shape> clusters(QList<Shape> shapes) {
    bool merged = true;
    while (merged) {
        merged = false;
        QList<Shape> out;
        for (const Shape& shape : std::as_const(shapes)) {
            auto into = std::find_if(out.begin(), out.end(),
                                     [&shape](const Shape& region) { return near(region, shape); });
            if (into == out.end()) {
                out.append(shape);
                continue;
            }
            into->box = {std::min(into->box.x0, shape.box.x0), std::min(into->box.y0, shape.box.y0),
                         std::max(into->box.x1, shape.box.x1),
                         std::max(into->box.y1, shape.box.y1)};
            into->rectangle = into->rectangle && shape.rectangle;
            merged = true;
        }
        shapes = std::move(out);
    }
    return shapes;
}

} // namespace

namespace PDFExtract {

bool insideFigure(const Line& line, const Box& figure) {
    const double x = 0.5 * (line.place.x0 + line.place.x1);
    const double y = 0.5 * (line.place.y0 + line.place.y1);
    return x > figure.x0 - gather && x < figure.x1 + gather && y > figure.y0 - gather &&
           y < figure.y1 + gather;
}

QList<Box> vectorFigures(const QList<Shape>& shapes, const Page& lines, float pageWidth,
                         float pageHeight) {
    if (shapes.isEmpty() || shapes.size() > maxShapes || !(pageWidth > 0) || !(pageHeight > 0))
        return {};
    QList<bool> captions(lines.size(), false);
    for (qsizetype i = 0; i < lines.size(); ++i)
        captions[i] = StructuredLayout::isCaption(Unicode::trimmed(lines[i].text));
    if (!captions.contains(true))
        return {};
    QList<Shape> kept;
    for (const Shape& shape : shapes) {
        // A page's backdrop is no figure; neither is what lies off the page.
        const Box& box = shape.box;
        const double width = box.width(), height = box.height();
        if (std::isfinite(width) && std::isfinite(height) &&
            width * height < 0.5 * pageWidth * pageHeight && box.x1 > 0 && box.y1 > 0 &&
            box.x0 < pageWidth && box.y0 < pageHeight)
            kept.append(
                {{std::max(box.x0, 0.0), std::max(box.y0, 0.0), std::min(box.x1, double(pageWidth)),
                  std::min(box.y1, double(pageHeight))},
                 shape.rectangle});
    }
    QList<Box> figures;
    QList<bool> used(lines.size(), false); // captions taken
    for (const Shape& cluster : clusters(kept)) {
        // Shaded boxes and frames alone hold text, code or a table.
        const Box& region = cluster.box;
        const double width = region.width(), height = region.height();
        if (cluster.rectangle || width < figureFloor || height < figureFloor)
            continue;
        double textArea = 0;
        qsizetype caption = -1;
        double distance = 0;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const Placement& place = lines[i].place;
            if (insideFigure(lines[i], region)) {
                textArea += (place.x1 - place.x0) * (place.y1 - place.y0);
                continue;
            }
            if (used[i] || !captions[i] || place.x1 < region.x0 || place.x0 > region.x1)
                continue;
            const double gap =
                place.y0 >= region.y1 - gather ? place.y0 - region.y1 : region.y0 - place.y1;
            if (gap > -gather && gap <= captionReach * std::max(lines[i].size, 1.0) &&
                (caption < 0 || gap < distance)) {
                caption = i;
                distance = gap;
            }
        }
        if (caption < 0 || textArea > maxTextShare * width * height)
            continue;
        used[caption] = true;
        figures.append(region);
    }
    return figures;
}

} // namespace PDFExtract
