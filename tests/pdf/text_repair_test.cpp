#include "text_repair.h"

#include "case_table.h"
#include "qt_printers.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

struct RepairCase {
    const char* name;
    QString input, expected;
};

class CollapseWs : public testing::TestWithParam<RepairCase> {};

TEST_P(CollapseWs, collapses_only_space_tab_line_feed_and_return) {
    EXPECT_EQ(PDFLayout::collapseWs(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CollapseWs,
    testing::Values(RepairCase{"mixed_runs", u"  a \t\t b\n"_s, u"a b"_s},
                    RepairCase{"only_collapsible", u" \t\r\n \n"_s, u""_s},
                    RepairCase{"empty", u""_s, u""_s},
                    RepairCase{"carriage_return_inside", u"a\r\nb"_s, u"a b"_s},
                    RepairCase{"no_break_space_kept", u"a\u00A0 \u00A0b"_s, u"a\u00A0 \u00A0b"_s},
                    RepairCase{"typographic_space_kept", u" a\u2003b "_s, u"a\u2003b"_s}),
    caseName);

class LigatureTable : public testing::TestWithParam<RepairCase> {};

TEST_P(LigatureTable, replaces_each_entry_by_its_letters) {
    EXPECT_EQ(PDFLayout::fixLigatures(u"x"_s + GetParam().input + u"y"_s),
              u"x"_s + GetParam().expected + u"y"_s);
}

INSTANTIATE_TEST_SUITE_P(Entries, LigatureTable,
                         testing::Values(RepairCase{"ff", u"\uFB00"_s, u"ff"_s},
                                         RepairCase{"fi", u"\uFB01"_s, u"fi"_s},
                                         RepairCase{"fl", u"\uFB02"_s, u"fl"_s},
                                         RepairCase{"ffi", u"\uFB03"_s, u"ffi"_s},
                                         RepairCase{"ffl", u"\uFB04"_s, u"ffl"_s},
                                         RepairCase{"long_st_is_ft", u"\uFB05"_s, u"ft"_s},
                                         RepairCase{"st", u"\uFB06"_s, u"st"_s},
                                         RepairCase{"O_bar_is_ti", u"\u019F"_s, u"ti"_s},
                                         RepairCase{"esh_is_tt", u"\u01A9"_s, u"tt"_s},
                                         RepairCase{"N_caron_is_fl", u"\u0147"_s, u"fl"_s},
                                         RepairCase{"O_macron_is_ft", u"\u014C"_s, u"ft"_s}),
                         caseName);

TEST(FixLigatures, leaves_text_without_trigger_characters_after_the_ligatures) {
    EXPECT_EQ(PDFLayout::fixLigatures(u"\uFB01nd the \uFB02ow"), u"find the flow"_s);
    EXPECT_EQ(PDFLayout::fixLigatures(u"ß and \u00F1 stay"), u"ß and \u00F1 stay"_s);
}

TEST(FixLigatures, replaces_stand_in_letters_even_where_they_are_genuine) {
    EXPECT_EQ(PDFLayout::fixLigatures(u"\u0147ew \u014Cee"), u"flew ftee"_s);
}

TEST(FixLigatures, needs_three_trigger_characters_to_re_decode) {
    EXPECT_EQ(PDFLayout::fixLigatures(u"p\u00C2 bl\u00C2 \uF0A1"), u"p\u00C2 bl\u00C2 \uF0A1"_s);
    EXPECT_EQ(PDFLayout::fixLigatures(u"p\u00C2 bl\u00C2 K\u00AFge \uF0A1"),
              u"p\u00E5 bl\u00E5 K\u00F8ge \u2022"_s);
    // Trigger characters count only as whole characters: here Â carries an accent.
    EXPECT_EQ(PDFLayout::fixLigatures(u"\u00C2\u0301 \u00C2 \u00AF"),
              u"\u00C2\u0301 \u00C2 \u00AF"_s);
}

class MacRomanTells : public testing::TestWithParam<RepairCase> {};

TEST_P(MacRomanTells, become_the_windows_1252_character_once_triggered) {
    const QString triggered = u"\u00AF\u00CA\u00C2 "_s;
    EXPECT_EQ(PDFLayout::fixLigatures(triggered + GetParam().input),
              u"\u00F8\u00E6\u00E5 "_s + GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Table, MacRomanTells,
                         testing::Values(RepairCase{"macron_to_o_slash", u"¯"_s, u"ø"_s},
                                         RepairCase{"E_circumflex_to_ae", u"Ê"_s, u"æ"_s},
                                         RepairCase{"A_circumflex_to_a_ring", u"Â"_s, u"å"_s},
                                         RepairCase{"sharp_s_to_section", u"ß"_s, u"§"_s},
                                         RepairCase{"almost_equal_to_A_ring", u"≈"_s, u"Å"_s},
                                         RepairCase{"increment_to_AE", u"∆"_s, u"Æ"_s},
                                         RepairCase{"y_diaeresis_to_O_slash", u"ÿ"_s, u"Ø"_s},
                                         RepairCase{"E_grave_to_e_acute", u"È"_s, u"é"_s},
                                         RepairCase{"n_tilde_to_en_dash", u"ñ"_s, u"–"_s},
                                         RepairCase{"i_circumflex_to_right_quote", u"î"_s, u"”"_s},
                                         RepairCase{"i_grave_to_left_quote", u"ì"_s, u"“"_s},
                                         RepairCase{"others_unchanged", u"abc é €"_s,
                                                    u"abc é €"_s}),
                         caseName);

TEST(FixLigatures, turns_quotes_dash_and_bullet_in_a_re_decoded_text) {
    EXPECT_EQ(
        PDFLayout::fixLigatures(u"\uF0A1 \u00ECK\u00AFbenhavn\u00EE \u00F1 \u00CAble p\u00C2"),
        u"\u2022 \u201CK\u00F8benhavn\u201D \u2013 \u00E6ble p\u00E5"_s);
}

TEST(FixLigatures, is_safe_when_first_used_from_several_threads) {
    std::vector<std::thread> threads;
    std::vector<QString> results(8);
    for (size_t i = 0; i < results.size(); ++i)
        threads.emplace_back(
            [&results, i] { results[i] = PDFLayout::fixLigatures(u"\u00AF\u00CA\u00C2 ß"_s); });
    for (std::thread& thread : threads)
        thread.join();
    for (const QString& result : results)
        EXPECT_EQ(result, u"\u00F8\u00E6\u00E5 §"_s);
}

class Tidy : public testing::TestWithParam<RepairCase> {};

TEST_P(Tidy, trims_lines_and_collapses_blank_runs) {
    EXPECT_EQ(PDFLayout::tidy(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Tidy,
    testing::Values(RepairCase{"five_line_feeds", u"one\n\n\n\n\ntwo"_s, u"one\n\ntwo\n"_s},
                    RepairCase{"empty", u""_s, u"\n"_s},
                    RepairCase{"blank_start_and_end", u"\n\n  \nbody\n\n\n"_s, u"body\n"_s},
                    RepairCase{"trailing_blanks", u"a \t\nb  \n"_s, u"a\nb\n"_s},
                    RepairCase{"indentation_kept", u"  first\n  second"_s, u"first\n  second\n"_s},
                    RepairCase{"blank_lines_take_part", u"a\n \t\n\t\n\nb"_s, u"a\n\nb\n"_s},
                    RepairCase{"other_trailing_kept", u"a\u00A0x\u2003\nb"_s,
                               u"a\u00A0x\u2003\nb\n"_s},
                    RepairCase{"two_line_feeds_stay", u"a\n\nb"_s, u"a\n\nb\n"_s}),
    caseName);

} // namespace
