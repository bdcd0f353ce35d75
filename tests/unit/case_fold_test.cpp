// Texts compared ignoring case under Unicode's simple case folding: Latin,
// Greek with its accents and final sigma, Cyrillic, letters whose forms differ
// in length, what simple folding leaves apart, and malformed bytes; and texts
// spelt with combining marks against their precomposed letters.
#include "common/case_fold.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

struct comparison_case {
    const char *what;
    std::string a, b;
    bool same;
};

class comparing : public testing::TestWithParam<comparison_case> {};

TEST_P(comparing, folds_both_texts_before_comparing)
{
    const comparison_case &test = GetParam();
    EXPECT_EQ(same_text_ignoring_case(test.a, test.b), test.same);
    EXPECT_EQ(same_text_ignoring_case(test.b, test.a), test.same);
}

INSTANTIATE_TEST_SUITE_P(
    texts, comparing,
    testing::Values(
        comparison_case{"ascii", "Blue Monday", "BLUE monday", true},
        comparison_case{"ascii_differs", "Blue", "Blur", false},
        comparison_case{"ascii_prefix_only", "Blue", "Blues", false},
        comparison_case{"ascii_signs_a_case_apart_differ", "[@]^", "{`}~", false},
        comparison_case{"empty", "", "", true}, comparison_case{"empty_and_not", "", "a", false},
        comparison_case{"latin_1", "CAFÉ À L'ŒIL", "café à l'œil", true},
        comparison_case{"l_with_stroke", "ŁÓDŹ", "łódź", true},
        comparison_case{"y_with_diaeresis", "ŸES", "ÿes", true},
        comparison_case{"greek", "ΛΟΓΟΣ", "λογος", true},
        comparison_case{"final_sigma_and_sigma", "λογοσ", "λογος", true},
        comparison_case{"accented_greek_capitals", "ΆΈΉΊΌΎΏ ΪΫ", "άέήίόύώ ϊϋ", true},
        comparison_case{"greek_accent_matters", "Ά", "α", false},
        comparison_case{"cyrillic", "МОСКВА ЁЖ", "москва ёж", true},
        comparison_case{"ukrainian", "ҐАНОК ЇЖАК Є І", "ґанок їжак є і", true},
        comparison_case{"armenian", "ՀԱՅԵՐԵՆ", "հայերեն", true},
        comparison_case{"kelvin_sign_is_three_bytes_for_one", "\u212A", "k", true},
        comparison_case{"long_s_is_two_bytes_for_one", "\u017F", "S", true},
        comparison_case{"beyond_the_bmp", "\U00010400", "\U00010428", true},
        comparison_case{"cherokee_folds_to_capitals", "\u13A0", "\uAB70", true},
        comparison_case{"sharp_s_is_not_two_letters_in_simple_folding", "STRASSE", "straße", false},
        comparison_case{"dotted_capital_i_stays_apart", "\u0130", "i", false},
        comparison_case{"malformed_bytes_are_each_a_replacement_character", "caf\xC3", "CAF\uFFFD", true},
        comparison_case{"two_bad_bytes_are_two_replacement_characters", "\xE6\x97", "\uFFFD", false},
        comparison_case{"bad_bytes_compare_alike", "a\xFF", "A\xFE", true},
        comparison_case{"combining_accent_matches_the_composed_letter", "Cafe\u0301", "Caf\u00E9", true},
        comparison_case{"decomposed_capitals_match_composed_small_letters", "E\u0301TE\u0301",
                        "\u00E9t\u00E9", true},
        comparison_case{"marks_in_either_order", "A\u0302\u0323", "\u1EAD", true},
        comparison_case{"one_mark_composed_the_other_not", "\u1EA1\u0302", "a\u0302\u0323", true},
        comparison_case{"hangul_jamo_match_the_syllable", "\u1112\u1161\u11AB", "\uD55C", true},
        comparison_case{"greek_ypogegrammeni_composed_or_not", "\u1FBC", "\u03B1\u0345", true},
        comparison_case{"greek_capital_with_ypogegrammeni", "\u0391\u0345", "\u1FB3", true},
        comparison_case{"the_accent_still_matters", "Cafe\u0301", "Cafe", false},
        comparison_case{"another_accent_is_another_letter", "e\u0301", "e\u0300", false},
        comparison_case{"a_mark_blocked_by_a_starter_stays_apart", "e\u200B\u0301", "\u00E9", false}),
    [](const auto &info) { return std::string(info.param.what); });

TEST(case_folding, folds_a_folded_code_point_to_itself)
{
    for (char32_t code = 0; code <= 0x10FFFF; ++code) {
        ASSERT_EQ(case_fold(case_fold(code)), case_fold(code)) << std::hex << static_cast<uint32_t>(code);
    }
}

} // namespace
