#pragma once

#include "pdf_extract.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// Tables of a PDF page, found from where its lines stand: in the grid of its
// ruled lines, or in columns that several rows of short lines share.
namespace PDFTables {

struct Table {
    float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    QList<QStringList> rows; // the first is the header; every row has every column
    QList<qsizetype> lines;  // indices of the page's lines the table holds
};

// Tables in the grids the page's rules draw: at least two rows and two
// columns with text. A cell spanning several grid cells is filled once.
QList<Table> ruledTables(const PDFExtract::Page& page, const QList<PDFExtract::Rule>& rules);

// Tables without rules among the lines no other table holds: three or more
// rows whose pieces stand in the same two or more columns. The rows above a
// rule under one of the first rows, or the rows in bold at the top, are
// joined into the header row.
QList<Table> unruledTables(const PDFExtract::Page& page, const QList<bool>& taken,
                           const QList<PDFExtract::Rule>& rules = {});

// A GFM table: header row, separator row, cells escaped as inline text.
QString markdown(const Table& table);

// The second table of Markdown appended to the first when both have the same
// columns; a header row repeated at the top of the second is dropped.
std::optional<QString> continued(QStringView first, QStringView second);

// The page with each table's lines replaced by one block line holding its
// Markdown, where the table's first line stood.
PDFExtract::Page withTables(const PDFExtract::Page& page, const QList<PDFExtract::Rule>& rules);

} // namespace PDFTables
