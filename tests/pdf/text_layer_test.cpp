#include "text_layer.h"

#include "pdf_test_support.h"
#include "qt_printers.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <tuple>

using namespace Qt::StringLiterals;
using PDFExtract::Glyph;
using PDFExtract::Line;

namespace {

QList<Glyph> glyphs(const QString& text, double size, bool hasFont = true) {
    QList<Glyph> out;
    for (uint codePoint : text.toUcs4())
        out.append({codePoint, size, hasFont});
    return out;
}

// Sizes weigh by UTF-16 length, count rounded, and the earlier wins a tie;
// glyphs without a font have no size.
TEST(DominantSize, weighs_rounded_sizes_by_length) {
    QList<Glyph> many; // more sizes than a line usually has
    for (int size = 30; size > 10; --size)
        many += glyphs(u"m"_s, size);
    for (const auto& [line, size] :
         {std::pair{glyphs(u"0123456789"_s, 12) + glyphs(u"abcdefghijklmnopqrstuvwxyz1234"_s, 9),
                    9},
          std::pair{glyphs(u"aaa"_s, 11.6) + glyphs(u"bbb"_s, 12.4) + glyphs(u"cccc"_s, 12.5), 12},
          std::pair{glyphs(u"a"_s, 12.5), 13}, std::pair{glyphs(u"a"_s, 12.49), 12},
          std::pair{glyphs(u"xxxxx"_s, 10) + glyphs(u"yyyyy"_s, 14), 10},
          std::pair{glyphs(u"yyyyy"_s, 14) + glyphs(u"xxxxx"_s, 10), 14}, std::pair{many, 30},
          std::pair{many + glyphs(u"m"_s, 15), 15},
          std::pair{glyphs(u"\U0001D400\U0001D401"_s, 10) + glyphs(u"abc"_s, 12), 10},
          std::pair{glyphs(u"text"_s, 12, false), 0}, std::pair{QList<Glyph>{}, 0},
          std::pair{glyphs(u"ab"_s, 12, false) + glyphs(u"c"_s, 7), 7}})
        EXPECT_EQ(PDFExtract::dominantSize(line), size) << line.size() << " glyphs";
}

// Pieces keep their untrimmed text and a size each; glyphs without a font
// have none.
TEST(TextLines, split_at_every_line_terminator_and_drop_blank_lines) {
    const PDFExtract::Box box{1, 2, 3, 4};
    const QList<PDFExtract::PlacedLine> split = PDFExtract::textLines(
        {{glyphs(u"one\r\ntwo\rthree\u2028four\u2029five\u0085six\n\n \t\n"_s, 10), box},
         {glyphs(u"  "_s, 10), box},
         {glyphs(u"\u00A0\u3000"_s, 10), box}});
    QList<Line> found;
    for (const PDFExtract::PlacedLine& line : split) {
        found.append(line.line);
        EXPECT_EQ(line.box, box);
    }
    for (const PDFExtract::PlacedLine& line : PDFExtract::textLines(
             {{glyphs(u"  padded  "_s, 9) + glyphs(u"\n"_s, 9) + glyphs(u"big"_s, 20), {}},
              {glyphs(u"no font"_s, 12, false), {}, 1}}))
        found.append(line.line);
    EXPECT_EQ(found, (QList<Line>{{u"one"_s, 10},
                                  {u"two"_s, 10},
                                  {u"three"_s, 10},
                                  {u"four"_s, 10},
                                  {u"five"_s, 10},
                                  {u"six"_s, 10},
                                  {u"  padded  "_s, 9},
                                  {u"big"_s, 20},
                                  {u"no font"_s, 0}}));
}

TEST(TextLines, read_right_to_left_however_drawn_and_compose_accents_with_their_letters) {
    using Drawn = QList<std::tuple<char32_t, double, double>>; // glyph, left edge, width
    for (const auto& [drawn, expected] : std::initializer_list<std::pair<Drawn, QString>>{
             // "با" drawn from the left (as it looks), from the right (as it
             // reads), and after a number that stands to its left but was drawn last.
             {{{0x0627, 100, 5}, {0x0628, 105, 5}}, u"\u0628\u0627"_s},
             {{{0x0628, 105, 5}, {0x0627, 100, 5}}, u"\u0628\u0627"_s},
             {{{0x0627, 115, 5}, {0x0628, 120, 5}, {U'4', 100, 5}, {U'2', 105, 5}, {U' ', 110, 5}},
              u"\u0628\u0627 42"_s},
             // The mark's middle over the letter before or after it, or over none.
             {{{U'c', 0, 5}, {0x20DD, -2, 9}, {U'R', 10, 6}, {0x20DD, 8, 10}}, u"\u00A9\u00AE"_s},
             {{{U'o', 0, 5}, {0x0308, 1, 3}, {U'x', 5, 5}}, u"\u00F6x"_s},
             {{{U'x', 0, 5}, {0x02C7, 5, 3}, {U'-', 5, 5}}, u"x\u02C7-"_s},
             {{{U'q', 0, 5}, {0x00B4, 1, 3}}, u"q\u00B4"_s}, // no composed q
             // A combining grave of no width at the edge of the next letter.
             {{{U' ', 0, 5}, {0x0300, 5, 0}, {U'e', 5, 5}}, u" \u0300e"_s}}) {
        QList<Glyph> line;
        for (const auto& [codePoint, x, width] : drawn)
            line.append({codePoint, 10, true, x, x + width});
        EXPECT_EQ(PDFExtract::textLines({{line, {}}}).value(0).line.text, expected);
    }
}

TEST(TextLines, replace_code_points_that_are_not_characters) {
    // Lone surrogates (as a font's ToUnicode map can give them) and values
    // past U+10FFFF become U+FFFD; a pair given as one code point stays.
    QList<Glyph> line = glyphs(u"a"_s, 10);
    for (char32_t codePoint : {char32_t(0xD800), char32_t(0xDFFF), char32_t(0x110000),
                               char32_t(0x1F600), char32_t(0xDC00)})
        line.append({codePoint, 10, true});
    const QList<PDFExtract::PlacedLine> lines = PDFExtract::textLines({{line, {}}});
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines[0].line.text, u"a\uFFFD\uFFFD\uFFFD\U0001F600\uFFFD"_s);
}

TEST(TextLines, keep_lines_a_hostile_file_places_at_infinity_or_nowhere) {
    // One row of pieces at impossible places: nothing may overflow (the
    // sanitizer builds check) and no text is lost.
    QList<PDFExtract::RawLine> raw;
    for (double x : {std::numeric_limits<double>::quiet_NaN(),
                     std::numeric_limits<double>::infinity(), 1e30, 10.0, 14.0}) {
        PDFExtract::RawLine line;
        line.glyphs = glyphs(u"ab"_s, 10);
        line.box = {x, 0, x + 3, 10};
        line.baseline = 8;
        raw.append(line);
    }
    qsizetype pieces = 0;
    for (const PDFExtract::PlacedLine& placed : PDFExtract::textLines(raw))
        pieces += placed.line.text.count(u"ab"_s);
    EXPECT_EQ(pieces, 5);
}

TEST(TextLines, keep_where_the_joined_pieces_of_a_row_meet) {
    // Pieces of one row: x0 of each, and its text at 10 points, 5 wide a glyph.
    const auto row = [](std::initializer_list<std::pair<double, QString>> pieces) {
        QList<PDFExtract::RawLine> raw;
        for (const auto& [x, text] : pieces) {
            PDFExtract::RawLine line;
            for (uint c : text.toUcs4())
                line.glyphs.append(
                    {c, 10, true, x + 5 * line.glyphs.size(), x + 5 * (line.glyphs.size() + 1)});
            line.box = {x, 0, x + 5 * line.glyphs.size(), 10};
            line.baseline = 8;
            raw.append(line);
        }
        return PDFExtract::textLines(raw).value(0).line;
    };
    // Cells 2 ems apart, the second after a character of two UTF-16 units.
    const Line cells = row({{0, u"\U0001D400b"_s}, {30, u"c "_s}, {60, u"d"_s}});
    EXPECT_EQ(cells.text, u"\U0001D400b c d"_s);
    EXPECT_EQ(cells.place.seams, (QList<PDFExtract::Seam>{{3, 10, 30}, {5, 35, 60}}));
    // A justified space between two pieces of running text is no seam.
    const QString prose = u"the keeper walks the pier at dawn"_s;
    EXPECT_TRUE(row({{0, prose}, {175, prose}}).place.seams.isEmpty());
}

TEST(TextLines, place_each_line_and_give_it_the_font_kind_of_most_characters) {
    QList<Glyph> bold = glyphs(u"Bold"_s, 10);
    for (Glyph& glyph : bold)
        glyph.bold = glyph.monospaced = true;
    PDFExtract::RawLine raw;
    raw.glyphs = bold + glyphs(u" mix"_s, 10);
    raw.box = {72, 100, 160, 112};
    raw.baseline = 109.5;
    const QList<PDFExtract::PlacedLine> lines = PDFExtract::textLines({raw});
    ASSERT_EQ(lines.size(), 1);
    const PDFExtract::Placement& place = lines[0].line.place;
    EXPECT_EQ((std::array{place.x0, place.y0, place.x1, place.y1, place.baseline}),
              (std::array{72.0f, 100.0f, 160.0f, 112.0f, 109.5f}));
    // Four of seven non-blank characters are bold and monospaced.
    EXPECT_TRUE(place.bold && place.monospaced);
    EXPECT_FALSE(place.italic);
    raw.glyphs = bold.first(1) + glyphs(u"ab"_s, 10);
    EXPECT_FALSE(PDFExtract::textLines({raw}).value(0).line.place.bold);
}

} // namespace
