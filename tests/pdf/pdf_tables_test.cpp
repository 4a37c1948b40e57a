#include "pdf_tables.h"

#include "pdf_test_support.h"
#include "qt_printers.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using PDFExtract::Line;
using PDFExtract::Page;
using PDFExtract::Rule;

namespace {

QList<QStringList> rowsOf(const QList<PDFTables::Table>& tables) {
    return tables.isEmpty() ? QList<QStringList>{} : tables.first().rows;
}

TEST(PDFTables, ruled_grid_places_spanning_cells_once_and_joins_wrapped_lines) {
    // Rows at 100, 120, 150, 170; columns at 50, 150, 250, 350. The last
    // row's first cell spans two columns; the second row's last cell wraps,
    // and its rule is drawn in two pieces.
    QList<Rule> rules;
    for (float y : {100.f, 120.f, 150.f, 170.f})
        rules.append({50, y, 350, y});
    rules.append({50, 100, 50, 170});
    rules.append({150, 100, 150, 150});
    rules.append({250, 100, 250, 130});
    rules.append({250, 130, 250, 170});
    rules.append({350, 100, 350, 170});
    const Page page{at(u"Before the table"_s, 50, 300, 80),
                    at(u"Gate"_s, 55, 90, 105),
                    at(u"Opens"_s, 155, 190, 105),
                    at(u"Note"_s, 255, 290, 105),
                    at(u"Outer"_s, 55, 90, 125),
                    at(u"05:00"_s, 155, 190, 125),
                    at(u"Only at high"_s, 255, 345, 124),
                    at(u"tide | or calm"_s, 255, 345, 136),
                    at(u"Inner, with the outer"_s, 55, 240, 155),
                    at(u"a|b"_s, 255, 280, 155)};
    const QList<PDFTables::Table> tables = PDFTables::ruledTables(page, rules);
    ASSERT_EQ(tables.size(), 1);
    EXPECT_EQ(tables[0].rows,
              (QList<QStringList>{{u"Gate"_s, u"Opens"_s, u"Note"_s},
                                  {u"Outer"_s, u"05:00"_s, u"Only at high tide | or calm"_s},
                                  {u"Inner, with the outer"_s, QString(), u"a|b"_s}}));
    EXPECT_EQ(tables[0].lines.size(), 9);
    EXPECT_EQ(PDFTables::markdown(tables[0]), u"| Gate | Opens | Note |\n| --- | --- | --- |\n"
                                              u"| Outer | 05:00 | Only at high tide \\| or calm |\n"
                                              u"| Inner, with the outer |  | a\\|b |"_s);

    const Page replaced = PDFTables::withTables(page, rules);
    ASSERT_EQ(replaced.size(), 2);
    EXPECT_EQ(replaced[0].text, u"Before the table"_s);
    EXPECT_TRUE(replaced[1].place.block);
    EXPECT_EQ(replaced[1].text, PDFTables::markdown(tables[0]));
    // A box around a paragraph, or a grid without text, is no table.
    EXPECT_TRUE(
        PDFTables::ruledTables(
            page, {{40, 70, 360, 70}, {40, 95, 360, 95}, {40, 70, 40, 95}, {360, 70, 360, 95}})
            .isEmpty());
    EXPECT_TRUE(PDFTables::ruledTables({}, rules).isEmpty());
}

TEST(PDFTables, unruled_columns_are_tables_and_running_text_is_not) {
    // Three rows of short pieces in three columns, a wrapped cell under one.
    Page schedule;
    for (int r = 0; r < 3; ++r) {
        const float top = 100 + 16 * r + (r == 2 ? 12 : 0);
        schedule += {at(u"Ship %1"_s.arg(r), 50, 90, top), at(u"06:%1"_s.arg(r), 200, 230, top),
                     at(u"Pier %1"_s.arg(r), 350, 380, top)};
    }
    schedule.insert(6, at(u"ferry"_s, 350, 375, 128));
    EXPECT_EQ(rowsOf(PDFTables::unruledTables(schedule, {})),
              (QList<QStringList>{{u"Ship 0"_s, u"06:0"_s, u"Pier 0"_s},
                                  {u"Ship 1"_s, u"06:1"_s, u"Pier 1 ferry"_s},
                                  {u"Ship 2"_s, u"06:2"_s, u"Pier 2"_s}}));
    // Lines other tables hold take no part.
    EXPECT_TRUE(PDFTables::unruledTables(schedule, QList<bool>(schedule.size(), true)).isEmpty());

    const auto rejected = [](const QString& left, const QString& right) {
        Page page;
        for (int r = 0; r < 4; ++r)
            page +=
                {at(QString(left).replace(u"%1"_s, QString::number(r)), 50, 280, 100 + 14 * r),
                 at(QString(right).replace(u"%1"_s, QString::number(r)), 300, 550, 100 + 14 * r)};
        return PDFTables::unruledTables(page, {}).isEmpty();
    };
    EXPECT_TRUE(rejected(u"The keeper walks the pier at dawn and %1"_s,
                         u"notes the wind in the book before the ferry %1"_s));
    EXPECT_TRUE(rejected(u"\u2022"_s, u"Item %1"_s));
    EXPECT_TRUE(rejected(u"Chapter %1 . . . . . . ."_s, u"%1"_s));
    EXPECT_TRUE(rejected(u". . . . 37%1"_s, u"1397, 1398, 14%1,"_s)); // an index's leaders
    EXPECT_TRUE(rejected(u"abs, %1"_s, u"besj1, %1"_s));              // an index in two columns
    Page formula;
    for (int r = 0; r < 3; ++r)
        formula +=
            {at(u"x%1"_s.arg(r), 50, 70, 100 + 14 * r), at(u"\u2264"_s, 80, 85, 100 + 14 * r),
             at(u"%1"_s.arg(r), 95, 100, 100 + 14 * r)};
    EXPECT_TRUE(PDFTables::unruledTables(formula, {}).isEmpty());
    Page index;
    for (int r = 0; r < 4; ++r)
        index += {at(u"bind, 5%1, 102"_s.arg(r), 50, 120, 100 + 14 * r),
                  at(u"besj%1, 38"_s.arg(r), 300, 340, 100 + 14 * r)};
    EXPECT_TRUE(PDFTables::unruledTables(index, {}).isEmpty());
    Page berths;
    for (int r = 0; r < 4; ++r)
        berths += {at(u"Berth %1"_s.arg(r), 50, 100, 100 + 14 * r),
                   at(u"%1 m"_s.arg(r), 300, 330, 100 + 14 * r)};
    EXPECT_EQ(PDFTables::unruledTables(berths, {}).size(), 1);
}

TEST(PDFTables, continues_only_a_table_with_the_same_columns) {
    const QString first = u"| Day | Tide |\n| --- | --- |\n| 1 | 07:13 |"_s;
    EXPECT_EQ(PDFTables::continued(first, u"| Day | Tide |\n| --- | --- |\n| 2 | 14:26 |"_s),
              first + u"\n| 2 | 14:26 |"_s);
    EXPECT_EQ(PDFTables::continued(first, u"| 2 | a \\| b |\n| --- | --- |\n| 3 | 21:39 |"_s),
              first + u"\n| 2 | a \\| b |\n| 3 | 21:39 |"_s);
    EXPECT_EQ(PDFTables::continued(first, u"| a | b | c |\n| --- | --- | --- |"_s), std::nullopt);
    EXPECT_EQ(PDFTables::continued(first, u"![Figure 1](image1.png)"_s), std::nullopt);
}

} // namespace
