#include "unicode.h"

#include "qt_printers.h"

#include <gtest/gtest.h>

#include <thread>

using namespace Qt::StringLiterals;

namespace {

TEST(UnicodeGraphemes, splits_into_user_perceived_characters) {
    const QString text = u"e\u0301a👍🏽🇩🇰\r\nx"_s;
    EXPECT_EQ(Unicode::graphemes(text),
              (QList<QStringView>{u"e\u0301", u"a", u"👍🏽", u"🇩🇰", u"\r\n", u"x"}));
    EXPECT_TRUE(Unicode::graphemes(QString()).isEmpty());
}

TEST(UnicodeGraphemes, is_safe_from_several_threads) {
    const QString text = u"ab\u0301c"_s.repeated(1000);
    std::vector<std::thread> threads;
    std::atomic<int> wrong = 0;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 50; ++i)
                if (Unicode::graphemes(text).size() != 3000)
                    ++wrong;
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(wrong, 0);
}

TEST(UnicodeGraphemes, counts_clusters_with_and_without_combining_marks) {
    EXPECT_EQ(Unicode::graphemeCount(u""), 0);
    EXPECT_EQ(Unicode::graphemeCount(u"plain text"), 10);
    EXPECT_EQ(Unicode::graphemeCount(u"a\r\nb\n\r"), 5);
    EXPECT_EQ(Unicode::graphemeCount(u"e\u0301t\u00E9"), 3);
    EXPECT_EQ(Unicode::graphemeCount(u"\U0001F469\u200D\U0001F4BB!"), 2);
}

TEST(UnicodeGraphemes, tells_whether_a_text_holds_enough_clusters) {
    EXPECT_TRUE(Unicode::hasAtLeastGraphemes(u"", 0));
    EXPECT_FALSE(Unicode::hasAtLeastGraphemes(u"", 1));
    EXPECT_TRUE(Unicode::hasAtLeastGraphemes(u"abc", 3));
    EXPECT_FALSE(Unicode::hasAtLeastGraphemes(u"ab", 3));
    // Three code points and three code units, but two clusters.
    EXPECT_FALSE(Unicode::hasAtLeastGraphemes(u"e\u0301t", 3));
    EXPECT_TRUE(Unicode::hasAtLeastGraphemes(u"e\u0301t", 2));
    EXPECT_FALSE(Unicode::hasAtLeastGraphemes(u"\U0001F469\u200D\U0001F4BB!", 3));
    EXPECT_FALSE(Unicode::hasAtLeastGraphemes(u"\r\n\r\n", 3));
    const QString longText(2'000'000, u'x');
    EXPECT_TRUE(Unicode::hasAtLeastGraphemes(longText, 3));
}

TEST(UnicodeNfc, composes_and_keeps_composed_text) {
    EXPECT_EQ(Unicode::nfc(u"e\u0301"), u"é");
    EXPECT_EQ(Unicode::nfc(u"é"), u"é");
    EXPECT_EQ(Unicode::nfc(u"\u212B"), u"Å");
    EXPECT_EQ(Unicode::nfc(u""), u"");
}

TEST(UnicodeBlank, uses_the_white_space_property) {
    EXPECT_TRUE(Unicode::isBlank(u""));
    EXPECT_TRUE(Unicode::isBlank(u" \t\n\r\u000B\u000C\u0085\u00A0\u2028\u2029\u3000"));
    EXPECT_FALSE(Unicode::isBlank(u" x "));
    EXPECT_FALSE(Unicode::isBlank(u"\u200B")); // zero-width space is not White_Space
    EXPECT_FALSE(Unicode::isBlank(u"😀"));
}

TEST(UnicodeProperties, follow_alphabetic_and_lowercase) {
    EXPECT_TRUE(Unicode::isAlphabetic(U'a'));
    EXPECT_TRUE(Unicode::isAlphabetic(U'Ø'));
    EXPECT_TRUE(Unicode::isAlphabetic(U'\U00010400')); // Deseret, outside the BMP
    EXPECT_FALSE(Unicode::isAlphabetic(U'2'));
    EXPECT_FALSE(Unicode::isAlphabetic(U'-'));
    EXPECT_TRUE(Unicode::isLowercase(U'ø'));
    EXPECT_TRUE(Unicode::isLowercase(U'ß'));
    EXPECT_FALSE(Unicode::isLowercase(U'A'));
    EXPECT_FALSE(Unicode::isLowercase(U'1'));
    EXPECT_EQ(Unicode::firstCodePoint(u"\U00010400x"), U'\U00010400');
}

TEST(UnicodeTrimmed, removes_white_space_at_both_ends_only) {
    EXPECT_EQ(Unicode::trimmed(u"\u00A0 a  b\u2029\n"), u"a  b");
    EXPECT_EQ(Unicode::trimmed(u" \t "), u"");
    EXPECT_EQ(Unicode::trimmed(u"\u200Bx"), u"\u200Bx");
}

TEST(UnicodeDecodeUtf8Strict, accepts_valid_text_and_drops_a_bom) {
    EXPECT_EQ(Unicode::decodeUtf8Strict("Gr\xc3\xb8nland"), u"Grønland"_s);
    EXPECT_EQ(Unicode::decodeUtf8Strict("\xef\xbb\xbfhi"), u"hi"_s);
    EXPECT_EQ(Unicode::decodeUtf8Strict("\xf0\x9f\x98\x80"), u"😀"_s);
    EXPECT_EQ(Unicode::decodeUtf8Strict(""), u""_s);
}

TEST(UnicodeDecodeUtf8Strict, rejects_every_invalid_sequence) {
    for (const char* bad : {"caf\xe9", "\xc0\xaf", "\xe0\x80\xaf", "\xed\xa0\x80",
                            "\xf4\x90\x80\x80", "ab\xc3", "\xff", "\x80x"})
        EXPECT_FALSE(Unicode::decodeUtf8Strict(bad)) << bad;
}

TEST(UnicodeDecodeStrict, uses_the_named_character_set) {
    EXPECT_EQ(Unicode::decodeStrict("caf\xe9", "iso-8859-1"), u"café"_s);
    EXPECT_EQ(Unicode::decodeStrict("caf\xe9", "ISO_8859-1"), u"café"_s);
    EXPECT_EQ(Unicode::decodeStrict("\x80 \x93q\x94", "windows-1252"), u"€ “q”"_s);
    EXPECT_EQ(Unicode::decodeStrict("\x93\xfa\x96\x7b", "Shift_JIS"), u"日本"_s);
    EXPECT_EQ(Unicode::decodeStrict("\xc3\xa9", "utf-8"), u"é"_s);
    EXPECT_EQ(Unicode::decodeStrict("", "utf-8"), u""_s);
}

TEST(UnicodeDecodeStrict, refuses_invalid_bytes_and_unknown_names) {
    EXPECT_FALSE(Unicode::decodeStrict("a\x81z", "windows-1252")); // undefined in 1252
    EXPECT_FALSE(Unicode::decodeStrict("caf\xe9", "utf-8"));
    EXPECT_FALSE(Unicode::decodeStrict("\x93", "Shift_JIS")); // truncated
    EXPECT_FALSE(Unicode::decodeStrict("abc", "no-such-charset"));
    EXPECT_FALSE(Unicode::decodeStrict("abc", ""));
    EXPECT_FALSE(Unicode::decodeStrict("abc", "  "));
}

TEST(UnicodeDecodeStrict, refuses_half_a_surrogate_pair) {
    // Both decode to a lone high surrogate in ICU; a whole pair is fine.
    EXPECT_FALSE(Unicode::decodeStrict("+2DA", "UTF-7"));
    EXPECT_FALSE(Unicode::decodeStrict("\xfc-\xa4"
                                       "2p118\xa4",
                                       "BOCU-1"));
    EXPECT_FALSE(Unicode::decodeStrict("+2D4eAA-", "UTF-7"));
    EXPECT_EQ(Unicode::decodeStrict("+2D3eAA-", "UTF-7"), u"\U0001F600"_s);
    EXPECT_EQ(Unicode::decode(QByteArray("+2DA"), "UTF-7"), std::nullopt);
}

TEST(UnicodeVisualToLogical, reads_right_to_left_lines_from_the_right) {
    // "كتاب Python جديد" as drawn: Arabic words and their letters reversed,
    // the Latin word in place.
    EXPECT_EQ(Unicode::visualToLogical(u"\u062F\u064A\u062F\u062C Python \u0628\u0627\u062A\u0643"),
              u"\u0643\u062A\u0627\u0628 Python \u062C\u062F\u064A\u062F"_s);
    // A mark stays after its letter.
    EXPECT_EQ(Unicode::visualToLogical(u"\u0627\u0628\u064E"), u"\u0628\u064E\u0627"_s);
    // The closing bracket stands at the left of a bracketed Arabic word.
    EXPECT_EQ(Unicode::visualToLogical(u")\u0628\u0627("), u"(\u0627\u0628)"_s);
    // A Hebrew word in an English line turns in place.
    EXPECT_EQ(Unicode::visualToLogical(u"the word \u05DD\u05D5\u05DC\u05E9 means peace"),
              u"the word \u05E9\u05DC\u05D5\u05DD means peace"_s);
    EXPECT_EQ(Unicode::visualToLogical(u"plain caf\u00E9 text"), u"plain caf\u00E9 text"_s);
    EXPECT_EQ(Unicode::visualToLogical(u""), u""_s);
}

TEST(UnicodeCodePages, convert_strictly) {
    EXPECT_EQ(Unicode::encode(u"\u00AF\u2248", "macintosh"), QByteArray("\xF8\xC5"));
    EXPECT_EQ(Unicode::decode(QByteArray("\xF8\x96"), "windows-1252"), u"ø\u2013"_s);
    EXPECT_EQ(Unicode::encode(u"a\u4E00", "macintosh"), std::nullopt);
    EXPECT_EQ(Unicode::decode(QByteArray("a\xC3\x28"), "UTF-8"), std::nullopt);
    EXPECT_EQ(Unicode::encode(u"a", "no-such-code-page"), std::nullopt);
    EXPECT_EQ(Unicode::decode(QByteArray(), "windows-1252"), u""_s);
}

} // namespace
