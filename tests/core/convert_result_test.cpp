#include "case_table.h"
#include "convert_result.h"

#include "qt_printers.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// A result with markdown "x" and an unknown member nested `depth` arrays deep.
QByteArray nested(int depth) {
    return R"({"markdown":"x","junk":)" + QByteArray(depth, '[') + QByteArray(depth, ']') + '}';
}

TEST(ConvertResult, an_error_message_is_a_failure_with_nothing_else) {
    EXPECT_EQ(ConvertResult::errorMessage(u"x"_s), ConvertResult({}, {}, {}, {}, u"x"_s));
    EXPECT_TRUE(ConvertResult::errorMessage(QString()).failed());
    EXPECT_FALSE(ConvertResult().failed());
}

struct GoodJson {
    const char* name;
    QByteArray json;
    ConvertResult expected;
};

class ConvertResultDecodes : public testing::TestWithParam<GoodJson> {};

TEST_P(ConvertResultDecodes, every_known_member) {
    const std::optional<ConvertResult> result = ConvertResult::fromJson(GetParam().json);
    ASSERT_TRUE(result);
    EXPECT_EQ(*result, GetParam().expected);
    EXPECT_EQ(result->failed(), GetParam().expected.failed());
}

INSTANTIATE_TEST_SUITE_P(
    Members, ConvertResultDecodes,
    testing::Values(
        GoodJson{"empty_object", "{}", {}},
        GoodJson{"nulls_like_missing",
                 R"({"markdown":null,"title":null,"assets":null,"warnings":null,"error":null})",
                 {}},
        GoodJson{"keys_are_case_sensitive", R"({"Markdown":"x","TITLE":3,"Error":"e"})", {}},
        GoodJson{"full_object_in_order",
                 R"({"warnings":["w1","w2"],"assets":[{"name":"i.png","base64":"iVBO","extra":1},
                    {"name":"j.png","base64":"QQ=="}],"title":"T","markdown":"# x\n",
                    "other":{"deep":[1,2]}})",
                 {u"# x\n"_s,
                  u"T"_s,
                  {{u"i.png"_s, u"iVBO"_s}, {u"j.png"_s, u"QQ=="_s}},
                  {u"w1"_s, u"w2"_s},
                  std::nullopt}},
        GoodJson{"markdown_and_error_failed",
                 R"({"markdown":"partial","error":"engine gave up"})",
                 {u"partial"_s, {}, {}, {}, u"engine gave up"_s}},
        GoodJson{"empty_error_still_failed", R"({"error":""})", {{}, {}, {}, {}, QString()}},
        GoodJson{"moderate_nesting_ignored", nested(100), {u"x"_s, {}, {}, {}, std::nullopt}}),
    caseName);

struct BadJson {
    const char* name;
    QByteArray json;
};

class ConvertResultRejects : public testing::TestWithParam<BadJson> {};

TEST_P(ConvertResultRejects, the_whole_decode) {
    EXPECT_FALSE(ConvertResult::fromJson(GetParam().json)) << GetParam().json.left(80).data();
}

INSTANTIATE_TEST_SUITE_P(
    Hostile, ConvertResultRejects,
    testing::Values(
        BadJson{"top_level_array", R"([{"markdown":"x"}])"}, BadJson{"top_level_string", R"("x")"},
        BadJson{"top_level_number", "42"}, BadJson{"top_level_null", "null"},
        BadJson{"title_number", R"({"title":3})"}, BadJson{"markdown_bool", R"({"markdown":true})"},
        BadJson{"markdown_object", R"({"markdown":{}})"}, BadJson{"error_number", R"({"error":1})"},
        BadJson{"error_false", R"({"error":false})"}, BadJson{"error_array", R"({"error":["x"]})"},
        BadJson{"assets_object", R"({"assets":{"name":"a","base64":"b"}})"},
        BadJson{"assets_string", R"({"assets":"a.png"})"},
        BadJson{"asset_only_name", R"({"assets":[{"name":"a.png"}]})"},
        BadJson{"asset_only_base64", R"({"assets":[{"base64":"AAAA"}]})"},
        BadJson{"asset_null_name", R"({"assets":[{"name":null,"base64":"AAAA"}]})"},
        BadJson{"asset_number_base64", R"({"assets":[{"name":"a","base64":1}]})"},
        BadJson{"asset_not_object", R"({"assets":["a.png"]})"},
        BadJson{"one_bad_asset_among_good",
                R"({"assets":[{"name":"a","base64":"QQ=="},{"name":"b"}]})"},
        BadJson{"asset_null_element", R"({"assets":[null]})"},
        BadJson{"warnings_string", R"({"warnings":"careful"})"},
        BadJson{"warnings_number_element", R"({"warnings":["ok",2]})"},
        BadJson{"warnings_null_element", R"({"warnings":[null]})"},
        BadJson{"invalid_utf8", "{\"title\":\"\xff\xfe\"}"},
        // Too deep for the parser: refused whole, without overflowing the stack.
        BadJson{"deep_nesting", nested(100000)}),
    caseName);

TEST(ConvertResultDecoding, huge_strings_decode_whole) {
    const qsizetype size = 32 * 1024 * 1024;
    const QByteArray json = R"({"markdown":")" + QByteArray(size, 'a') +
                            R"(","assets":[{"name":"big.png","base64":")" +
                            QByteArray(size / 2, 'Q') + R"("}]})";
    const auto result = ConvertResult::fromJson(json);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->markdown.size(), size);
    ASSERT_EQ(result->assets.size(), 1);
    EXPECT_EQ(result->assets[0].base64.size(), size / 2);
}

} // namespace
