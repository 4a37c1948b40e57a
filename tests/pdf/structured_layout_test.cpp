#include "case_table.h"
#include "structured_layout.h"

#include "golden.h"
#include "pdf_extract.h"
#include "pdf_layout.h"
#include "pdf_test_support.h"
#include "qt_printers.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>

#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;
using PDFExtract::Line;
using PDFExtract::Page;

namespace {

struct MarkerCase {
    const char* name;
    QString text;
    QString markdown; // empty: no marker
    qsizetype length;
};

class ListMarker : public testing::TestWithParam<MarkerCase> {};

TEST_P(ListMarker, is_found_with_its_markdown) {
    const std::optional<StructuredLayout::ListMarker> marker =
        StructuredLayout::listMarker(GetParam().text);
    if (GetParam().markdown.isEmpty()) {
        EXPECT_FALSE(marker.has_value()) << marker->markdown.toStdString();
        return;
    }
    ASSERT_TRUE(marker.has_value());
    EXPECT_EQ(marker->markdown, GetParam().markdown);
    EXPECT_EQ(marker->length, GetParam().length);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ListMarker,
    testing::Values(MarkerCase{"bullet", u"\u2022 Close the shutters"_s, u"-"_s, 2},
                    MarkerCase{"bullet_without_blank", u"\u25E6Bow lines"_s, u"-"_s, 1},
                    MarkerCase{"symbol_font_bullet", u"\uF0B7 Stern lines"_s, u"-"_s, 2},
                    MarkerCase{"dash", u"- spare key"_s, u"-"_s, 2},
                    MarkerCase{"en_dash", u"\u2013 spare key"_s, u"-"_s, 2},
                    MarkerCase{"negative_number", u"-5 degrees"_s, {}, 0},
                    MarkerCase{"emphasis", u"*nearly* done"_s, {}, 0},
                    MarkerCase{"number_and_stop", u"12. Fill the tank"_s, u"12."_s, 4},
                    MarkerCase{"number_and_bracket", u"2)  Clean the lens"_s, u"2)"_s, 4},
                    MarkerCase{"parenthesised_number", u"(3) Wait"_s, u"- (3)"_s, 4},
                    MarkerCase{"letter", u"b. second"_s, u"- b."_s, 3},
                    MarkerCase{"parenthesised_letter", u"(a) first"_s, u"- (a)"_s, 4},
                    MarkerCase{"roman", u"iv. fourth"_s, u"- iv."_s, 4},
                    MarkerCase{"initial", u"J. Smith wrote"_s, {}, 0},
                    MarkerCase{"year", u"2019. A year"_s, {}, 0},
                    MarkerCase{"section_number", u"1.2 Overview"_s, {}, 0},
                    MarkerCase{"marker_alone", u"3."_s, {}, 0}),
    caseName);

TEST(StructuredLayout, knows_page_numbers_and_normalises_band_text) {
    for (const QString& number :
         {u"17"_s, u"- 17 -"_s, u"Page 3"_s, u"page 3 of 40"_s, u"3 / 40"_s, u"xiv"_s, u"[12]"_s})
        EXPECT_TRUE(StructuredLayout::isPageNumber(number)) << number.toStdString();
    for (const QString& text : {u"17 ferries"_s, u"Chapter 3"_s, u"Page three"_s, u"123456"_s})
        EXPECT_FALSE(StructuredLayout::isPageNumber(text)) << text.toStdString();
    EXPECT_EQ(StructuredLayout::furnitureKey(u"  Page 3 of  40 "_s), u"Page # of #"_s);
    EXPECT_EQ(StructuredLayout::furnitureKey(u"Chapter 12: Basic Shell Features 117"_s),
              u"Chapter #: Basic Shell Features #"_s);
}

TEST(StructuredLayout, removes_dot_leaders_only) {
    EXPECT_EQ(StructuredLayout::withoutDotLeaders(u"Introduction . . . . . . 12"_s),
              u"Introduction 12"_s);
    EXPECT_EQ(StructuredLayout::withoutDotLeaders(u"Appendix of signals......iv"_s),
              u"Appendix of signals iv"_s);
    EXPECT_EQ(StructuredLayout::withoutDotLeaders(u"Daily routines ........"_s),
              u"Daily routines"_s);
    for (const QString& kept : {u"And so on... 12 more"_s, u"Wait... 3"_s, u"a..b"_s})
        EXPECT_EQ(StructuredLayout::withoutDotLeaders(kept), kept);
}

TEST(StructuredLayout, drops_only_repeated_band_lines_and_page_numbers) {
    // Three pages of 800 points: a header, a body line that repeats in the
    // body, a footer and a number; a table head set close to the body; on
    // the first page a footer of its own beside the number, on the second a
    // table's last number above it.
    const auto line = [](const QString& text, float top) { return at(text, 72, 300, top); };
    QList<Page> pages;
    for (int n = 1; n <= 3; ++n)
        pages.append({line(u"Field notes"_s, 30), line(u"Name Size"_s, 76),
                      line(u"Same body line"_s, 90), line(u"Same body line"_s, 400),
                      line(u"Printed %1 May"_s.arg(n), 760), line(QString::number(n), 775)});
    pages[0].append(line(u"Short chapter"_s, 775));
    pages[1].insert(4, line(u"4"_s, 745));
    const QList<Page> kept = StructuredLayout::withoutFurniture(pages);
    ASSERT_EQ(kept.size(), 3);
    const QStringList body{u"Name Size"_s, u"Same body line"_s, u"Same body line"_s};
    EXPECT_EQ(texts(kept[0]), body);
    EXPECT_EQ(texts(kept[1]), body + QStringList{u"4"_s});
    EXPECT_EQ(texts(kept[2]), body);
    // One page alone has no repeats: only its number goes.
    EXPECT_EQ(texts(StructuredLayout::withoutFurniture({pages[2]}).value(0)),
              (QStringList{u"Field notes"_s, u"Name Size"_s, u"Same body line"_s,
                           u"Same body line"_s, u"Printed 3 May"_s}));
}

TEST(StructuredLayout, of_lines_without_a_place_makes_paragraphs_and_lists) {
    const QList<Page> pages = {{{u"The keeper climbs the observa-"_s, 10},
                                {u"tion tower."_s, 10},
                                {u"\u2022 Close the shutters."_s, 10},
                                {u"\u2022 Lock the door."_s, 10}},
                               {}};
    EXPECT_EQ(StructuredLayout::markdown(pages), u"The keeper climbs the observation tower.\n\n"
                                                 u"- Close the shutters.\n- Lock the door.\n"_s);
    EXPECT_EQ(StructuredLayout::markdown({}), u"\n"_s);
    EXPECT_EQ(StructuredLayout::markdown({{}, {{u"   "_s, 10}}}), u"\n"_s);
}

TEST(StructuredLayout, keeps_hostile_places_to_bounded_text) {
    // Lines at infinity, twenty ever deeper bullets, code far to the right.
    Page page{at(u"nowhere"_s, std::numeric_limits<float>::infinity(),
                 std::numeric_limits<float>::infinity(), 100),
              at(u"nothing"_s, std::nanf(""), std::nanf(""), std::nanf(""))};
    for (int depth = 0; depth < 20; ++depth)
        page.append(at(u"\u2022 level %1"_s.arg(depth), 72 + 20 * depth, 300 + 20 * depth,
                       200 + 12 * depth));
    page.append(at(u"int a;"_s, 72, 300, 500, true));
    page.append(at(u"int b;"_s, 1e9f, 1e9f + 228, 512, true));
    const QString markdown = StructuredLayout::markdown({page});
    for (const QString& word : {u"nowhere"_s, u"nothing"_s, u"level 19"_s, u"int b;"_s})
        EXPECT_TRUE(markdown.contains(word)) << word.toStdString();
    for (const QString& line : markdown.split(u'\n'))
        EXPECT_LT(line.size(), 200) << line.toStdString();
}

// Words as the score counts them: runs of letters and digits.
QMap<QString, int> words(const QString& text) {
    QMap<QString, int> bag;
    static const QRegularExpression word(uR"(\w+)"_s);
    for (const QRegularExpressionMatch& match : word.globalMatch(text))
        ++bag[match.captured()];
    return bag;
}

struct GoldenCase {
    const char* pdf;
    // Words of the plain layout that are not in the structured one: the
    // running header and footer, and words split in two that were mended.
    QString lost;
};

class StructuredGolden : public testing::TestWithParam<GoldenCase> {};

TEST_P(StructuredGolden, matches_the_reviewed_markdown_and_keeps_every_body_word) {
    const QString name = QString::fromLatin1(GetParam().pdf);
    const QList<Page> pages = PDFExtract::pages(fixture(GetParam().pdf)).pages;
    ASSERT_FALSE(pages.isEmpty());
    const QString markdown = StructuredLayout::markdown(pages);
    expectGolden(QStringLiteral(MORVANE_PDF_GOLDEN) + u'/' + name.section(u'.', 0, 0) + u".md"_s,
                 markdown);

    QMap<QString, int> missing = words(PDFLayout::markdown(pages));
    for (const auto& [word, count] : words(markdown).asKeyValueRange())
        missing[word] -= count;
    QStringList lost;
    for (const auto& [word, count] : missing.asKeyValueRange()) {
        if (count > 0)
            lost.append(word);
    }
    EXPECT_EQ(lost.join(u' '), GetParam().lost);
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, StructuredGolden,
    testing::Values(GoldenCase{"structured_manual.pdf",
                               u"1The 2 3 Harbour Manual Operations Page edition second"_s},
                    GoldenCase{"structured_exact.pdf",
                               u"1 2 3 Field Page keeper lighthouse notes observa of the tion"_s},
                    // Recognised lines carry their boxes too.
                    GoldenCase{"scanned.pdf", {}}),
    [](const testing::TestParamInfo<GoldenCase>& info) {
        return QString::fromLatin1(info.param.pdf).section(u'.', 0, 0).toStdString();
    });

} // namespace
