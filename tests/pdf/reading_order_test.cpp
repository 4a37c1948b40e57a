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

TEST(ReadingOrder, keeps_two_columns_drawn_column_by_column) {
    for (double offset : {0.0, -7.0, 7.0}) {
        const QList<PlacedLine> lines = twoColumns(false, offset);
        EXPECT_TRUE(PDFExtract::drawnInReadingOrder(lines)) << offset;
        EXPECT_EQ(texts(PDFExtract::readingOrder(lines)), texts(lines));
    }
}

TEST(ReadingOrder, re_sorts_two_columns_drawn_row_by_row) {
    // Also when the right column's baselines stand higher or lower.
    for (double offset : {0.0, -7.0, 7.0}) {
        const QList<PlacedLine> lines = twoColumns(true, offset);
        EXPECT_FALSE(PDFExtract::drawnInReadingOrder(lines)) << offset;
        EXPECT_EQ(texts(PDFExtract::readingOrder(lines)), texts(twoColumns(false)));
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

TEST(ReadingOrder, keeps_a_table_drawn_row_by_row) {
    QList<PlacedLine> lines;
    for (int row = 0; row < 4; ++row) {
        lines.append(prose(u"name %1"_s.arg(row), 72, row, 40));
        lines.append(prose(u"%1"_s.arg(row * 11), 200, row, 20));
        lines.append(prose(u"yes"_s, 300, row, 20));
    }
    EXPECT_TRUE(PDFExtract::drawnInReadingOrder(lines));
    EXPECT_EQ(texts(PDFExtract::readingOrder(lines)), texts(lines));
}

TEST(ReadingOrder, keeps_numbered_entries_drawn_number_then_text) {
    QList<PlacedLine> lines;
    for (int row = 0; row < 8; ++row) {
        lines.append(prose(u"2.%1"_s.arg(row), 72, row, 20));
        lines.append(prose(u"Section title with its dot leaders . . . . . . . %1"_s.arg(row), 100,
                           row, 400));
    }
    EXPECT_TRUE(PDFExtract::drawnInReadingOrder(lines));
    EXPECT_EQ(texts(PDFExtract::readingOrder(lines)), texts(lines));
}

TEST(ReadingOrder, keeps_a_page_whose_running_header_is_drawn_last) {
    QList<PlacedLine> lines;
    for (int row = 2; row < 12; ++row)
        lines.append(prose(proseText("body", row), 72, row, 400));
    lines.append(prose(u"Running header"_s, 72, 0, 100));
    EXPECT_TRUE(PDFExtract::drawnInReadingOrder(lines));
    EXPECT_EQ(texts(PDFExtract::readingOrder(lines)), texts(lines));
}

TEST(ReadingOrder, keeps_short_and_empty_pages) {
    EXPECT_TRUE(PDFExtract::drawnInReadingOrder({}));
    EXPECT_TRUE(PDFExtract::drawnInReadingOrder({prose(u"only"_s, 72, 0)}));
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
