#include "case_table.h"
#include "updater.h"

#include "qt_printers.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

struct VersionCase {
    const char* name;
    QString a, b;
    bool newer;
};

class UpdaterIsNewer : public testing::TestWithParam<VersionCase> {};

TEST_P(UpdaterIsNewer, compares_numeric_pieces) {
    const VersionCase& c = GetParam();
    EXPECT_EQ(Updater::isNewer(c.a, c.b), c.newer)
        << c.a.toStdString() << " vs " << c.b.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Versions, UpdaterIsNewer,
    testing::Values(
        VersionCase{"ten_beats_nine", u"1.10"_s, u"1.9"_s, true},
        VersionCase{"nine_loses_to_ten", u"1.9"_s, u"1.10"_s, false},
        VersionCase{"shorter_equal", u"2.0"_s, u"2.0.0"_s, false},
        VersionCase{"longer_equal", u"2.0.0"_s, u"2.0"_s, false},
        VersionCase{"patch_newer", u"2.0.1"_s, u"2.0"_s, true},
        VersionCase{"v_prefix_counts_zero", u"v2.0"_s, u"1.0"_s, false},
        VersionCase{"beta_piece_counts_zero", u"1.0-beta"_s, u"0.9"_s, true},
        VersionCase{"release_beats_beta", u"1.2"_s, u"1.2-beta"_s, true},
        VersionCase{"empty_vs_empty", u""_s, u""_s, false},
        VersionCase{"empty_vs_zero", u""_s, u"0"_s, false},
        VersionCase{"one_vs_empty", u"1"_s, u""_s, true},
        VersionCase{"only_dots", u"..."_s, u"0.0"_s, false},
        VersionCase{"equal", u"3.4.5"_s, u"3.4.5"_s, false},
        VersionCase{"empty_pieces_dropped", u"1..2"_s, u"1.1"_s, true},
        VersionCase{"empty_pieces_shift_positions", u"1..2"_s, u"1.0.3"_s, true},
        VersionCase{"plus_sign", u"+2"_s, u"1"_s, true},
        VersionCase{"minus_sign", u"-1"_s, u"0"_s, false},
        VersionCase{"negative_compare", u"1.-1"_s, u"1.-2"_s, true},
        VersionCase{"zero_beats_negative", u"1.x"_s, u"1.-2"_s, true},
        VersionCase{"lone_plus", u"+"_s, u"-1"_s, true},
        VersionCase{"lone_minus", u"1.-"_s, u"1.0"_s, false},
        VersionCase{"double_sign", u"--5"_s, u"0"_s, false},
        VersionCase{"space_counts_zero", u" 5"_s, u"4"_s, false},
        VersionCase{"leading_zeros", u"1.010"_s, u"1.9"_s, true},
        VersionCase{"int64_max", u"9223372036854775807"_s, u"9223372036854775806"_s, true},
        VersionCase{"overflow_counts_zero", u"9223372036854775808"_s, u"1"_s, false},
        VersionCase{"int64_min", u"-9223372036854775808"_s, u"-9223372036854775807"_s, false},
        VersionCase{"below_int64_min_counts_zero", u"-9223372036854775809"_s, u"-1"_s, true},
        VersionCase{"arabic_digits_are_not_digits", u"\u0663"_s, u"1"_s, false},
        VersionCase{"fullwidth_digits_are_not_digits", u"\uFF19"_s, u"1"_s, false},
        VersionCase{"huge_piece_list", u"1."_s.repeated(10000) + u"2"_s, u"1."_s.repeated(10000),
                    true}),
    caseName);

std::optional<UpdateInfo> feed(const char* body, const QString& current = u"1.0"_s) {
    return Updater::fromFeed(QByteArray(body), current);
}

TEST(UpdaterFeed, qualifying_feed_gives_every_field) {
    const auto info = feed(R"({"version":"1.2","url":"https://dl.example.com/m-1.2.zip",
                               "notes":"Faster PDFs","extra":[1]})");
    ASSERT_TRUE(info);
    EXPECT_EQ(info->version, u"1.2");
    EXPECT_EQ(info->downloadURL, QUrl(u"https://dl.example.com/m-1.2.zip"_s));
    EXPECT_EQ(info->notes, u"Faster PDFs");
    EXPECT_EQ(*info, (UpdateInfo{u"1.2"_s, QUrl(u"https://dl.example.com/m-1.2.zip"_s),
                                 u"Faster PDFs"_s}));
}

TEST(UpdaterFeed, version_is_kept_exactly_as_written) {
    const auto info = feed(R"({"version":" 2.0-rc1","url":"https://x.example/a.zip"})");
    EXPECT_FALSE(info); // " 2" counts 0, so 0.0 is not newer than 1.0
    const auto written = feed(R"({"version":"2.0-rc1","url":"https://x.example/a.zip"})");
    ASSERT_TRUE(written);
    EXPECT_EQ(written->version, u"2.0-rc1");
}

TEST(UpdaterFeed, notes_are_optional_and_only_taken_as_strings) {
    const auto missing = feed(R"({"version":"2","url":"https://x.example/a.zip"})");
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->notes, QString());
    const auto number = feed(R"({"version":"2","url":"https://x.example/a.zip","notes":5})");
    ASSERT_TRUE(number);
    EXPECT_EQ(number->notes, QString());
    const auto null = feed(R"({"version":"2","url":"https://x.example/a.zip","notes":null})");
    ASSERT_TRUE(null);
    EXPECT_EQ(null->notes, QString());
}

TEST(UpdaterFeed, version_must_be_newer_than_the_running_one) {
    EXPECT_FALSE(feed(R"({"version":"1.0","url":"https://x.example/a.zip"})", u"1.0"_s));
    EXPECT_FALSE(feed(R"({"version":"1.0.0","url":"https://x.example/a.zip"})", u"1.0"_s));
    EXPECT_FALSE(feed(R"({"version":"0.9","url":"https://x.example/a.zip"})", u"1.0"_s));
    EXPECT_TRUE(feed(R"({"version":"1.0.1","url":"https://x.example/a.zip"})", u"1.0"_s));
}

struct BadFeed {
    const char* name;
    const char* body;
};

class UpdaterFeedRejects : public testing::TestWithParam<BadFeed> {};

TEST_P(UpdaterFeedRejects, gives_no_update) {
    EXPECT_FALSE(feed(GetParam().body, u"1.0"_s)) << GetParam().body;
}

INSTANTIATE_TEST_SUITE_P(
    Feeds, UpdaterFeedRejects,
    testing::Values(
        BadFeed{"html_page", "<html><body>Not found</body></html>"},
        BadFeed{"array", R"([{"version":"9","url":"https://x.example/a.zip"}])"},
        BadFeed{"string", R"("9")"},
        BadFeed{"version_number", R"({"version":2,"url":"https://x.example/a.zip"})"},
        BadFeed{"version_missing", R"({"url":"https://x.example/a.zip"})"},
        BadFeed{"version_null", R"({"version":null,"url":"https://x.example/a.zip"})"},
        BadFeed{"url_missing", R"({"version":"9"})"},
        BadFeed{"url_number", R"({"version":"9","url":1})"},
        BadFeed{"url_object", R"({"version":"9","url":{"href":"https://x.example/a.zip"}})"},
        BadFeed{"http_url", R"({"version":"99","url":"http://x.example/a.zip"})"},
        BadFeed{"upper_case_scheme", R"({"version":"99","url":"HTTPS://x.example/a.zip"})"},
        BadFeed{"mixed_case_scheme", R"({"version":"99","url":"Https://x.example/a.zip"})"},
        BadFeed{"ftp_url", R"({"version":"99","url":"ftp://x.example/a.zip"})"},
        BadFeed{"file_url", R"({"version":"99","url":"file:///tmp/a.zip"})"},
        BadFeed{"relative_url", R"({"version":"99","url":"/downloads/a.zip"})"},
        BadFeed{"scheme_only", R"({"version":"99","url":"https:"})"},
        BadFeed{"no_host", R"({"version":"99","url":"https:///a.zip"})"},
        BadFeed{"leading_space", R"({"version":"99","url":" https://x.example/a.zip"})"},
        BadFeed{"inner_space", R"({"version":"99","url":"https://x.example/a b.zip"})"},
        BadFeed{"newline", R"({"version":"99","url":"https://x.example/\na.zip"})"},
        BadFeed{"bad_port", R"({"version":"99","url":"https://x.example:99999999/a.zip"})"},
        BadFeed{"bad_host", R"({"version":"99","url":"https://x exa<mple/a.zip"})"}),
    caseName);

TEST(UpdaterFeed, url_with_query_port_and_escapes_is_kept) {
    const auto info =
        feed(R"({"version":"2","url":"https://dl.example.com:8443/a%20b.zip?sig=1&x=y#f"})");
    ASSERT_TRUE(info);
    EXPECT_EQ(info->downloadURL.port(), 8443);
    EXPECT_EQ(info->downloadURL.query(), u"sig=1&x=y");
    EXPECT_EQ(info->downloadURL.scheme(), u"https");
}

TEST(UpdaterFeed, last_duplicate_member_wins) {
    const auto info = feed(R"({"version":"0.1","version":"5","url":"https://x.example/a.zip"})");
    ASSERT_TRUE(info);
    EXPECT_EQ(info->version, u"5");
}

} // namespace
