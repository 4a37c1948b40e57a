#include "case_table.h"
#include "convert.h"

#include "qt_printers.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

struct SlugCase {
    const char* name;
    QString text, expected, fallback = u"x"_s;
};

class ConvertSlug : public testing::TestWithParam<SlugCase> {};

TEST_P(ConvertSlug, follows_the_naming_rules) {
    const SlugCase& c = GetParam();
    EXPECT_EQ(Convert::slug(c.text, c.fallback), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ConvertSlug,
    testing::Values(
        SlugCase{"words_and_parentheses", u"Annual Report 2024 (final)"_s,
                 u"Annual-Report-2024-final"_s},
        SlugCase{"danish_and_ampersand", u"Smørrebrød & Café"_s, u"Smørrebrød-Café"_s},
        SlugCase{"upper_e_acute_not_allowed", u"ÉCOLE"_s, u"COLE"_s},
        SlugCase{"long_hyphen_run", u"a------ - -- b"_s, u"a-b"_s},
        SlugCase{"underscores_at_ends", u"__x__"_s, u"x"_s},
        SlugCase{"inner_underscore", u"snake_case"_s, u"snake_case"_s},
        SlugCase{"underscore_beside_hyphen", u"a _ b"_s, u"a-_-b"_s},
        SlugCase{"case_kept", u"MiXeD"_s, u"MiXeD"_s},
        SlugCase{"tabs_and_newlines_split", u"a\tb\nc"_s, u"a-b-c"_s},
        SlugCase{"padded_text_used_untrimmed", u"  padded  "_s, u"padded"_s},
        SlugCase{"blank_uses_fallback", u" \t\n "_s, u"Report"_s, u"Report"_s},
        SlugCase{"empty_uses_fallback", u""_s, u"My-Slides"_s, u"My Slides"_s},
        SlugCase{"nbsp_only_is_blank", u"\u00a0\u2003"_s, u"fb"_s, u"fb"_s},
        SlugCase{"blank_fallback_too", u""_s, u"converted"_s, u"   "_s},
        SlugCase{"punctuation_only", u"!!! ???"_s, u"converted"_s, u"fallback"_s},
        SlugCase{"only_outside_set", u"ÉÈÀÇ ß"_s, u"converted"_s, u"fallback"_s},
        SlugCase{"outside_set_letters", u"áíóúß"_s, u"converted"_s},
        SlugCase{"all_accented_allowed", u"æøåÆØÅäöüÄÖÜéèêëàâîïôûùçñ"_s,
                 u"æøåÆØÅäöüÄÖÜéèêëàâîïôûùçñ"_s},
        SlugCase{"angstrom_sign_is_equivalent_to_A_ring", u"\u212B"_s, u"\u212B"_s},
        SlugCase{"decomposed_a_acute_dropped", u"la\u0301b"_s, u"l-b"_s},
        SlugCase{"two_marks_not_one_letter", u"xe\u0301\u0301y"_s, u"x-y"_s},
        SlugCase{"decomposed_a_umlaut_kept", u"a\u0308b"_s, u"a\u0308b"_s},
        SlugCase{"lone_combining_mark", u"\u0301a"_s, u"a"_s},
        SlugCase{"emoji_with_skin_tone_is_one_character", u"ok👍🏽ok"_s, u"ok-ok"_s},
        SlugCase{"hyphen_with_mark_is_not_a_hyphen", u"a-\u0301b"_s, u"a-b"_s},
        SlugCase{"fullwidth_letters_dropped", u"ＡＢ c"_s, u"c"_s},
        SlugCase{"slash_and_dots", u"../etc/passwd"_s, u"etc-passwd"_s},
        SlugCase{"nul_and_controls", u"a\u0000b\u0007c"_s, u"a-b-c"_s},
        SlugCase{"lone_surrogate", u"a"_s + QChar(0xD800) + u"b"_s, u"a-b"_s},
        // The length is cut at 80 user-perceived characters, before the final trim.
        SlugCase{"cut_at_80", QString(100, u'a'), QString(80, u'a')},
        SlugCase{"exactly_80", QString(80, u'b'), QString(80, u'b')},
        SlugCase{"hyphen_at_the_cut_trimmed", QString(79, u'a') + u" bbbb"_s, QString(79, u'a')},
        SlugCase{"cut_counts_clusters_not_code_units", u"e\u0301"_s.repeated(100),
                 u"e\u0301"_s.repeated(80)},
        SlugCase{"emoji_counts_once_before_the_cut", QString(78, u'a') + u"👍🏽zzz"_s,
                 QString(78, u'a') + u"-z"_s},
        SlugCase{"cut_before_the_final_trim", QString(79, u'_') + u"ab"_s, u"a"_s}),
    caseName);

struct DocumentCase {
    const char* name;
    QString title, source, body, expected;
};

class ConvertDocument : public testing::TestWithParam<DocumentCase> {};

TEST_P(ConvertDocument, writes_front_matter_heading_and_body) {
    const DocumentCase& c = GetParam();
    EXPECT_EQ(Convert::document(c.title, c.source, u"2026-12-05"_s, c.body), c.expected);
}

const QString tail = u"date: 2026-12-05\nconverted_by: Morvane\n---\n\n"_s;

INSTANTIATE_TEST_SUITE_P(
    Documents, ConvertDocument,
    testing::Values(
        DocumentCase{"titled", u"Q3 report"_s, u"q3.docx"_s, u"Hello"_s,
                     u"---\ntitle: \"Q3 report\"\nsource: q3.docx\n"_s + tail +
                         u"# Q3 report\n\nHello\n"_s},
        DocumentCase{"untitled_has_no_title_or_heading", QString(), u"a.pdf"_s, u"Body"_s,
                     u"---\nsource: a.pdf\n"_s + tail + u"Body\n"_s},
        DocumentCase{"empty_body_keeps_both_line_feeds", QString(), u"s"_s, QString(),
                     u"---\nsource: s\n"_s + tail + u"\n"_s},
        // Backslash escaped before quote in the title line only; the heading is unescaped.
        DocumentCase{"escapes_backslash_and_quote", u"a \"b\" \\c"_s, u"s"_s, u"x"_s,
                     u"---\ntitle: \"a \\\"b\\\" \\\\c\"\nsource: s\n"_s + tail +
                         u"# a \"b\" \\c\n\nx\n"_s},
        DocumentCase{"other_characters_unchanged", u"a: b\nc'd #e"_s, u"http://x/y?\"q\":1"_s,
                     u"b"_s,
                     u"---\ntitle: \"a: b\nc'd #e\"\nsource: http://x/y?\"q\":1\n"_s + tail +
                         u"# a: b\nc'd #e\n\nb\n"_s},
        DocumentCase{"blank_title_still_counts", u"   "_s, u"s"_s, u"b"_s,
                     u"---\ntitle: \"   \"\nsource: s\n"_s + tail + u"#    \n\nb\n"_s},
        // The body is written as given (its own carriage returns too), with no others added.
        DocumentCase{"body_unchanged", QString(), u"s"_s, u"line\r\n# not a title\n\n"_s,
                     u"---\nsource: s\n"_s + tail + u"line\r\n# not a title\n\n\n"_s}),
    caseName);

} // namespace
