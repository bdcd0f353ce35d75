// Canonical decomposition and composition against Unicode's own test cases
// (NormalizationTest.txt, kept as tests/unit/normalization_cases.inc by
// scripts/unicode-tables), every code point the test does not list, and the
// Hangul syllables.
#include "common/normalize.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <set>
#include <sstream>
#include <string>

namespace {

struct normalization_case {
    const char *source, *nfc, *nfd;
};

const normalization_case normalization_cases[] = {
#include "normalization_cases.inc"
};

std::u32string code_points(const char *hexadecimal)
{
    std::u32string codes;
    std::istringstream words(hexadecimal);
    std::string word;
    while (words >> word) {
        codes += static_cast<char32_t>(std::stoul(word, nullptr, 16));
    }
    return codes;
}

TEST(normalization, gives_the_nfc_and_nfd_of_unicodes_test_cases)
{
    ASSERT_EQ(std::size(normalization_cases), 4961u);
    for (const normalization_case &test : normalization_cases) {
        const std::u32string source = code_points(test.source), nfc = code_points(test.nfc),
                             nfd = code_points(test.nfd);
        EXPECT_EQ(canonical_composition(source), nfc) << test.source;
        EXPECT_EQ(canonical_composition(nfd), nfc) << test.source;
        EXPECT_EQ(canonical_decomposition(source), nfd) << test.source;
        EXPECT_EQ(canonical_decomposition(nfc), nfd) << test.source;
    }
}

bool is_hangul_syllable(char32_t code)
{
    return code >= 0xAC00 && code <= 0xD7A3;
}

TEST(normalization, leaves_every_code_point_the_test_does_not_list_as_it_is)
{
    std::set<char32_t> listed;
    for (const normalization_case &test : normalization_cases) {
        const std::u32string source = code_points(test.source);
        if (source.size() == 1) {
            listed.insert(source[0]);
        }
    }
    for (char32_t code = 0; code <= 0x10FFFF; ++code) {
        if (listed.contains(code)) {
            continue;
        }
        const std::u32string alone(1, code);
        ASSERT_EQ(canonical_composition(alone), alone) << std::hex << static_cast<uint32_t>(code);
        if (!is_hangul_syllable(code)) {
            ASSERT_EQ(canonical_decomposition(alone), alone) << std::hex << static_cast<uint32_t>(code);
        }
    }
}

TEST(normalization, takes_hangul_syllables_apart_into_jamo_and_back)
{
    EXPECT_EQ(canonical_decomposition(U"\uD55C\uAE00"), U"\u1112\u1161\u11AB\u1100\u1173\u11AF"); // 한글
    EXPECT_EQ(canonical_decomposition(U"\uAC00"), U"\u1100\u1161");
    EXPECT_EQ(canonical_composition(U"\u1112\u1161\u11AB\u1100\u1173\u11AF"), U"\uD55C\uAE00");
    EXPECT_EQ(canonical_composition(U"\uAC00\u11A8"), U"\uAC01")
        << "an LV syllable takes a trailing consonant";
    EXPECT_EQ(canonical_composition(U"\uAC01\u11A8"), U"\uAC01\u11A8") << "an LVT syllable takes no other";
    for (char32_t syllable = 0xAC00; syllable <= 0xD7A3; ++syllable) {
        const std::u32string jamo = canonical_decomposition(std::u32string(1, syllable));
        ASSERT_TRUE(jamo.size() == 2 || jamo.size() == 3) << std::hex << static_cast<uint32_t>(syllable);
        ASSERT_EQ(canonical_composition(jamo), std::u32string(1, syllable))
            << std::hex << static_cast<uint32_t>(syllable);
    }
}

} // namespace
