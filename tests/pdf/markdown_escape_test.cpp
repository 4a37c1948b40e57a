#include "case_table.h"
#include "markdown_escape.h"

#include "qt_printers.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

struct EscapeCase {
    const char* name;
    QString text;
    QString markdown;
};

class BlockText : public testing::TestWithParam<EscapeCase> {};

TEST_P(BlockText, escapes_only_what_would_be_read_as_markup) {
    EXPECT_EQ(MarkdownEscape::blockText(GetParam().text), GetParam().markdown);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BlockText,
    testing::Values(
        EscapeCase{"tags", u"path <string> and </dir> <!-- x"_s,
                   uR"(path \<string> and \</dir> \<!-- x)"_s},
        EscapeCase{"comparisons", u"a < b, 3<4 and a -> b"_s, u"a < b, 3<4 and a -> b"_s},
        EscapeCase{"emphasis_pair", u"2*3*4 and _init_"_s, uR"(2\*3\*4 and \_init\_)"_s},
        EscapeCase{"lone_delimiters", u"*nix, CCACHE_DIR, base_dir, a * b"_s,
                   u"*nix, CCACHE_DIR, base_dir, a * b"_s},
        EscapeCase{"code_span", u"`quoted' and `x`"_s, uR"(\`quoted' and \`x`)"_s},
        EscapeCase{"link_and_entity", u"[see](here) AT&T &amp;"_s,
                   uR"(\[see](here) AT&T \&amp;)"_s},
        EscapeCase{"backslash", uR"(C:\*.txt C:\dir)"_s, uR"(C:\\*.txt C:\dir)"_s},
        EscapeCase{"bullet", u"- not a list"_s, uR"(\- not a list)"_s},
        EscapeCase{"number", u"2019. A year"_s, uR"(2019\. A year)"_s},
        EscapeCase{"heading", u"# define"_s, uR"(\# define)"_s},
        EscapeCase{"quote", u"> more"_s, uR"(\> more)"_s},
        EscapeCase{"rule", u"- - -"_s, uR"(\- - -)"_s},
        EscapeCase{"fence", u"```"_s, uR"(\`\`\`)"_s}),
    caseName);

TEST(MarkdownEscape, leaves_block_starts_inside_a_line_and_keeps_heading_ends) {
    EXPECT_EQ(MarkdownEscape::inlineText(u"- 1. # <b>"_s), uR"(- 1. # \<b>)"_s);
    EXPECT_EQ(MarkdownEscape::headingText(u"Using C # and C#"_s), u"Using C # and C#"_s);
    EXPECT_EQ(MarkdownEscape::headingText(u"Sharp #"_s), uR"(Sharp \#)"_s);
}

} // namespace
