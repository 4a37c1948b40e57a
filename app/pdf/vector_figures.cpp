#include "vector_figures.h"

#include "structured_document.h"
#include "unicode.h"

#include <algorithm>
#include <cmath>

namespace {

using PDFExtract::Box;

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

bool near(const Box& a, const Box& b) {
    return a.x0 <= b.x1 + gather && b.x0 <= a.x1 + gather && a.y0 <= b.y1 + gather &&
           b.y0 <= a.y1 + gather;
}

// The shapes gathered into regions, each the box around its shapes.
QList<Box> clusters(QList<Box> boxes) {
    bool merged = true;
    while (merged) {
        merged = false;
        QList<Box> out;
        for (const Box& box : std::as_const(boxes)) {
            auto into = std::find_if(out.begin(), out.end(),
                                     [&box](const Box& region) { return near(region, box); });
            if (into == out.end()) {
                out.append(box);
                continue;
            }
            into->x0 = std::min(into->x0, box.x0);
            into->y0 = std::min(into->y0, box.y0);
            into->x1 = std::max(into->x1, box.x1);
            into->y1 = std::max(into->y1, box.y1);
            merged = true;
        }
        boxes = std::move(out);
    }
    return boxes;
}

} // namespace

namespace PDFExtract {

bool insideFigure(const Line& line, const Box& figure) {
    const double x = 0.5 * (line.place.x0 + line.place.x1);
    const double y = 0.5 * (line.place.y0 + line.place.y1);
    return x > figure.x0 - gather && x < figure.x1 + gather && y > figure.y0 - gather &&
           y < figure.y1 + gather;
}

QList<Box> vectorFigures(const QList<Box>& shapes, const Page& lines, float pageWidth,
                         float pageHeight) {
    if (shapes.isEmpty() || shapes.size() > maxShapes || !(pageWidth > 0) || !(pageHeight > 0))
        return {};
    QList<bool> captions(lines.size(), false);
    for (qsizetype i = 0; i < lines.size(); ++i)
        captions[i] = StructuredLayout::isCaption(Unicode::trimmed(lines[i].text));
    if (!captions.contains(true))
        return {};
    QList<Box> boxes;
    for (const Box& shape : shapes) {
        // A page's backdrop is no figure; neither is what lies off the page.
        const double width = shape.width(), height = shape.height();
        if (std::isfinite(width) && std::isfinite(height) &&
            width * height < 0.5 * pageWidth * pageHeight && shape.x1 > 0 && shape.y1 > 0 &&
            shape.x0 < pageWidth && shape.y0 < pageHeight)
            boxes.append({std::max(shape.x0, 0.0), std::max(shape.y0, 0.0),
                          std::min(shape.x1, double(pageWidth)),
                          std::min(shape.y1, double(pageHeight))});
    }
    QList<Box> figures;
    QList<bool> used(lines.size(), false); // captions taken
    for (const Box& region : clusters(boxes)) {
        const double width = region.width(), height = region.height();
        if (width < figureFloor || height < figureFloor)
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
