#include "reading_order.h"

#include <algorithm>
#include <limits>

namespace {

using PDFExtract::Box;
using PDFExtract::PlacedLine;

bool overlapHorizontally(const Box& a, const Box& b) {
    return qMin(a.x1, b.x1) > qMax(a.x0, b.x0);
}

// Boxes that share most of the smaller one's height stand on one row.
bool sameRow(const Box& a, const Box& b) {
    const double overlap = qMin(a.y1, b.y1) - qMax(a.y0, b.y0);
    return overlap > 0.5 * qMin(a.height(), b.height());
}

// `below` is the next line down in the column of `above`. Columns drawn row
// by row need not share baselines: one may stand a few points higher.
bool continuesColumn(const Box& above, const Box& below) {
    return overlapHorizontally(above, below) && below.y0 > above.y0;
}

// Table rows and numbered entries (a number, then its text on the same row)
// are drawn left to right and must stay so; alternating columns count only
// when every line involved is a long line of prose.
constexpr qsizetype proseCharacters = 20;

bool isProse(const PlacedLine& placed) {
    return placed.line.text.size() >= proseCharacters;
}

// Share of steps that go the wrong way before a page counts as out of order;
// a running header drawn after the body is one such step and stays alone.
constexpr double wrongStepShare = 0.3;

} // namespace

namespace PDFExtract {

bool drawnInReadingOrder(const QList<PlacedLine>& lines) {
    if (lines.size() < 2)
        return true;
    int wrongSteps = 0;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const Box& previous = lines[i - 1].box;
        const Box& next = lines[i].box;
        if (sameRow(previous, next))
            continue;
        const bool up = next.y1 <= previous.y0 + 0.5 * qMin(previous.height(), next.height());
        if (up && overlapHorizontally(previous, next))
            ++wrongSteps; // back up the same column
        else if (!up && !overlapHorizontally(previous, next) && next.x1 <= previous.x0 && i >= 2 &&
                 continuesColumn(lines[i - 2].box, next) && isProse(lines[i - 2]) &&
                 isProse(lines[i - 1]) && isProse(lines[i]))
            ++wrongSteps; // back to the left column for its next line, after one on the right
    }
    return wrongSteps < 2 ||
           static_cast<double>(wrongSteps) < wrongStepShare * static_cast<double>(lines.size() - 1);
}

QList<PlacedLine> columnOrder(const QList<PlacedLine>& lines) {
    if (lines.isEmpty())
        return lines;
    double left = lines[0].box.x0;
    double right = lines[0].box.x1;
    for (const PlacedLine& placed : lines) {
        left = qMin(left, placed.box.x0);
        right = qMax(right, placed.box.x1);
    }
    const double textWidth = right - left;

    // Lines wider than most of the text width cut the page into bands.
    QList<qsizetype> spanning;
    QList<qsizetype> narrow;
    for (qsizetype i = 0; i < lines.size(); ++i)
        (lines[i].box.width() > 0.6 * textWidth ? spanning : narrow).append(i);
    const auto top = [&lines](qsizetype a, qsizetype b) {
        const Box& boxA = lines[a].box;
        const Box& boxB = lines[b].box;
        if (boxA.y0 != boxB.y0)
            return boxA.y0 < boxB.y0;
        return boxA.x0 < boxB.x0;
    };
    std::stable_sort(spanning.begin(), spanning.end(), top);

    QList<PlacedLine> out;
    out.reserve(lines.size());
    qsizetype nextNarrow = 0;
    std::stable_sort(narrow.begin(), narrow.end(), top);
    const auto emitBand = [&](double bottom) {
        // The narrow lines whose middle lies above `bottom`, grouped into
        // columns by overlapping horizontal extents.
        QList<qsizetype> band;
        while (nextNarrow < narrow.size()) {
            const Box& box = lines[narrow[nextNarrow]].box;
            if ((box.y0 + box.y1) / 2 >= bottom)
                break;
            band.append(narrow[nextNarrow++]);
        }
        struct Column {
            double x0, x1;
            QList<qsizetype> members;
        };
        // One sweep from the left: a line joins the column it overlaps.
        std::stable_sort(band.begin(), band.end(), [&lines](qsizetype a, qsizetype b) {
            return lines[a].box.x0 < lines[b].box.x0;
        });
        QList<Column> columns;
        for (qsizetype index : band) {
            const Box& box = lines[index].box;
            if (columns.isEmpty() || box.x0 >= columns.last().x1) {
                columns.append({box.x0, box.x1, {index}});
            } else {
                columns.last().x1 = qMax(columns.last().x1, box.x1);
                columns.last().members.append(index);
            }
        }
        for (Column& column : columns) {
            std::stable_sort(column.members.begin(), column.members.end(), top);
            for (qsizetype index : column.members)
                out.append(lines[index]);
        }
    };
    for (qsizetype index : spanning) {
        const Box& box = lines[index].box;
        emitBand((box.y0 + box.y1) / 2);
        out.append(lines[index]);
    }
    emitBand(std::numeric_limits<double>::infinity());
    return out;
}

QList<PlacedLine> readingOrder(const QList<PlacedLine>& lines) {
    return drawnInReadingOrder(lines) ? lines : columnOrder(lines);
}

} // namespace PDFExtract
