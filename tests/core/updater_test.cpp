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
        VersionCase{"shorter_equal", u"2.0"_s, u"2.0.0"_s, false},
        VersionCase{"longer_equal", u"2.0.0"_s, u"2.0"_s, false},
        VersionCase{"patch_newer", u"2.0.1"_s, u"2.0"_s, true},
        VersionCase{"v_prefix_counts_zero", u"v2.0"_s, u"1.0"_s, false},
        VersionCase{"beta_piece_counts_zero", u"1.0-beta"_s, u"0.9"_s, true},
        VersionCase{"release_beats_beta", u"1.2"_s, u"1.2-beta"_s, true},
        VersionCase{"empty_vs_empty", u""_s, u""_s, false},
        VersionCase{"empty_vs_zero", u""_s, u"0"_s, false},
        VersionCase{"one_vs_empty", u"1"_s, u""_s, true},
        VersionCase{"equal", u"3.4.5"_s, u"3.4.5"_s, false},
        VersionCase{"empty_pieces_dropped", u"1..2"_s, u"1.1"_s, true},
        VersionCase{"empty_pieces_shift_positions", u"1..2"_s, u"1.0.3"_s, true},
        VersionCase{"plus_sign", u"+2"_s, u"1"_s, true},
        VersionCase{"minus_sign", u"-1"_s, u"0"_s, false},
        VersionCase{"negative_compare", u"1.-1"_s, u"1.-2"_s, true},
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
        VersionCase{"huge_piece_list", u"1."_s.repeated(10000) + u"2"_s, u"1."_s.repeated(10000),
                    true}),
    caseName);

const QUrl aZip(u"https://x.example/a.zip"_s);

// A feed offering `version` at `url`, both as strings.
QByteArray feed(const char* version, const char* url = "https://x.example/a.zip") {
    return R"({"version":")" + QByteArray(version) + R"(","url":")" + url + R"("})";
}

struct FeedCase {
    const char* name;
    QByteArray body;
    std::optional<UpdateInfo> expected;
};

class UpdaterFeed : public testing::TestWithParam<FeedCase> {};

TEST_P(UpdaterFeed, offers_only_a_newer_version_at_an_https_address) {
    EXPECT_EQ(Updater::fromFeed(GetParam().body, u"1.0"_s), GetParam().expected)
        << GetParam().body.data();
}

INSTANTIATE_TEST_SUITE_P(
    Feeds, UpdaterFeed,
    testing::Values(
        FeedCase{
            "every_field", R"({"version":"1.2","url":"https://dl.example.com/m-1.2.zip",
                                   "notes":"Faster PDFs","extra":[1]})",
            UpdateInfo{u"1.2"_s, QUrl(u"https://dl.example.com/m-1.2.zip"_s), u"Faster PDFs"_s}},
        FeedCase{"version_kept_as_written", feed("2.0-rc1"), UpdateInfo{u"2.0-rc1"_s, aZip, {}}},
        // " 2" counts 0, so 0.0 is not newer than 1.0.
        FeedCase{"version_with_a_space", feed(" 2.0-rc1"), std::nullopt},
        FeedCase{"no_notes", feed("2"), UpdateInfo{u"2"_s, aZip, {}}},
        FeedCase{"notes_number", R"({"version":"2","url":"https://x.example/a.zip","notes":5})",
                 UpdateInfo{u"2"_s, aZip, {}}},
        FeedCase{"same_version", feed("1.0"), std::nullopt},
        FeedCase{"same_version_longer", feed("1.0.0"), std::nullopt},
        FeedCase{"older_version", feed("0.9"), std::nullopt},
        FeedCase{"patch_newer", feed("1.0.1"), UpdateInfo{u"1.0.1"_s, aZip, {}}},
        FeedCase{
            "url_with_query_port_and_escapes",
            feed("2", "https://dl.example.com:8443/a%20b.zip?sig=1&x=y#f"),
            UpdateInfo{u"2"_s, QUrl(u"https://dl.example.com:8443/a%20b.zip?sig=1&x=y#f"_s), {}}},
        FeedCase{"html_page", "<html><body>Not found</body></html>", std::nullopt},
        FeedCase{"array", "[" + feed("9") + "]", std::nullopt},
        FeedCase{"version_number", R"({"version":2,"url":"https://x.example/a.zip"})",
                 std::nullopt},
        FeedCase{"version_missing", R"({"url":"https://x.example/a.zip"})", std::nullopt},
        FeedCase{"url_missing", R"({"version":"9"})", std::nullopt},
        FeedCase{"url_number", R"({"version":"9","url":1})", std::nullopt},
        FeedCase{"http_url", feed("99", "http://x.example/a.zip"), std::nullopt},
        FeedCase{"ftp_url", feed("99", "ftp://x.example/a.zip"), std::nullopt},
        FeedCase{"upper_case_scheme", feed("99", "HTTPS://x.example/a.zip"), std::nullopt},
        FeedCase{"no_host", feed("99", "https:///a.zip"), std::nullopt},
        FeedCase{"leading_space", feed("99", " https://x.example/a.zip"), std::nullopt},
        FeedCase{"inner_space", feed("99", "https://x.example/a b.zip"), std::nullopt},
        FeedCase{"newline", feed("99", "https://x.example/\\na.zip"), std::nullopt},
        FeedCase{"bad_port", feed("99", "https://x.example:99999999/a.zip"), std::nullopt}),
    caseName);

} // namespace
