#include "case_table.h"
#include "web_page.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

struct Decoding {
    const char* name;
    QByteArray body, contentType;
    QString text;
};

class DecodeHTML : public testing::TestWithParam<Decoding> {};

TEST_P(DecodeHTML, takes_the_first_character_set_that_fits) {
    EXPECT_EQ(WebPage::decodeHTML(GetParam().body, GetParam().contentType), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, DecodeHTML,
    testing::Values(
        Decoding{"unknown_name_then_utf8", "caf\xc3\xa9", "text/html; charset=no-such", u"café"_s},
        Decoding{"declared_utf8_unfit_then_1252", "caf\xe9", "text/html;charset=UTF-8", u"café"_s},
        Decoding{"undeclared_1252", "caf\xe9", "", u"café"_s},
        Decoding{"nothing_fits", "\x81\xff", "text/html", QString()},
        Decoding{"empty", "", "text/html", QString()},
        // A declared character set that yields half a surrogate pair does not fit.
        Decoding{"utf7_half_pair", "+2DA", "text/html; charset=UTF-7", u"+2DA"_s},
        Decoding{"utf7_half_pair_in_text", "<p>+AGEAYgBj- +2D4eAA-</p>", "text/html; charset=UTF-7",
                 u"<p>+AGEAYgBj- +2D4eAA-</p>"_s},
        Decoding{"quoted_name", "\x93\xfa\x96{", "text/html; charset=\"Shift_JIS\"", u"日本"_s}),
    caseName);

} // namespace
