#include "pdf_tables.h"

#include "markdown_escape.h"
#include "pdf_layout.h"
#include "structured_layout.h"
#include "text_repair.h"
#include "unicode.h"

#include <QMap>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <utility>

using namespace Qt::StringLiterals;
using PDFExtract::Line;
using PDFExtract::Page;
using PDFExtract::Rule;
using PDFTables::Table;

namespace {

// Rules this close, in points, are one; grid lines closer than this are one.
constexpr float snap = 2.5f;
// A page drawing more rules than this is a chart or a map, not a table.
constexpr qsizetype maxRules = 4000;
// Rows of a table without rules: pieces at least this many sizes apart are
// cells, rows at most this many sizes apart are one table.
constexpr double cellGap = 0.8;
constexpr double rowReach = 2.6;
// More words than this per cell on average is running text in columns.
constexpr double maxWordsPerCell = 5.0;
// Share of the page height at its top and bottom where furniture stands.
constexpr float bandShare = 0.08f;
// A header has at most this many rows.
constexpr qsizetype maxHeaderRows = 3;
// Bands all at least this share of the page wide are the page's own columns.
constexpr float pageColumnShare = 0.3f;

struct Segment {
    float at = 0, from = 0, to = 0; // y and x extent for a horizontal rule
};

// Where rules of one direction, none missing, begin and end along it.
std::pair<float, float> extent(const QList<Segment>& rules) {
    float from = rules.first().from, to = rules.first().to;
    for (const Segment& rule : rules) {
        from = std::min(from, rule.from);
        to = std::max(to, rule.to);
    }
    return {from, to};
}

// Pieces of one rule, drawn apart or overlapping, as one segment.
QList<Segment> merged(QList<Segment> segments) {
    std::sort(segments.begin(), segments.end(),
              [](const Segment& a, const Segment& b) { return a.from < b.from; });
    QList<Segment> out;
    for (const Segment& segment : std::as_const(segments)) {
        const auto joins = std::find_if(out.begin(), out.end(), [&segment](const Segment& o) {
            return std::abs(o.at - segment.at) <= snap && segment.from <= o.to + snap;
        });
        if (joins != out.end())
            joins->to = std::max(joins->to, segment.to);
        else
            out.append(segment);
    }
    return out;
}

// Positions within `snap` of each other as their middle.
QList<float> clustered(QList<float> values) {
    std::sort(values.begin(), values.end());
    QList<float> out;
    float sum = 0;
    int count = 0;
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (count > 0 && values[i] - values[i - 1] > snap) {
            out.append(sum / float(count));
            sum = 0;
            count = 0;
        }
        sum += values[i];
        ++count;
    }
    if (count > 0)
        out.append(sum / float(count));
    return out;
}

void addEdge(QList<float>& positions, float edge) {
    if (std::none_of(positions.begin(), positions.end(),
                     [edge](float at) { return std::abs(at - edge) <= snap; }))
        positions.append(edge);
    std::sort(positions.begin(), positions.end());
}

// Whether a rule at `at` runs through the middle of [lo, hi].
bool divides(const QList<Segment>& segments, float at, float lo, float hi) {
    const float middle = 0.5f * (lo + hi);
    return std::any_of(segments.begin(), segments.end(), [&](const Segment& segment) {
        return std::abs(segment.at - at) <= snap && segment.from <= middle + snap &&
               segment.to >= middle - snap;
    });
}

qsizetype find(QList<qsizetype>& parent, qsizetype i) {
    while (parent[i] != i)
        i = parent[i] = parent[parent[i]];
    return i;
}

// The smaller index stays the root: a spanning cell belongs to its first.
void unite(QList<qsizetype>& parent, qsizetype a, qsizetype b) {
    a = find(parent, a);
    b = find(parent, b);
    if (a != b)
        parent[std::max(a, b)] = std::min(a, b);
}

bool usable(const Line& line) {
    return !line.place.block && line.place.pageHeight > 0 && line.place.y1 > line.place.y0 &&
           !Unicode::isBlank(line.text);
}

// The lines of one cell in reading order: pieces of one row joined with a
// space, rows as running text, list items each on a line of their own.
QString cellText(const Page& page, QList<qsizetype> lines) {
    std::sort(lines.begin(), lines.end(), [&page](qsizetype a, qsizetype b) {
        const PDFExtract::Placement &pa = page[a].place, &pb = page[b].place;
        if (std::abs(pa.baseline - pb.baseline) > 0.5 * std::max(page[a].size, 1.0))
            return pa.baseline < pb.baseline;
        return pa.x0 < pb.x0;
    });
    QString text;
    const Line* previous = nullptr;
    for (qsizetype index : std::as_const(lines)) {
        const Line& line = page[index];
        const QString piece = Unicode::trimmed(line.text).toString();
        const bool sameRow = previous && std::abs(previous->place.baseline - line.place.baseline) <=
                                             0.5 * std::max(line.size, 1.0);
        if (text.isEmpty())
            text = piece;
        else if (sameRow)
            text += u' ' + piece;
        else if (StructuredLayout::listMarker(piece))
            text += u"<br>"_s + piece;
        else if (PDFLayout::joinsSplitWord(text, piece))
            text = text.chopped(1) + piece;
        else
            text += u' ' + piece;
        previous = &line;
    }
    return PDFLayout::collapseWs(text);
}

// How many rows of text the lines stand on.
qsizetype baselines(const Page& page, const QList<qsizetype>& lines) {
    QList<float> at;
    for (qsizetype line : lines)
        at.append(page[line].place.baseline);
    std::sort(at.begin(), at.end());
    qsizetype count = 0;
    for (qsizetype i = 0; i < at.size(); ++i)
        count += i == 0 || at[i] - at[i - 1] > 0.5f * float(std::max(page[lines[0]].size, 1.0));
    return count;
}

// The rows of text in one grid row whose columns are ruled but whose rows
// are not: a new row starts on each baseline that every column with text
// shares, and lines under it in some columns only are its wrapped cells.
// Nothing unless that makes three rows: two may be one row's cells that
// all wrap.
std::optional<QList<QStringList>> rowsByBaseline(const Page& page,
                                                 const QList<QList<qsizetype>>& columns) {
    struct Mark {
        qsizetype line, column;
    };
    QList<Mark> marks;
    qsizetype filled = 0;
    for (qsizetype c = 0; c < columns.size(); ++c) {
        filled += !columns[c].isEmpty();
        for (qsizetype line : columns[c])
            marks.append({line, c});
    }
    if (filled < 2 || marks.size() < 2 * filled)
        return std::nullopt;
    std::sort(marks.begin(), marks.end(), [&page](const Mark& a, const Mark& b) {
        return page[a.line].place.baseline < page[b.line].place.baseline;
    });
    QList<QList<QList<qsizetype>>> rows; // per row, the lines of each column
    for (qsizetype begin = 0; begin < marks.size();) {
        const PDFExtract::Placement& first = page[marks[begin].line].place;
        const double size = std::max(page[marks[begin].line].size, 1.0);
        qsizetype end = begin;
        QList<bool> hit(columns.size(), false);
        qsizetype hits = 0;
        while (end < marks.size() &&
               page[marks[end].line].place.baseline - first.baseline <= 0.5 * size) {
            hits += !hit[marks[end].column];
            hit[marks[end].column] = true;
            ++end;
        }
        if (hits == filled) {
            rows.append(QList<QList<qsizetype>>(columns.size()));
        } else if (rows.isEmpty()) {
            return std::nullopt;
        }
        for (qsizetype m = begin; m < end; ++m)
            rows.last()[marks[m].column].append(marks[m].line);
        begin = end;
    }
    if (rows.size() < 3)
        return std::nullopt;
    QList<QStringList> out;
    for (const QList<QList<qsizetype>>& row : std::as_const(rows)) {
        QStringList texts(columns.size());
        for (qsizetype c = 0; c < columns.size(); ++c) {
            if (!row[c].isEmpty())
                texts[c] = cellText(page, row[c]);
        }
        out.append(texts);
    }
    return out;
}

// Rows and columns without any text left out; nothing when fewer than two
// of either remain.
std::optional<QList<QStringList>> trimmedGrid(QList<QStringList> rows) {
    rows.removeIf([](const QStringList& row) {
        return std::all_of(row.begin(), row.end(), [](const QString& c) { return c.isEmpty(); });
    });
    if (rows.size() < 2)
        return std::nullopt;
    for (qsizetype c = rows[0].size() - 1; c >= 0; --c) {
        if (std::all_of(rows.begin(), rows.end(),
                        [c](const QStringList& row) { return row[c].isEmpty(); })) {
            for (QStringList& row : rows)
                row.removeAt(c);
        }
    }
    if (rows[0].size() < 2)
        return std::nullopt;
    return rows;
}

qsizetype words(QStringView text) {
    qsizetype count = 0;
    bool inWord = false;
    for (QChar c : text) {
        count += !c.isSpace() && !inWord;
        inWord = !c.isSpace();
    }
    return count;
}

// "abs, 37" or "bind, 53, 102": a term and its pages; "1,000" is a number.
bool isIndexEntry(QStringView text) {
    static const QRegularExpression entry(uR"(,\s+\d+(\s*[,\x{2013}-]\s*\d+)*,?$)"_s);
    return entry.match(text.toString()).hasMatch();
}

// Text of bracket extension pieces alone: TeX sets them in a private-use
// area or as the Unicode bracket pieces, or their font maps them to nothing.
bool isBracketPiece(QStringView text) {
    bool piece = false;
    for (QChar c : text) {
        if (c.isSpace())
            continue;
        if (c.category() != QChar::Other_PrivateUse && c != QChar::ReplacementCharacter &&
            (c.unicode() < 0x239B || c.unicode() > 0x23AD))
            return false;
        piece = true;
    }
    return piece;
}

bool isOperator(QStringView text) {
    return text.size() == 1 && (text[0].category() == QChar::Symbol_Math ||
                                QStringView(u"-\u2212=<>").contains(text[0]));
}

// Unescaped pipes of a table row, less one: its number of cells.
qsizetype cellCount(QStringView row) {
    qsizetype pipes = 0;
    for (qsizetype i = 0; i < row.size(); ++i)
        pipes += row[i] == u'|' && (i == 0 || row[i - 1] != u'\\');
    return pipes - 1;
}

bool isTable(QStringView markdown) {
    const qsizetype feed = markdown.indexOf(u'\n');
    return markdown.startsWith(u"| "_s) && feed > 0 &&
           markdown.sliced(feed + 1).startsWith(u"| ---"_s);
}

// The page with every joined row split back into its pieces, and for each
// piece the index of the line it came from.
struct Pieces {
    Page page;
    QList<qsizetype> from;
};

Pieces piecesOf(const Page& page) {
    Pieces out;
    for (qsizetype i = 0; i < page.size(); ++i) {
        const Line& line = page[i];
        qsizetype begin = 0;
        float x0 = line.place.x0;
        for (const PDFExtract::Seam& seam : line.place.seams) {
            if (seam.at < begin || seam.at >= line.text.size())
                break;
            Line piece = line;
            piece.text = line.text.sliced(begin, seam.at - begin);
            piece.place.x0 = x0;
            piece.place.x1 = seam.x0;
            piece.place.seams.clear();
            out.page.append(std::move(piece));
            out.from.append(i);
            begin = seam.at + 1;
            x0 = seam.x1;
        }
        out.page.append(line);
        out.from.append(i);
        if (begin > 0) {
            Line& piece = out.page.last();
            piece.text = line.text.sliced(begin);
            piece.place.x0 = x0;
            piece.place.seams.clear();
        }
    }
    return out;
}

// How many rows at the top of a table without rules are its header: those
// above a rule drawn across most of it under one of its first rows, else
// those set in bold, else one.
template <typename Cells>
qsizetype headerRows(const Page& page, const QList<Cells>& rows, const QList<float>& tops,
                     const QList<float>& bottoms, const Table& table, const QList<Rule>& rules) {
    const qsizetype most = std::min(maxHeaderRows, rows.size() - 2);
    for (qsizetype r = 0; r < most; ++r) {
        const bool ruled = std::any_of(rules.begin(), rules.end(), [&](const Rule& rule) {
            const float from = std::max(std::min(rule.x0, rule.x1), table.x0);
            const float to = std::min(std::max(rule.x0, rule.x1), table.x1);
            return rule.horizontal() && rule.y0 >= bottoms[r] - snap &&
                   rule.y0 <= tops[r + 1] + snap && to - from >= 0.5f * (table.x1 - table.x0);
        });
        if (ruled)
            return r + 1;
    }
    // A table set in bold throughout has no bold header.
    qsizetype bold = 0;
    while (bold < rows.size() &&
           std::all_of(rows[bold].begin(), rows[bold].end(), [&](const auto& cell) {
               return std::all_of(cell.lines.begin(), cell.lines.end(),
                                  [&](qsizetype line) { return page[line].place.bold; });
           }))
        ++bold;
    return bold > most ? 1 : std::max<qsizetype>(bold, 1);
}

} // namespace

namespace PDFTables {

QList<Table> ruledTables(const Page& page, const QList<Rule>& rules) {
    if (rules.size() > maxRules)
        return {};
    QList<Segment> across, down;
    for (const Rule& rule : rules) {
        if (rule.horizontal())
            across.append({rule.y0, std::min(rule.x0, rule.x1), std::max(rule.x0, rule.x1)});
        else
            down.append({rule.x0, std::min(rule.y0, rule.y1), std::max(rule.y0, rule.y1)});
    }
    across = merged(across);
    down = merged(down);
    if (across.size() < 2 || down.isEmpty())
        return {};

    // Rules that touch belong to one grid.
    const qsizetype count = across.size() + down.size();
    QList<qsizetype> parent(count);
    std::iota(parent.begin(), parent.end(), 0);
    for (qsizetype h = 0; h < across.size(); ++h) {
        for (qsizetype v = 0; v < down.size(); ++v) {
            const Segment &a = across[h], &d = down[v];
            if (d.at >= a.from - snap && d.at <= a.to + snap && a.at >= d.from - snap &&
                a.at <= d.to + snap)
                unite(parent, h, across.size() + v);
        }
    }

    QList<Table> tables;
    QList<bool> taken(page.size(), false);
    for (qsizetype root = 0; root < across.size(); ++root) {
        if (find(parent, root) != root)
            continue;
        QList<Segment> hs, vs;
        for (qsizetype i = 0; i < count; ++i) {
            if (find(parent, i) != root)
                continue;
            if (i < across.size())
                hs.append(across[i]);
            else
                vs.append(down[i - across.size()]);
        }
        if (hs.size() < 2 || vs.isEmpty())
            continue;
        QList<float> ys, xs;
        for (const Segment& h : std::as_const(hs))
            ys.append(h.at);
        for (const Segment& v : std::as_const(vs))
            xs.append(v.at);
        ys = clustered(ys);
        xs = clustered(xs);
        // Grids drawn without outer borders end where their rules do.
        const auto [left, right] = extent(hs);
        const auto [bottom, top] = extent(vs);
        addEdge(xs, left);
        addEdge(xs, right);
        addEdge(ys, bottom);
        addEdge(ys, top);
        const qsizetype rows = ys.size() - 1, columns = xs.size() - 1;
        if (rows < 2 || columns < 2)
            continue;

        QList<qsizetype> cell(rows * columns);
        std::iota(cell.begin(), cell.end(), 0);
        for (qsizetype r = 0; r < rows; ++r) {
            for (qsizetype c = 0; c < columns; ++c) {
                if (c + 1 < columns && !divides(vs, xs[c + 1], ys[r], ys[r + 1]))
                    unite(cell, r * columns + c, r * columns + c + 1);
                if (r + 1 < rows && !divides(hs, ys[r + 1], xs[c], xs[c + 1]))
                    unite(cell, r * columns + c, (r + 1) * columns + c);
            }
        }

        QList<QList<qsizetype>> linesOf(rows * columns);
        Table table{xs.first(), ys.first(), xs.last(), ys.last(), {}, {}};
        for (qsizetype i = 0; i < page.size(); ++i) {
            const PDFExtract::Placement& place = page[i].place;
            if (taken[i] || !usable(page[i]))
                continue;
            const float x = 0.5f * (place.x0 + place.x1), y = 0.5f * (place.y0 + place.y1);
            if (x <= table.x0 || x >= table.x1 || y <= table.y0 || y >= table.y1)
                continue;
            const qsizetype c = std::upper_bound(xs.begin(), xs.end(), x) - xs.begin() - 1;
            const qsizetype r = std::upper_bound(ys.begin(), ys.end(), y) - ys.begin() - 1;
            linesOf[find(cell, r * columns + c)].append(i);
            table.lines.append(i);
        }
        // Rules around rows set without column rules frame a table that is
        // not ruled inside: it is left to the finder of tables without rules.
        QList<QList<bool>> spans(rows * columns);
        for (qsizetype at = 0; at < rows * columns; ++at) {
            QList<bool>& covered = spans[find(cell, at)];
            covered.resize(columns, false);
            covered[at % columns] = true;
        }
        bool framed = false;
        for (qsizetype at = 0; at < rows * columns && !framed; ++at) {
            framed = !spans[at].isEmpty() && !spans[at].contains(false) &&
                     baselines(page, linesOf[at]) >= 3;
        }
        if (framed)
            continue;
        // A title across the whole top row names the table: it stays a line
        // of its own above it.
        qsizetype first = 0;
        if (rows > 2 && !spans[0].contains(false) && !linesOf[0].isEmpty()) {
            table.lines.removeIf([&](qsizetype line) { return linesOf[0].contains(line); });
            first = 1;
        }
        QList<QStringList> grid;
        for (qsizetype r = first; r < rows; ++r) {
            // A grid row that no cell spans into or out of, holding several
            // rows of text drawn without rules between them.
            QList<QList<qsizetype>> inRow(columns);
            bool alone = true;
            for (qsizetype c = 0; c < columns; ++c) {
                const qsizetype root = find(cell, r * columns + c);
                alone = alone && root / columns == r &&
                        (r + 1 == rows || find(cell, (r + 1) * columns + c) / columns != r);
                if (root == r * columns + c)
                    inRow[c] = linesOf[root];
            }
            if (std::optional<QList<QStringList>> split =
                    alone ? rowsByBaseline(page, inRow) : std::nullopt) {
                grid += *split;
                continue;
            }
            QStringList row(columns);
            for (qsizetype c = 0; c < columns; ++c) {
                const qsizetype at = r * columns + c;
                if (find(cell, at) == at && !linesOf[at].isEmpty())
                    row[c] = cellText(page, linesOf[at]);
            }
            grid.append(row);
        }
        std::optional<QList<QStringList>> kept = trimmedGrid(std::move(grid));
        if (!kept)
            continue;
        table.rows = std::move(*kept);
        for (qsizetype i : std::as_const(table.lines))
            taken[i] = true;
        tables.append(std::move(table));
    }
    return tables;
}

QList<Table> unruledTables(const Page& page, const QList<bool>& taken, const QList<Rule>& rules) {
    struct Cell {
        float x0, x1;
        QList<qsizetype> lines;
    };
    struct Row {
        float baseline, y0, y1;
        double size;
        QList<Cell> cells;
        bool band = false;
    };

    // Running headers and footers stand in the page's bands.
    const auto inBand = [](const PDFExtract::Placement& place) {
        return place.y1 < bandShare * place.pageHeight ||
               place.y0 > (1 - bandShare) * place.pageHeight;
    };
    QList<qsizetype> order;
    for (qsizetype i = 0; i < page.size(); ++i) {
        if (!taken.value(i) && usable(page[i]))
            order.append(i);
    }
    std::sort(order.begin(), order.end(), [&page](qsizetype a, qsizetype b) {
        const PDFExtract::Placement &pa = page[a].place, &pb = page[b].place;
        return pa.baseline != pb.baseline ? pa.baseline < pb.baseline : pa.x0 < pb.x0;
    });
    QList<Row> rows;
    for (qsizetype i : std::as_const(order)) {
        const Line& line = page[i];
        const double size = std::max(line.size, 1.0);
        if (rows.isEmpty() || line.place.baseline - rows.last().baseline > 0.4 * size)
            rows.append({line.place.baseline, line.place.y0, line.place.y1, size, {}});
        Row& row = rows.last();
        row.y0 = std::min(row.y0, line.place.y0);
        row.y1 = std::max(row.y1, line.place.y1);
        row.band = row.band || inBand(line.place);
        row.cells.append({line.place.x0, line.place.x1, {i}});
    }
    // Pieces set closer than a cell gap are one cell.
    for (Row& row : rows) {
        std::sort(row.cells.begin(), row.cells.end(),
                  [](const Cell& a, const Cell& b) { return a.x0 < b.x0; });
        QList<Cell> cells;
        for (const Cell& cell : std::as_const(row.cells)) {
            if (!cells.isEmpty() && cell.x0 - cells.last().x1 < cellGap * row.size) {
                cells.last().x1 = std::max(cells.last().x1, cell.x1);
                cells.last().lines += cell.lines;
            } else {
                cells.append(cell);
            }
        }
        row.cells = std::move(cells);
    }

    struct Band {
        float x0, x1;
    };
    // The band each cell stands in, adding bands where a cell stands apart
    // from all; nothing when a cell crosses two bands or shares one.
    const auto fit = [](QList<Band>& bands, const Row& row) -> std::optional<QList<qsizetype>> {
        QList<Band> grown = bands;
        QList<qsizetype> at;
        for (const Cell& cell : row.cells) {
            qsizetype hit = -1;
            for (qsizetype b = 0; b < grown.size(); ++b) {
                if (cell.x0 < grown[b].x1 && cell.x1 > grown[b].x0) {
                    if (hit >= 0)
                        return std::nullopt;
                    hit = b;
                }
            }
            if (hit < 0) {
                grown.append({cell.x0, cell.x1});
                hit = grown.size() - 1;
            } else {
                grown[hit] = {std::min(grown[hit].x0, cell.x0), std::max(grown[hit].x1, cell.x1)};
            }
            if (at.contains(hit))
                return std::nullopt;
            at.append(hit);
        }
        // Grown bands must still stand apart.
        for (qsizetype a = 0; a < grown.size(); ++a) {
            for (qsizetype b = a + 1; b < grown.size(); ++b) {
                if (grown[a].x0 < grown[b].x1 && grown[a].x1 > grown[b].x0)
                    return std::nullopt;
            }
        }
        bands = std::move(grown);
        return at;
    };

    QList<Table> tables;
    for (qsizetype start = 0; start < rows.size();) {
        if (rows[start].cells.size() < 2 || rows[start].band) {
            ++start;
            continue;
        }
        QList<Band> bands;
        QList<QList<qsizetype>> placed; // per table row, the band of each cell
        QList<QList<Cell>> cells;
        QList<float> tops, bottoms;
        if (std::optional<QList<qsizetype>> at = fit(bands, rows[start])) {
            placed.append(*at);
            cells.append(rows[start].cells);
            tops.append(rows[start].y0);
            bottoms.append(rows[start].y1);
        }
        qsizetype last = start, next = start + 1;
        for (; next < rows.size() && !placed.isEmpty(); ++next) {
            const Row& row = rows[next];
            const double size = std::max(row.size, rows[last].size);
            if (row.y0 - rows[last].y1 > rowReach * size - (rows[last].y1 - rows[last].y0))
                break;
            QList<Band> trial = bands;
            std::optional<QList<qsizetype>> at = fit(trial, row);
            // A table runs on into a band only with whole rows in its columns.
            if (!at || (row.band && (row.cells.size() < 2 || trial.size() != bands.size())))
                break;
            if (row.cells.size() >= 2) {
                bands = std::move(trial);
                placed.append(*at);
                cells.append(row.cells);
                tops.append(row.y0);
                bottoms.append(row.y1);
            } else if (trial.size() == bands.size() &&
                       row.baseline - rows[last].baseline <= 1.6 * size) {
                // A wrapped cell: its next line, under it and alone in its row.
                const qsizetype band = at->first();
                const qsizetype in = placed.last().indexOf(band);
                if (in < 0)
                    break;
                cells.last()[in].lines += row.cells.first().lines;
                bottoms.last() = std::max(bottoms.last(), row.y1);
            } else {
                break;
            }
            last = next;
        }
        if (placed.size() < 3 || bands.size() < 2) {
            ++start;
            continue;
        }

        // Columns in page order.
        QList<qsizetype> byX(bands.size());
        std::iota(byX.begin(), byX.end(), 0);
        std::sort(byX.begin(), byX.end(),
                  [&bands](qsizetype a, qsizetype b) { return bands[a].x0 < bands[b].x0; });
        QList<qsizetype> column(bands.size());
        for (qsizetype c = 0; c < byX.size(); ++c)
            column[byX[c]] = c;
        // A list of terms and their descriptions reads like two columns
        // where the terms are short; next to these rows, a long term stands
        // alone with its description under it, at the second column.
        const auto termAbove = [&](qsizetype term) {
            if (term < 0 || term + 1 >= rows.size() || rows[term].cells.size() != 1 ||
                rows[term + 1].cells.size() != 1)
                return false;
            const double size = rows[term].size;
            return std::abs(rows[term].cells[0].x0 - bands[byX[0]].x0) < size &&
                   std::abs(rows[term + 1].cells[0].x0 - bands[byX[1]].x0) < size &&
                   rows[term + 1].y0 - rows[term].y1 < rowReach * size;
        };
        if (termAbove(start - 2) || termAbove(last + 1)) {
            ++start;
            continue;
        }

        Table table{
            bands[byX.first()].x0, rows[start].y0, bands[byX.last()].x1, rows[last].y1, {}, {}};
        qsizetype wordTotal = 0, cellTotal = 0, indexEntries = 0, monospaced = 0;
        bool prose = false, lettered = false;
        QList<QStringList> grid;
        for (qsizetype r = 0; r < placed.size(); ++r) {
            QStringList row(bands.size());
            for (qsizetype k = 0; k < placed[r].size(); ++k) {
                const QString text = cellText(page, cells[r][k].lines);
                row[column[placed[r][k]]] = text;
                wordTotal += words(text);
                indexEntries += isIndexEntry(text);
                ++cellTotal;
                table.lines += cells[r][k].lines;
                for (qsizetype line : std::as_const(cells[r][k].lines))
                    monospaced += page[line].place.monospaced;
                lettered = lettered || std::any_of(text.begin(), text.end(),
                                                   [](QChar c) { return c.isLetter(); });
                // A matrix's brackets are drawn in pieces, one a row.
                prose = prose || isBracketPiece(text);
                // Contents entries with leaders, and list markers set apart
                // from their items, line up like columns too.
                prose = prose || StructuredLayout::withoutDotLeaders(text).size() != text.size() ||
                        text.contains(u". . ."_s) || text.contains(u"...."_s) ||
                        (column[placed[r][k]] == 0 && text.size() <= 4 &&
                         StructuredLayout::listMarker(text + u" x"_s));
            }
            grid.append(row);
        }
        // Columns of the page (an index, two columns of text) are each wide.
        const float pageWidth = page[cells[0][0].lines.first()].place.pageWidth;
        prose = prose || std::all_of(bands.begin(), bands.end(), [pageWidth](const Band& band) {
                    return band.x1 - band.x0 >= pageColumnShare * pageWidth;
                });
        // So is an index, its entries ending in page numbers, and so are
        // aligned formulas: a column of relations or operators alone, or
        // rows mostly empty between the pieces of a matrix's brackets.
        prose = prose || 2 * indexEntries > cellTotal ||
                2 * cellTotal < placed.size() * bands.size() ||
                std::any_of(byX.begin(), byX.end(), [&](qsizetype band) {
                    bool operators = true;
                    for (qsizetype r = 0; r < placed.size() && operators; ++r) {
                        const qsizetype k = placed[r].indexOf(band);
                        operators = k < 0 || isOperator(cellText(page, cells[r][k].lines));
                    }
                    return operators;
                });
        // Neither are definitions with their kind in the margin ("[Function]"),
        // nor code with its lines numbered.
        for (qsizetype c = 0; c < bands.size() && !prose; ++c) {
            bool tags = true, numbered = c == 0;
            for (qsizetype r = 0; r < grid.size(); ++r) {
                const QString& text = grid[r][c];
                tags = tags && (text.isEmpty() || (text.startsWith(u'[') && text.endsWith(u']')));
                numbered = numbered && text.toInt() == grid[0][c].toInt() + r && text.toInt() > 0;
            }
            prose = tags || numbered;
        }
        // Nor is a contents page: titles, or numbered sections, with their
        // pages rising in the last column.
        bool pages = true, sections = true;
        for (qsizetype r = 0; r < grid.size() && pages; ++r) {
            bool number = false;
            const int page = grid[r].last().toInt(&number);
            pages = number && (r == 0 || page >= grid[r - 1].last().toInt());
            sections = sections && !grid[r].first().isEmpty() && grid[r].first()[0].isDigit();
        }
        prose = prose || (pages && (bands.size() == 2 || sections));
        // Aligned code is all monospaced; rows of numbers alone are a
        // matrix or a data file's listing.
        prose = prose || monospaced == table.lines.size() || !lettered;
        const qsizetype header = headerRows(page, cells, tops, bottoms, table, rules);
        if (header > 1) {
            QStringList merged(bands.size());
            for (qsizetype r = 0; r < header; ++r) {
                for (qsizetype c = 0; c < bands.size(); ++c) {
                    if (!grid[r][c].isEmpty())
                        merged[c] += (merged[c].isEmpty() ? u""_s : u" "_s) + grid[r][c];
                }
            }
            grid.remove(0, header);
            grid.prepend(merged);
        }
        std::optional<QList<QStringList>> kept = trimmedGrid(std::move(grid));
        if (prose || !kept || double(wordTotal) > maxWordsPerCell * double(cellTotal)) {
            ++start;
            continue;
        }
        table.rows = std::move(*kept);
        tables.append(std::move(table));
        start = last + 1;
    }
    return tables;
}

QString markdown(const Table& table) {
    const auto row = [](const QStringList& cells) {
        QString out = u"|"_s;
        for (const QString& cell : cells) {
            QString text = MarkdownEscape::inlineText(cell);
            text.replace(u'|', u"\\|"_s);
            out += u' ' + text + u" |"_s;
        }
        return out;
    };
    QStringList lines{row(table.rows.first())};
    lines.append(u"|"_s + QString(u" --- |"_s).repeated(table.rows.first().size()));
    for (qsizetype r = 1; r < table.rows.size(); ++r)
        lines.append(row(table.rows[r]));
    return lines.join(u'\n');
}

std::optional<QString> continued(QStringView first, QStringView second) {
    if (!isTable(first) || !isTable(second))
        return std::nullopt;
    const QStringView header = first.first(first.indexOf(u'\n'));
    const QList<QStringView> lines = second.split(u'\n');
    if (cellCount(header) != cellCount(lines.first()))
        return std::nullopt;
    QString out = first.toString();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i != 1 && (i != 0 || lines[0] != header))
            out += u'\n' + lines[i].toString();
    }
    return out;
}

Page withTables(const Page& page, const QList<Rule>& rules) {
    // Cells that the row joining put into one line stand apart again.
    const Pieces pieces = piecesOf(page);
    QList<Table> tables = ruledTables(pieces.page, rules);
    QList<bool> taken(pieces.page.size(), false);
    for (const Table& table : std::as_const(tables)) {
        for (qsizetype i : table.lines)
            taken[i] = true;
    }
    tables += unruledTables(pieces.page, taken, rules);
    // A table holds whole lines: one holding a part of a line is dropped.
    QList<qsizetype> piecesOfLine(page.size(), 0);
    for (qsizetype from : pieces.from)
        ++piecesOfLine[from];
    QList<Table> whole;
    for (Table& table : tables) {
        QMap<qsizetype, qsizetype> held;
        for (qsizetype i : std::as_const(table.lines))
            ++held[pieces.from[i]];
        table.lines = held.keys();
        if (std::all_of(held.keyValueBegin(), held.keyValueEnd(), [&](const auto& entry) {
                return entry.second == piecesOfLine[entry.first];
            }))
            whole.append(std::move(table));
    }
    tables = std::move(whole);
    if (tables.isEmpty())
        return page;
    QList<qsizetype> tableOf(page.size(), -1);
    for (qsizetype t = 0; t < tables.size(); ++t) {
        for (qsizetype i : std::as_const(tables[t].lines))
            tableOf[i] = t;
    }
    Page out;
    QList<bool> written(tables.size(), false);
    for (qsizetype i = 0; i < page.size(); ++i) {
        const qsizetype t = tableOf[i];
        if (t < 0) {
            out.append(page[i]);
            continue;
        }
        if (written[t])
            continue;
        written[t] = true;
        const Table& table = tables[t];
        QList<double> sizes;
        for (qsizetype l : table.lines)
            sizes.append(page[l].size);
        std::nth_element(sizes.begin(), sizes.begin() + sizes.size() / 2, sizes.end());
        PDFExtract::Placement place = page[i].place;
        place.x0 = table.x0;
        place.y0 = table.y0;
        place.x1 = table.x1;
        place.y1 = table.y1;
        place.baseline = table.y1;
        place.bold = place.italic = place.monospaced = false;
        place.block = true;
        place.seams.clear();
        out.append(Line(markdown(table), sizes[sizes.size() / 2], place));
    }
    return out;
}

} // namespace PDFTables
