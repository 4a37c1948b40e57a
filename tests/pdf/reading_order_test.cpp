#include "reading_order.h"

#include "qt_printers.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using PDFExtract::Box;
using PDFExtract::PlacedLine;

namespace {

// A line of prose at `x`, `row` lines below the top of the text.
PlacedLine prose(const QString& text, double x, int row, double width = 180) {
    const double top = 100 + 14 * row;
    return {{text, 10}, Box{x, top, x + width, top + 11}};
}

QStringList texts(const QList<PlacedLine>& lines) {
    QStringList out;
    for (const PlacedLine& line : lines)
        out.append(line.line.text);
    return out;
}

QString proseText(const char* column, int row) {
    return u"%1 column line %2 with enough words to be prose"_s.arg(QLatin1String(column)).arg(row);
}

// The right column's lines stand `offset` points lower than the left's.
QList<PlacedLine> twoColumns(bool rowByRow, double offset = 0) {
    QList<PlacedLine> lines{
        {{u"A title that spans both of the columns below it"_s, 18}, Box{72, 70, 520, 90}}};
    const auto right = [offset](int row) {
        PlacedLine line = prose(proseText("right", row), 310, row);
        line.box.y0 += offset;
        line.box.y1 += offset;
        return line;
    };
    for (int row = 0; row < 5; ++row) {
        lines.append(prose(proseText("left", row), 72, row));
        if (rowByRow)
            lines.append(right(row));
    }
    if (!rowByRow) {
        for (int row = 0; row < 5; ++row)
            lines.append(right(row));
    }
    return lines;
}

// Also when the right column's baselines stand higher or lower.
TEST(ReadingOrder, keeps_columns_drawn_column_by_column_and_re_sorts_them_drawn_row_by_row) {
    for (bool rowByRow : {false, true}) {
        for (double offset : {0.0, -7.0, 7.0}) {
            const QList<PlacedLine> lines = twoColumns(rowByRow, offset);
            EXPECT_EQ(PDFExtract::drawnInReadingOrder(lines), !rowByRow) << offset;
            EXPECT_EQ(texts(PDFExtract::readingOrder(lines)), texts(twoColumns(false)));
        }
    }
}

TEST(ReadingOrder, re_sorts_lines_drawn_bottom_up) {
    QList<PlacedLine> lines;
    for (int row = 4; row >= 0; --row)
        lines.append(prose(u"line %1"_s.arg(row), 72, row, 400));
    EXPECT_FALSE(PDFExtract::drawnInReadingOrder(lines));
    EXPECT_EQ(texts(PDFExtract::readingOrder(lines)),
              (QStringList{u"line 0"_s, u"line 1"_s, u"line 2"_s, u"line 3"_s, u"line 4"_s}));
}

TEST(ReadingOrder, keeps_tables_numbered_entries_late_headers_and_short_pages_as_drawn) {
    QList<PlacedLine> table, entries, header;
    for (int row = 0; row < 4; ++row)
        table.append({prose(u"name %1"_s.arg(row), 72, row, 40),
                      prose(QString::number(row * 11), 200, row, 20),
                      prose(u"yes"_s, 300, row, 20)});
    for (int row = 0; row < 8; ++row)
        entries.append({prose(u"2.%1"_s.arg(row), 72, row, 20),
                        prose(u"Section title with its dot leaders . . . . . . . %1"_s.arg(row),
                              100, row, 400)});
    for (int row = 2; row < 12; ++row)
        header.append(prose(proseText("body", row), 72, row, 400));
    header.append(prose(u"Running header"_s, 72, 0, 100));
    for (const QList<PlacedLine>& lines : {table, entries, header, QList<PlacedLine>{},
                                           QList<PlacedLine>{prose(u"only"_s, 72, 0)}}) {
        EXPECT_TRUE(PDFExtract::drawnInReadingOrder(lines))
            << texts(lines).join(u'|').toStdString();
        EXPECT_EQ(texts(PDFExtract::readingOrder(lines)), texts(lines));
    }
    EXPECT_TRUE(PDFExtract::columnOrder({}).isEmpty());
}

TEST(ColumnOrder, puts_spanning_lines_between_the_bands_they_separate) {
    QList<PlacedLine> lines{prose(u"right top"_s, 310, 1),
                            prose(u"left top"_s, 72, 1),
                            prose(u"a rule across the whole text"_s, 72, 3, 420),
                            prose(u"right bottom"_s, 310, 5),
                            prose(u"left bottom"_s, 72, 5),
                            prose(u"left first"_s, 72, 0)};
    EXPECT_EQ(
        texts(PDFExtract::columnOrder(lines)),
        (QStringList{u"left first"_s, u"left top"_s, u"right top"_s,
                     u"a rule across the whole text"_s, u"left bottom"_s, u"right bottom"_s}));
}

} // namespace
