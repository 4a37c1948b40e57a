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
    QString (*repair)(QStringView);
    QString input, expected;
};

class Repairs : public testing::TestWithParam<RepairCase> {};

TEST_P(Repairs, give_the_expected_text) {
    EXPECT_EQ(GetParam().repair(GetParam().input), GetParam().expected);
}

// Three Mac Roman tells mark a text as decoded with the wrong code page.
const QString tells = u"\u00AF\u00CA\u00C2 "_s;
const QString mended = u"\u00F8\u00E6\u00E5 "_s;

RepairCase macRoman(const char* name, const QString& input, const QString& expected) {
    return {name, PDFLayout::fixLigatures, tells + input, mended + expected};
}

// collapseWs: only space, tab, line feed and return collapse.
INSTANTIATE_TEST_SUITE_P(
    CollapseWs, Repairs,
    testing::Values(RepairCase{"mixed_runs", PDFLayout::collapseWs, u"  a \t\t b\n"_s, u"a b"_s},
                    RepairCase{"only_collapsible", PDFLayout::collapseWs, u" \t\r\n \n"_s, u""_s},
                    RepairCase{"empty", PDFLayout::collapseWs, u""_s, u""_s},
                    RepairCase{"carriage_return_inside", PDFLayout::collapseWs, u"a\r\nb"_s,
                               u"a b"_s},
                    RepairCase{"no_break_space_kept", PDFLayout::collapseWs, u"a\u00A0 \u00A0b"_s,
                               u"a\u00A0 \u00A0b"_s},
                    RepairCase{"typographic_space_kept", PDFLayout::collapseWs, u" a\u2003b "_s,
                               u"a\u2003b"_s}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    Ligatures, Repairs,
    testing::Values(RepairCase{"ff", PDFLayout::fixLigatures, u"x\uFB00y"_s, u"xffy"_s},
                    RepairCase{"fi", PDFLayout::fixLigatures, u"x\uFB01y"_s, u"xfiy"_s},
                    RepairCase{"fl", PDFLayout::fixLigatures, u"x\uFB02y"_s, u"xfly"_s},
                    RepairCase{"ffi", PDFLayout::fixLigatures, u"x\uFB03y"_s, u"xffiy"_s},
                    RepairCase{"ffl", PDFLayout::fixLigatures, u"x\uFB04y"_s, u"xffly"_s},
                    RepairCase{"long_st_is_ft", PDFLayout::fixLigatures, u"x\uFB05y"_s, u"xfty"_s},
                    RepairCase{"st", PDFLayout::fixLigatures, u"x\uFB06y"_s, u"xsty"_s},
                    RepairCase{"O_bar_is_ti", PDFLayout::fixLigatures, u"x\u019Fy"_s, u"xtiy"_s},
                    RepairCase{"esh_is_tt", PDFLayout::fixLigatures, u"x\u01A9y"_s, u"xtty"_s},
                    // stand-in letters are replaced even where they are genuine
                    RepairCase{"N_caron_is_fl", PDFLayout::fixLigatures, u"\u0147ew"_s, u"flew"_s},
                    RepairCase{"O_macron_is_ft", PDFLayout::fixLigatures, u"\u014Cee"_s, u"ftee"_s},
                    RepairCase{"without_tells_after_ligatures", PDFLayout::fixLigatures,
                               u"\uFB01nd \u00F1 \u00C2 stay"_s, u"find \u00F1 \u00C2 stay"_s},
                    RepairCase{"two_tells_are_not_enough", PDFLayout::fixLigatures,
                               u"p\u00C2 bl\u00C2 \uF0A1"_s, u"p\u00C2 bl\u00C2 \uF0A1"_s},
                    // a tell counts only as a whole character: here Â carries an accent
                    RepairCase{"tells_are_whole_characters", PDFLayout::fixLigatures,
                               u"\u00C2\u0301 \u00C2 \u00AF"_s, u"\u00C2\u0301 \u00C2 \u00AF"_s},
                    RepairCase{"quotes_dash_and_bullet", PDFLayout::fixLigatures,
                               u"\uF0A1 \u00ECK\u00AFbenhavn\u00EE \u00F1 \u00CAble p\u00C2"_s,
                               u"\u2022 \u201CK\u00F8benhavn\u201D \u2013 \u00E6ble p\u00E5"_s}),
    caseName);

INSTANTIATE_TEST_SUITE_P(MacRomanTells, Repairs,
                         testing::Values(macRoman("macron_to_o_slash", u"¯"_s, u"ø"_s),
                                         macRoman("E_circumflex_to_ae", u"Ê"_s, u"æ"_s),
                                         macRoman("A_circumflex_to_a_ring", u"Â"_s, u"å"_s),
                                         macRoman("sharp_s_to_section", u"ß"_s, u"§"_s),
                                         macRoman("almost_equal_to_A_ring", u"≈"_s, u"Å"_s),
                                         macRoman("increment_to_AE", u"∆"_s, u"Æ"_s),
                                         macRoman("y_diaeresis_to_O_slash", u"ÿ"_s, u"Ø"_s),
                                         macRoman("E_grave_to_e_acute", u"È"_s, u"é"_s),
                                         macRoman("n_tilde_to_en_dash", u"ñ"_s, u"–"_s),
                                         macRoman("i_circumflex_to_right_quote", u"î"_s, u"”"_s),
                                         macRoman("i_grave_to_left_quote", u"ì"_s, u"“"_s),
                                         macRoman("others_unchanged", u"abc é €"_s, u"abc é €"_s)),
                         caseName);

// tidy: lines trimmed at their end, runs of blank lines made one.
INSTANTIATE_TEST_SUITE_P(
    Tidy, Repairs,
    testing::Values(
        RepairCase{"five_line_feeds", PDFLayout::tidy, u"one\n\n\n\n\ntwo"_s, u"one\n\ntwo\n"_s},
        RepairCase{"empty", PDFLayout::tidy, u""_s, u"\n"_s},
        RepairCase{"blank_start_and_end", PDFLayout::tidy, u"\n\n  \nbody\n\n\n"_s, u"body\n"_s},
        RepairCase{"trailing_blanks", PDFLayout::tidy, u"a \t\nb  \n"_s, u"a\nb\n"_s},
        RepairCase{"indentation_kept", PDFLayout::tidy, u"  first\n  second"_s,
                   u"first\n  second\n"_s},
        RepairCase{"blank_lines_take_part", PDFLayout::tidy, u"a\n \t\n\t\n\nb"_s, u"a\n\nb\n"_s},
        RepairCase{"other_trailing_kept", PDFLayout::tidy, u"a\u00A0x\u2003\nb"_s,
                   u"a\u00A0x\u2003\nb\n"_s},
        RepairCase{"two_line_feeds_stay", PDFLayout::tidy, u"a\n\nb"_s, u"a\n\nb\n"_s}),
    caseName);

TEST(FixLigatures, is_safe_when_first_used_from_several_threads) {
    std::vector<std::thread> threads;
    std::vector<QString> results(8);
    for (size_t i = 0; i < results.size(); ++i)
        threads.emplace_back(
            [&results, i] { results[i] = PDFLayout::fixLigatures(tells + u"ß"_s); });
    for (std::thread& thread : threads)
        thread.join();
    for (const QString& result : results)
        EXPECT_EQ(result, mended + u"§"_s);
}

} // namespace
