// Extended grapheme clusters against Unicode's own test cases
// (GraphemeBreakTest.txt, kept as tests/unit/grapheme_break_cases.inc by
// scripts/unicode-tables): every boundary of every case, and the longest
// prefix of whole clusters at every byte length.
#include "common/grapheme.h"

#include "common/utf8.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

const char *const break_cases[] = {
#include "grapheme_break_cases.inc"
};

// A case as UTF-8 and the byte offsets of its cluster boundaries after the start.
struct break_case {
    std::string text;
    std::vector<size_t> boundaries;
};

break_case read_case(const std::string &line)
{
    break_case parsed;
    std::istringstream words(line);
    std::string word;
    while (words >> word) {
        if (word == "/") {
            if (!parsed.text.empty()) {
                parsed.boundaries.push_back(parsed.text.size());
            }
        } else if (word != "x") {
            char encoded[utf8_max_length];
            parsed.text.append(encoded, utf8_encode(std::stoul(word, nullptr, 16), encoded));
        }
    }
    return parsed;
}

std::vector<size_t> cluster_ends(const std::string &text)
{
    std::vector<size_t> ends;
    for (size_t end = 0; end < text.size();) {
        end = grapheme_cluster_end(text, end);
        ends.push_back(end);
    }
    return ends;
}

TEST(grapheme_clusters, end_where_unicodes_test_cases_put_a_boundary)
{
    ASSERT_EQ(std::size(break_cases), 1093u);
    for (const char *line : break_cases) {
        const break_case test = read_case(line);
        EXPECT_EQ(cluster_ends(test.text), test.boundaries) << line;
    }
}

TEST(grapheme_clusters, longest_whole_prefix_at_every_byte_length_of_unicodes_test_cases)
{
    for (const char *line : break_cases) {
        const break_case test = read_case(line);
        for (size_t limit = 0; limit <= test.text.size() + 1; ++limit) {
            size_t expected = 0;
            for (size_t boundary : test.boundaries) {
                expected = boundary <= limit ? boundary : expected;
            }
            EXPECT_EQ(grapheme_prefix_within(test.text, limit), expected) << line << " within " << limit;
        }
    }
}

struct malformed_case {
    const char *what;
    std::string text;
    std::vector<size_t> ends;
};

class malformed_bytes : public testing::TestWithParam<malformed_case> {};

TEST_P(malformed_bytes, are_each_a_cluster_like_a_replacement_character)
{
    EXPECT_EQ(cluster_ends(GetParam().text), GetParam().ends);
}

INSTANTIATE_TEST_SUITE_P(texts, malformed_bytes,
                         testing::Values(malformed_case{"lone_continuation_byte", "a\x80\x80", {1, 2, 3}},
                                         malformed_case{
                                             "sequence_cut_short_before_a_mark", "\xE6\x97\xCC\x81", {1, 4}},
                                         malformed_case{"bad_byte_after_a_letter", "e\xFF", {1, 2}}),
                         [](const auto &info) { return std::string(info.param.what); });

} // namespace
