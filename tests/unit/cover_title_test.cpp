// Titles and artists compared ignoring case.
#include "cover/cover_title.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct title_case {
    const char *a;
    const char *b;
    bool same;
};

class titles : public testing::TestWithParam<title_case> {};

TEST_P(titles, compare_ignoring_case_with_a_simple_fold)
{
    EXPECT_EQ(cover_same_title(GetParam().a, GetParam().b), GetParam().same)
        << GetParam().a << " | " << GetParam().b;
    EXPECT_EQ(cover_same_title(GetParam().b, GetParam().a), GetParam().same)
        << GetParam().b << " | " << GetParam().a;
}

INSTANTIATE_TEST_SUITE_P(cover, titles,
                         testing::Values(title_case{"First Album", "first ALBUM", true},
                                         title_case{"First Album", "First Album ", false},
                                         title_case{"", "", true}, title_case{"a", "", false},
                                         title_case{"\xC3\x89T\xC3\x89", "\xC3\xA9t\xC3\xA9",
                                                    true},                          // ÉTÉ / été
                                         title_case{"\xC3\x97", "\xC3\xB7", false}, // × / ÷
                                         title_case{"\xCE\xA9", "\xCF\x89", true},  // Ω / ω
                                         title_case{"\xD0\x9B\xD0\x81", "\xD0\xBB\xD1\x91", true}, // ЛЁ / лё
                                         title_case{"\xE6\x97\xA5", "\xE6\x97\xA5", true},
                                         title_case{"\xF0\x9F\x8E\xB5", "\xF0\x9F\x8E\xB6", false},
                                         title_case{"a\xFF", "A\xFF", true},      // invalid byte as itself
                                         title_case{"a\xC3", "a\xC3\xA9", false}, // cut sequence
                                         title_case{"\xC3\x80", "\xC3", false}));

} // namespace
