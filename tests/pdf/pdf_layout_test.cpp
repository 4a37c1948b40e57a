#include "case_table.h"
#include "golden.h"
#include "pdf_layout.h"

#include "pdf_test_support.h"
#include "qt_printers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;
using PDFExtract::Line;
using PDFExtract::Page;

namespace {

QString repeated(const QString& word, qsizetype length) {
    QString text;
    while (text.size() < length)
        text += word;
    return text.left(length);
}

// 96 body lines of 60 characters at 10 pt and 4 title lines of 20 at `titleSize`.
QList<Page> titledDocument(double titleSize) {
    Page page;
    for (int title = 0; title < 4; ++title) {
        page.append({u"Title number %1 here"_s.arg(title), titleSize});
        for (int body = 0; body < 24; ++body)
            page.append({repeated(u"body text "_s, 60), 10});
    }
    return {page};
}

QList<Line> allLines(const QList<Page>& pages) {
    QList<Line> lines;
    for (const Page& page : pages)
        lines.append(page);
    return lines;
}

TEST(SizeKey, rounds_halves_away_from_zero) {
    EXPECT_EQ(PDFLayout::sizeKey(12.5), 13);
    EXPECT_EQ(PDFLayout::sizeKey(12.49), 12);
    EXPECT_EQ(PDFLayout::sizeKey(11.6), 12);
    EXPECT_EQ(PDFLayout::sizeKey(-0.5), -1);
    EXPECT_EQ(PDFLayout::sizeKey(std::nan("")), 0);
    EXPECT_EQ(PDFLayout::sizeKey(std::numeric_limits<double>::infinity()), 0);
    EXPECT_EQ(PDFLayout::sizeKey(1e300), std::numeric_limits<int>::max());
}

TEST(SizeStats, takes_the_largest_size_with_a_tenth_of_the_characters) {
    const PDFLayout::SizeStats stats = PDFLayout::sizeStats(allLines(titledDocument(20)));
    EXPECT_EQ(stats.bodySize, 10);
    EXPECT_EQ(stats.headingSizes, QSet<int>{20});

    // The tenth counts inclusively, in user-perceived characters (an accented
    // letter of two code points is one), at rounded sizes.
    const QString accented = repeated(u"e\u0301"_s, 20);
    for (const auto& [lines, body] :
         {std::pair{QList<Line>{{repeated(u"a"_s, 12), 14},
                                {repeated(u"b"_s, 80), 10},
                                {repeated(u"c"_s, 8), 9}},
                    14},
          std::pair{QList<Line>{{repeated(u"a"_s, 10), 14}, {repeated(u"b"_s, 90), 10}}, 14},
          std::pair{QList<Line>{{repeated(u"a"_s, 9), 14}, {repeated(u"b"_s, 91), 10}}, 10},
          std::pair{QList<Line>{{accented, 14.4}, {repeated(u"b"_s, 91), 10}}, 10},
          std::pair{QList<Line>{{accented, 13.6}, {repeated(u"b"_s, 90), 10}}, 14}})
        EXPECT_EQ(PDFLayout::sizeStats(lines).bodySize, body) << testing::PrintToString(lines);
}

TEST(SizeStats, keeps_only_sizes_with_less_than_eight_percent_of_lines) {
    const QList<Line> body(92, {u"body"_s, 10});
    const QList<Line> big(7, {u"big"_s, 20});
    for (const auto& [lines, bodySize, headingSizes] :
         {std::tuple{QList<Line>{}, 0, QSet<int>{}},
          std::tuple{QList<Line>{{u"a"_s, 11}, {u"b"_s, 11}}, 11, QSet<int>{}},
          std::tuple{body + big + QList<Line>{{u"big"_s, 20}}, 10, QSet<int>{}},
          std::tuple{body + big + QList<Line>{{u"body"_s, 10}}, 10, QSet<int>{20}}}) {
        const PDFLayout::SizeStats stats = PDFLayout::sizeStats(lines);
        EXPECT_EQ(stats.bodySize, bodySize) << lines.size() << " lines";
        EXPECT_EQ(stats.headingSizes, headingSizes) << lines.size() << " lines";
    }
}

struct HeadingCase {
    const char* name;
    QString text;
    double size;
    bool heading;
};

class IsHeading : public testing::TestWithParam<HeadingCase> {};

TEST_P(IsHeading, needs_all_five_tests) {
    const PDFLayout::SizeStats stats{10, {20, 14}};
    EXPECT_EQ(PDFLayout::isHeading(GetParam().text, GetParam().size, stats), GetParam().heading);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IsHeading,
    testing::Values(
        HeadingCase{"plain_title", u"Results and discussion"_s, 20, true},
        HeadingCase{"rounded_into_a_heading_size", u"Results"_s, 13.6, true},
        HeadingCase{"size_not_a_heading_size", u"Results"_s, 16, false},
        HeadingCase{"body_size", u"Results"_s, 10, false},
        HeadingCase{"size_zero", u"Results"_s, 0, false},
        HeadingCase{"no_letter", u"2024"_s, 20, false},
        HeadingCase{"letter_outside_latin", u"2024 \u65E5"_s, 20, true},
        HeadingCase{"ends_with_colon", u"Results:"_s, 20, false},
        HeadingCase{"ends_with_full_stop", u"Results."_s, 20, false},
        HeadingCase{"ends_with_comma", u"Results,"_s, 20, false},
        HeadingCase{"ends_with_semicolon", u"Results;"_s, 20, false},
        HeadingCase{"ends_with_question_mark", u"Results?"_s, 20, true},
        HeadingCase{"nine_words", u"one two three four five six seven eight nine"_s, 20, true},
        HeadingCase{"ten_words", u"one two three four five six seven eight nine ten"_s, 20, false},
        HeadingCase{"words_split_by_any_white_space",
                    u"one\u00A0two\u2003three four five six seven eight nine ten"_s, 20, false},
        HeadingCase{"seventy_characters", repeated(u"Abcdefghij"_s, 70), 20, true},
        HeadingCase{"seventy_one_characters", repeated(u"Abcdefghij"_s, 71), 20, false},
        HeadingCase{"seventy_accented_characters", repeated(u"e\u0301"_s, 140), 20, true}),
    caseName);

// Sizes in the reviewed layouts give the other levels.
TEST(HeadingMarker, without_a_body_size_is_the_lowest_level) {
    EXPECT_EQ(PDFLayout::headingMarker(40, 0), u"###"_s);
}

struct MarkdownCase {
    const char* name;
    QList<Page> pages;
    QString expected;
};

class Markdown : public testing::TestWithParam<MarkdownCase> {};

TEST_P(Markdown, joins_mends_and_repairs_small_pages) {
    EXPECT_EQ(PDFLayout::markdown(GetParam().pages), GetParam().expected);
}

// Hyphens mend only lowercase-hyphen-lowercase, within one page.
MarkdownCase twoLines(const char* name, const QString& first, const QString& second,
                      const QString& expected) {
    return {name, {{{first, 10}, {second, 10}}}, expected + u'\n'};
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Markdown,
    testing::Values(
        twoLines("word_split", u"for more infor-"_s, u"mation is here"_s,
                 u"for more information is here"_s),
        twoLines("digit_after", u"COVID-"_s, u"19"_s, u"COVID- 19"_s),
        twoLines("compound_loses_hyphen", u"well-"_s, u"known"_s, u"wellknown"_s),
        twoLines("uppercase_after", u"the infor-"_s, u"Mation"_s, u"the infor- Mation"_s),
        twoLines("hyphen_alone", u"-"_s, u"next"_s, u"- next"_s),
        twoLines("en_dash_is_not_a_hyphen", u"infor\u2013"_s, u"mation"_s, u"infor\u2013 mation"_s),
        twoLines("lowercase_beyond_ascii", u"\u00E6ble-"_s, u"\u00F8ret"_s,
                 u"\u00E6ble\u00F8ret"_s),
        twoLines("trailing_space_trimmed_first", u"infor-  "_s, u"  mation"_s, u"information"_s),
        MarkdownCase{
            "mends_repeatedly", {{{u"a-"_s, 10}, {u"b-"_s, 10}, {u"c"_s, 10}}}, u"abc\n"_s},
        MarkdownCase{"one_paragraph_per_page",
                     {{{u"First line"_s, 11}, {u"  second line  "_s, 11}}, {{u"Next page"_s, 11}}},
                     u"First line second line\n\nNext page\n"_s},
        MarkdownCase{"no_hyphen_across_pages",
                     {{{u"the infor-"_s, 10}}, {{u"mation goes on"_s, 10}}},
                     u"the infor-\n\nmation goes on\n"_s},
        MarkdownCase{"blank_lines_skipped",
                     {{{u"one"_s, 10}, {u" \t "_s, 10}, {u"\u00A0"_s, 30}, {u"two"_s, 10}}},
                     u"one two\n"_s},
        MarkdownCase{"nothing", {}, u"\n"_s}, MarkdownCase{"empty_pages", {{}, {}}, u"\n"_s},
        MarkdownCase{"only_spaces", {{{u"   "_s, 10}}}, u"\n"_s},
        // The joined text is repaired after the layout.
        MarkdownCase{"ligatures", {{{u"\uFB01nal \uFB02ow  "_s, 10}}}, u"final flow\n"_s},
        MarkdownCase{"code_page",
                     {{{u"K\u00AFbenhavn \u00CAble p\u00C2"_s, 10}}},
                     u"K\u00F8benhavn \u00E6ble p\u00E5\n"_s}),
    caseName);

// Long enough that a few larger lines stay well under a tenth of the text.
QString bodyLine(int number) {
    return u"body %1 with filler words"_s.arg(number);
}

// Titles at each level (by the unrounded ratio: 19 over 10 is "#", 18.99
// "##") and at size zero (never a heading), a heading amid body lines closing
// the paragraph before it, and large lines that fail a heading test kept in
// their paragraph.
TEST(MarkdownLayout, matches_the_reviewed_layouts) {
    Page heading, failing;
    for (int i = 0; i < 20; ++i)
        heading.append({bodyLine(i), 10});
    heading.insert(10, {u"Middle  heading"_s, 20});
    for (int i = 0; i < 40; ++i)
        failing.append({bodyLine(i), 10});
    failing.insert(5, {u"2024"_s, 20});
    failing.insert(15, {u"Summary:"_s, 20});
    failing.insert(25, {u"one two three four five six seven eight nine ten"_s, 20});
    QString dump;
    for (double size : {20.0, 19.0, 18.99, 15.0, 14.0, 13.6, 13.0, 0.0})
        dump += u"== titles at "_s + QString::number(size) + u'\n' +
                PDFLayout::markdown(titledDocument(size));
    dump += u"== heading amid body\n"_s + PDFLayout::markdown({heading});
    dump += u"== large lines failing a test\n"_s + PDFLayout::markdown({failing});
    expectGolden(QStringLiteral(MORVANE_PDF_GOLDEN) + u"/layouts.md"_s, dump);
}

} // namespace
