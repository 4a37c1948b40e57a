#include "case_table.h"
#include "convert_result.h"

#include "qt_printers.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

std::optional<ConvertResult> decode(const char* json) {
    return ConvertResult::fromJson(QByteArray(json));
}

TEST(ConvertResultConstruction, error_message_leaves_everything_else_empty) {
    const ConvertResult result = ConvertResult::errorMessage(u"x"_s);
    EXPECT_EQ(result, ConvertResult({}, {}, {}, {}, u"x"_s));
}

TEST(ConvertResultConstruction, empty_error_text_still_means_failure) {
    EXPECT_TRUE(ConvertResult::errorMessage(QString()).failed());
    EXPECT_FALSE(ConvertResult().failed());
}

TEST(ConvertResultDecoding, empty_object_gives_an_empty_successful_result) {
    const auto result = decode("{}");
    ASSERT_TRUE(result);
    EXPECT_EQ(*result, ConvertResult());
    EXPECT_FALSE(result->failed());
}

TEST(ConvertResultDecoding, null_members_decode_like_missing_ones) {
    const auto result =
        decode(R"({"markdown":null,"title":null,"assets":null,"warnings":null,"error":null})");
    ASSERT_TRUE(result);
    EXPECT_EQ(*result, ConvertResult());
}

TEST(ConvertResultDecoding, full_object_decodes_every_field) {
    const auto result = decode(R"({"warnings":["w1","w2"],"assets":[{"name":"i.png",
        "base64":"iVBO","extra":1}],"title":"T","markdown":"# x\n","other":{"deep":[1,2]}})");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->markdown, u"# x\n");
    EXPECT_EQ(result->title, u"T");
    ASSERT_EQ(result->assets.size(), 1);
    EXPECT_EQ(result->assets[0], (ConvertResult::Asset{u"i.png"_s, u"iVBO"_s}));
    EXPECT_EQ(result->warnings, (QStringList{u"w1"_s, u"w2"_s}));
    EXPECT_FALSE(result->error);
}

TEST(ConvertResultDecoding, markdown_and_error_together_count_as_failed) {
    const auto result = decode(R"({"markdown":"partial","error":"engine gave up"})");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->markdown, u"partial");
    EXPECT_EQ(result->error, u"engine gave up"_s);
    EXPECT_TRUE(result->failed());
}

TEST(ConvertResultDecoding, empty_error_string_is_present) {
    const auto result = decode(R"({"error":""})");
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->failed());
    EXPECT_EQ(result->error, QString());
}

TEST(ConvertResultDecoding, keys_are_case_sensitive) {
    const auto result = decode(R"({"Markdown":"x","TITLE":3,"Error":"e"})");
    ASSERT_TRUE(result);
    EXPECT_EQ(*result, ConvertResult());
}

// Qt's parser keeps the last of duplicate members; the decoder inherits that.
TEST(ConvertResultDecoding, last_duplicate_key_wins) {
    const auto result = decode(R"({"title":"first","title":"second"})");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->title, u"second");
    EXPECT_FALSE(decode(R"({"title":"fine","title":7})"));
    const auto rescued = decode(R"({"title":7,"title":"fine"})");
    ASSERT_TRUE(rescued);
    EXPECT_EQ(rescued->title, u"fine");
}

struct BadJson {
    const char* name;
    const char* json;
};

class ConvertResultRejects : public testing::TestWithParam<BadJson> {};

TEST_P(ConvertResultRejects, the_whole_decode) {
    EXPECT_FALSE(decode(GetParam().json)) << GetParam().json;
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
        BadJson{"invalid_utf8", "{\"title\":\"\xff\xfe\"}"}),
    caseName);

TEST(ConvertResultDecoding, deep_nesting_fails_cleanly_without_overflowing) {
    QByteArray json = R"({"markdown":"x","junk":)";
    json += QByteArray(100000, '[');
    json += QByteArray(100000, ']');
    json += '}';
    EXPECT_FALSE(ConvertResult::fromJson(json));
}

TEST(ConvertResultDecoding, moderate_nesting_in_unknown_members_is_ignored) {
    QByteArray json = R"({"markdown":"x","junk":)";
    json += QByteArray(100, '[');
    json += QByteArray(100, ']');
    json += '}';
    const auto result = ConvertResult::fromJson(json);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->markdown, u"x");
}

TEST(ConvertResultDecoding, huge_strings_decode_whole) {
    const qsizetype size = 32 * 1024 * 1024;
    QByteArray json = R"({"markdown":")";
    json += QByteArray(size, 'a');
    json += R"(","assets":[{"name":"big.png","base64":")";
    json += QByteArray(size / 2, 'Q');
    json += R"("}]})";
    const auto result = ConvertResult::fromJson(json);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->markdown.size(), size);
    ASSERT_EQ(result->assets.size(), 1);
    EXPECT_EQ(result->assets[0].base64.size(), size / 2);
}

TEST(ConvertResultDecoding, many_assets_keep_their_order) {
    QByteArray json = R"({"assets":[)";
    for (int i = 0; i < 5000; ++i) {
        if (i > 0)
            json += ',';
        json += R"({"name":"img)" + QByteArray::number(i) + R"(.png","base64":"QQ=="})";
    }
    json += "]}";
    const auto result = ConvertResult::fromJson(json);
    ASSERT_TRUE(result);
    ASSERT_EQ(result->assets.size(), 5000);
    EXPECT_EQ(result->assets.front().name, u"img0.png");
    EXPECT_EQ(result->assets.back().name, u"img4999.png");
}

} // namespace
