#include "case_table.h"
#include "convert.h"

#include "qt_printers.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

struct SlugCase {
    const char* name;
    QString text, fallback, expected;
};

class ConvertSlug : public testing::TestWithParam<SlugCase> {};

TEST_P(ConvertSlug, follows_the_naming_rules) {
    const SlugCase& c = GetParam();
    EXPECT_EQ(Convert::slug(c.text, c.fallback), c.expected);
}

const QString eAcuteDecomposed = u"e\u0301"_s;

INSTANTIATE_TEST_SUITE_P(
    Texts, ConvertSlug,
    testing::Values(
        SlugCase{"words_and_parentheses", u"Annual Report 2024 (final)"_s, u"x"_s,
                 u"Annual-Report-2024-final"_s},
        SlugCase{"danish_and_ampersand", u"Smørrebrød & Café"_s, u"x"_s, u"Smørrebrød-Café"_s},
        SlugCase{"upper_e_acute_not_allowed", u"ÉCOLE"_s, u"x"_s, u"COLE"_s},
        SlugCase{"double_hyphen", u"a--b"_s, u"x"_s, u"a-b"_s},
        SlugCase{"spaced_hyphen", u"a - b"_s, u"x"_s, u"a-b"_s},
        SlugCase{"long_hyphen_run", u"a------ - -- b"_s, u"x"_s, u"a-b"_s},
        SlugCase{"underscores_at_ends", u"__x__"_s, u"x"_s, u"x"_s},
        SlugCase{"inner_underscore", u"snake_case"_s, u"x"_s, u"snake_case"_s},
        SlugCase{"underscore_beside_hyphen", u"a _ b"_s, u"x"_s, u"a-_-b"_s},
        SlugCase{"case_kept", u"MiXeD"_s, u"x"_s, u"MiXeD"_s},
        SlugCase{"tabs_and_newlines_split", u"a\tb\nc"_s, u"x"_s, u"a-b-c"_s},
        SlugCase{"padded_text_used_untrimmed", u"  padded  "_s, u"x"_s, u"padded"_s},
        SlugCase{"blank_uses_fallback", u" \t\n "_s, u"Report"_s, u"Report"_s},
        SlugCase{"empty_uses_fallback", u""_s, u"My Slides"_s, u"My-Slides"_s},
        SlugCase{"nbsp_only_is_blank", u"\u00a0\u2003"_s, u"fb"_s, u"fb"_s},
        SlugCase{"blank_fallback_too", u""_s, u"   "_s, u"converted"_s},
        SlugCase{"punctuation_only", u"!!! ???"_s, u"fallback"_s, u"converted"_s},
        SlugCase{"only_outside_set", u"ÉÈÀÇ ß"_s, u"fallback"_s, u"converted"_s},
        SlugCase{"outside_set_letters", u"áíóúß"_s, u"x"_s, u"converted"_s},
        SlugCase{"all_accented_allowed", u"æøåÆØÅäöüÄÖÜéèêëàâîïôûùçñ"_s, u"x"_s,
                 u"æøåÆØÅäöüÄÖÜéèêëàâîïôûùçñ"_s},
        SlugCase{"decomposed_e_acute_kept_as_written", u"Cafe\u0301 Noir"_s, u"x"_s,
                 u"Cafe\u0301-Noir"_s},
        SlugCase{"decomposed_a_ring_kept", u"A\u030Arhus"_s, u"x"_s, u"A\u030Arhus"_s},
        SlugCase{"angstrom_sign_is_equivalent_to_A_ring", u"\u212B"_s, u"x"_s, u"\u212B"_s},
        SlugCase{"kelvin_sign_is_equivalent_to_K", u"\u212A2"_s, u"x"_s, u"\u212A2"_s},
        SlugCase{"decomposed_upper_E_acute_dropped", u"E\u0301cole"_s, u"x"_s, u"cole"_s},
        SlugCase{"decomposed_a_acute_dropped", u"la\u0301b"_s, u"x"_s, u"l-b"_s},
        SlugCase{"two_marks_not_one_letter", u"xe\u0301\u0301y"_s, u"x"_s, u"x-y"_s},
        SlugCase{"decomposed_a_umlaut_kept", u"a\u0308b"_s, u"x"_s, u"a\u0308b"_s},
        SlugCase{"lone_combining_mark", u"\u0301a"_s, u"x"_s, u"a"_s},
        SlugCase{"emoji_with_skin_tone_is_one_character", u"ok👍🏽ok"_s, u"x"_s, u"ok-ok"_s},
        SlugCase{"family_emoji_sequence", u"a👨‍👩‍👧b"_s, u"x"_s, u"a-b"_s},
        SlugCase{"flag", u"go🇩🇰go"_s, u"x"_s, u"go-go"_s},
        SlugCase{"hyphen_with_mark_is_not_a_hyphen", u"a-\u0301b"_s, u"x"_s, u"a-b"_s},
        SlugCase{"fullwidth_letters_dropped", u"ＡＢ c"_s, u"x"_s, u"c"_s},
        SlugCase{"slash_and_dots", u"../etc/passwd"_s, u"x"_s, u"etc-passwd"_s},
        SlugCase{"nul_and_controls", u"a\u0000b\u0007c"_s, u"x"_s, u"a-b-c"_s},
        SlugCase{"lone_surrogate", u"a"_s + QChar(0xD800) + u"b"_s, u"x"_s, u"a-b"_s},
        SlugCase{"cjk", u"報告 2024"_s, u"x"_s, u"2024"_s}),
    caseName);

TEST(ConvertSlugLength, keeps_the_first_80_characters) {
    EXPECT_EQ(Convert::slug(QString(100, u'a'), u"x"_s), QString(80, u'a'));
    EXPECT_EQ(Convert::slug(QString(80, u'b'), u"x"_s), QString(80, u'b'));
}

TEST(ConvertSlugLength, a_hyphen_at_the_cut_is_trimmed) {
    // 79 letters, a space, then more: the cut ends on the joining hyphen.
    const QString text = QString(79, u'a') + u" bbbb"_s;
    const QString slug = Convert::slug(text, u"x"_s);
    EXPECT_EQ(slug, QString(79, u'a'));
    EXPECT_EQ(slug.size(), 79);
}

TEST(ConvertSlugLength, counts_user_perceived_characters_not_code_units) {
    QString decomposed;
    for (int i = 0; i < 100; ++i)
        decomposed += eAcuteDecomposed;
    const QString slug = Convert::slug(decomposed, u"x"_s);
    EXPECT_EQ(slug.size(), 160);
    EXPECT_TRUE(slug.endsWith(eAcuteDecomposed));
}

TEST(ConvertSlugLength, an_emoji_counts_once_before_the_cut) {
    // 78 letters, one emoji with modifier (four code units), then letters: the
    // emoji becomes one hyphen, so position 80 is the first letter after it.
    const QString text = QString(78, u'a') + u"👍🏽"_s + u"zzz"_s;
    EXPECT_EQ(Convert::slug(text, u"x"_s), QString(78, u'a') + u"-z"_s);
}

TEST(ConvertSlugLength, the_cut_comes_before_the_final_trim) {
    const QString text = QString(79, u'_') + u"ab"_s;
    EXPECT_EQ(Convert::slug(text, u"x"_s), u"a");
}

TEST(ConvertFrontMatter, titled_block_has_every_line_in_order) {
    EXPECT_EQ(Convert::frontMatter(u"Q3 report"_s, u"q3.docx"_s, u"2026-12-05"_s),
              u"---\ntitle: \"Q3 report\"\nsource: q3.docx\ndate: 2026-12-05\n"
              "converted_by: Morvane\n---\n"_s);
}

TEST(ConvertFrontMatter, empty_title_leaves_out_the_title_line) {
    EXPECT_EQ(Convert::frontMatter(QString(), u"a.pdf"_s, u"2026-01-02"_s),
              u"---\nsource: a.pdf\ndate: 2026-01-02\nconverted_by: Morvane\n---\n"_s);
}

TEST(ConvertFrontMatter, escapes_backslash_before_quote) {
    EXPECT_EQ(Convert::frontMatter(u"\\\""_s, u"s"_s, u"d"_s),
              u"---\ntitle: \"\\\\\\\"\"\nsource: s\ndate: d\nconverted_by: Morvane\n---\n"_s);
    EXPECT_TRUE(Convert::frontMatter(u"say \"hi\""_s, u"s"_s, u"d"_s)
                    .contains(u"title: \"say \\\"hi\\\"\"\n"_s));
}

TEST(ConvertFrontMatter, other_characters_are_written_unchanged) {
    const QString block = Convert::frontMatter(u"a: b\nc'd #e"_s, u"http://x/y?\"q\":1"_s, u"d"_s);
    EXPECT_TRUE(block.contains(u"title: \"a: b\nc'd #e\"\n"_s));
    EXPECT_TRUE(block.contains(u"source: http://x/y?\"q\":1\n"_s));
}

TEST(ConvertFrontMatter, blank_title_still_counts) {
    EXPECT_TRUE(Convert::frontMatter(u"   "_s, u"s"_s, u"d"_s).contains(u"title: \"   \"\n"_s));
}

TEST(ConvertDocument, titled_document_matches_the_example_exactly) {
    EXPECT_EQ(Convert::document(u"Q3 report"_s, u"q3.docx"_s, u"2026-12-05"_s, u"Hello"_s),
              u"---\ntitle: \"Q3 report\"\nsource: q3.docx\ndate: 2026-12-05\n"
              "converted_by: Morvane\n---\n\n# Q3 report\n\nHello\n"_s);
}

TEST(ConvertDocument, untitled_document_has_no_heading) {
    EXPECT_EQ(Convert::document(QString(), u"a.pdf"_s, u"d"_s, u"Body"_s),
              u"---\nsource: a.pdf\ndate: d\nconverted_by: Morvane\n---\n\nBody\n"_s);
}

TEST(ConvertDocument, empty_body_still_gets_both_line_feeds) {
    EXPECT_TRUE(Convert::document(QString(), u"s"_s, u"d"_s, QString()).endsWith(u"---\n\n\n"_s));
    EXPECT_TRUE(Convert::document(u"T"_s, u"s"_s, u"d"_s, QString()).endsWith(u"# T\n\n\n"_s));
}

TEST(ConvertDocument, heading_uses_the_unescaped_title) {
    const QString text = Convert::document(u"a \"b\" \\c"_s, u"s"_s, u"d"_s, u"x"_s);
    EXPECT_TRUE(text.contains(u"\n# a \"b\" \\c\n"_s));
    EXPECT_TRUE(text.contains(u"title: \"a \\\"b\\\" \\\\c\"\n"_s));
}

TEST(ConvertDocument, body_is_not_changed_and_gets_one_more_line_feed) {
    const QString body = u"line\r\n# not a title\n\n"_s;
    const QString text = Convert::document(QString(), u"s"_s, u"d"_s, body);
    EXPECT_TRUE(text.endsWith(u"---\n\n"_s + body + u"\n"_s));
}

TEST(ConvertDocument, writes_no_carriage_returns_of_its_own) {
    const QString text = Convert::document(u"T"_s, u"s"_s, u"d"_s, u"b"_s);
    EXPECT_FALSE(text.contains(u'\r'));
}

TEST(ConvertDocument, blank_title_writes_heading_of_spaces) {
    EXPECT_TRUE(Convert::document(u"   "_s, u"s"_s, u"d"_s, u"b"_s).contains(u"\n#    \n\nb\n"_s));
}

} // namespace
