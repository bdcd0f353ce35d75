// UTF-8 one code point at a time, and the conversions between UTF-16 and
// UTF-8: every size of character both ways, and U+FFFD for each piece that
// is not well-formed.
#include "common/utf8.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

utf16_string units(std::initializer_list<unsigned> codes)
{
    utf16_string text;
    for (unsigned code : codes) {
        text.push_back(static_cast<utf16_char>(code));
    }
    return text;
}

struct both_ways_case {
    const char *what;
    utf16_string utf16;
    std::string utf8;
};

class well_formed : public testing::TestWithParam<both_ways_case> {};

TEST_P(well_formed, text_converts_both_ways_unchanged)
{
    EXPECT_EQ(utf16_to_utf8(GetParam().utf16), GetParam().utf8);
    EXPECT_EQ(utf8_to_utf16(GetParam().utf8), GetParam().utf16);
}

INSTANTIATE_TEST_SUITE_P(
    texts, well_formed,
    testing::Values(both_ways_case{"empty", UTF16(""), ""}, both_ways_case{"ascii", UTF16("Blue"), "Blue"},
                    both_ways_case{"two_bytes", units({0xE9, 0x7FF}), "\xC3\xA9\xDF\xBF"},
                    both_ways_case{"three_bytes", units({0x800, 0x65E5, 0xFFFD, 0xFFFF}),
                                   "\xE0\xA0\x80\xE6\x97\xA5\xEF\xBF\xBD\xEF\xBF\xBF"},
                    both_ways_case{"four_bytes", units({0xD83C, 0xDFB5, 0xDBFF, 0xDFFF}),
                                   "\xF0\x9F\x8E\xB5\xF4\x8F\xBF\xBF"}),
    [](const auto &info) { return std::string(info.param.what); });

struct broken_case {
    const char *what;
    utf16_string utf16;
    std::string utf8;
};

class unpaired_surrogates : public testing::TestWithParam<broken_case> {};

TEST_P(unpaired_surrogates, become_replacement_characters_and_the_rest_stays)
{
    EXPECT_EQ(utf16_to_utf8(GetParam().utf16), GetParam().utf8);
}

const std::string replacement = "\xEF\xBF\xBD";

INSTANTIATE_TEST_SUITE_P(texts, unpaired_surrogates,
                         testing::Values(broken_case{"high_at_the_end", units({'a', 0xD83C}),
                                                     std::string("a").append(replacement)},
                                         broken_case{"high_before_a_letter", units({0xD83C, 'a'}),
                                                     replacement + "a"},
                                         broken_case{"low_alone", units({0xDFB5, 'a'}), replacement + "a"},
                                         broken_case{"two_highs_then_a_low", units({0xD83C, 0xD83C, 0xDFB5}),
                                                     replacement + "\xF0\x9F\x8E\xB5"}),
                         [](const auto &info) { return std::string(info.param.what); });

class invalid_utf8 : public testing::TestWithParam<broken_case> {};

TEST_P(invalid_utf8, becomes_replacement_characters_and_the_rest_stays)
{
    EXPECT_EQ(utf8_to_utf16(GetParam().utf8), GetParam().utf16);
}

INSTANTIATE_TEST_SUITE_P(
    texts, invalid_utf8,
    testing::Values(broken_case{"lone_continuation_byte", units({'a', 0xFFFD, 'b'}),
                                "a\x80"
                                "b"},
                    broken_case{"sequence_cut_short", units({0xFFFD, 0xFFFD, 'b'}),
                                "\xE6\x97"
                                "b"},
                    broken_case{"overlong_form", units({0xFFFD, 0xFFFD}), "\xC0\xAF"},
                    broken_case{"encoded_surrogate", units({0xFFFD, 0xFFFD, 0xFFFD}), "\xED\xA0\x80"},
                    broken_case{"past_the_last_code", units({0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD}),
                                "\xF4\x90\x80\x80"},
                    broken_case{"invalid_lead_byte", units({0xFFFD, 'a'}),
                                "\xFF"
                                "a"}),
    [](const auto &info) { return std::string(info.param.what); });

struct code_point_case {
    const char *what;
    std::string utf8; // the code point's bytes, then others
    char32_t code;
    size_t length;
};

class code_points : public testing::TestWithParam<code_point_case> {};

TEST_P(code_points, are_read_from_the_start_and_written_back_alike)
{
    const code_point_case &test = GetParam();
    const utf8_code_point read = utf8_decode_first(test.utf8);
    EXPECT_EQ(static_cast<uint32_t>(read.code), static_cast<uint32_t>(test.code));
    EXPECT_EQ(read.length, test.length);
    char written[utf8_max_length];
    const size_t length = utf8_encode(test.code, written);
    if (test.code != 0xFFFD) {
        EXPECT_EQ(std::string(written, length), test.utf8.substr(0, test.length));
    }
}

INSTANTIATE_TEST_SUITE_P(texts, code_points,
                         testing::Values(code_point_case{"ascii", "Ab", 'A', 1},
                                         code_point_case{"two_bytes", "\xC3\xA9x", 0xE9, 2},
                                         code_point_case{"three_bytes", "\xE6\x97\xA5", 0x65E5, 3},
                                         code_point_case{"four_bytes", "\xF0\x9F\x8E\xB5", 0x1F3B5, 4},
                                         code_point_case{"last_code_point", "\xF4\x8F\xBF\xBF", 0x10FFFF, 4},
                                         code_point_case{"lone_continuation_byte", "\x80\x80", 0xFFFD, 1},
                                         code_point_case{"sequence_cut_short", "\xE6\x97", 0xFFFD, 1},
                                         code_point_case{"overlong_form", "\xE0\x80\xAF", 0xFFFD, 1},
                                         code_point_case{"encoded_surrogate", "\xED\xA0\x80", 0xFFFD, 1},
                                         code_point_case{"past_the_last_code", "\xF4\x90\x80\x80", 0xFFFD,
                                                         1}),
                         [](const auto &info) { return std::string(info.param.what); });

} // namespace
