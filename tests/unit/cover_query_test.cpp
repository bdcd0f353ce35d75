// Cover lookup, portable half: the encoded search path and which URL a reply yields.
#include "cover/cover_query.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct path_case {
    const char *artist;
    const char *album;
    const char *path;
};

class search_paths : public testing::TestWithParam<path_case> {};

TEST_P(search_paths, carry_the_words_percent_encoded_inside_encoded_quotes)
{
    EXPECT_EQ(cover_search_path(GetParam().artist, GetParam().album), GetParam().path);
}

INSTANTIATE_TEST_SUITE_P(
    cover, search_paths,
    testing::Values(
        path_case{"The Band", "First Album",
                  "/search/track?strict=on&q=artist:%22The%20Band%22%20album:%22First%20Album%22"},
        path_case{"Solo", "", "/search/track?strict=on&q=artist:%22Solo%22"},
        path_case{"Simon & Garfunkel", "A+B #1 100%",
                  "/search/track?strict=on&q=artist:%22Simon%20%26%20Garfunkel%22"
                  "%20album:%22A%2BB%20%231%20100%25%22"},
        path_case{"Say \"Hi\"", "x=1&y",
                  "/search/track?strict=on&q=artist:%22Say%20%20Hi%20%22%20album:%22x%3D1%26y%22"},
        path_case{
            "Fr\xC3\xA9"
            "d\xC3\xA9ric",
            "\xE6\x97\xA5\xF0\x9F\x8E\xB5",
            "/search/track?strict=on&q=artist:%22Fr%C3%A9d%C3%A9ric%22%20album:%22%E6%97%A5%F0%9F%8E%B5%22"},
        path_case{"a-b.c_d~e/f?g", "", "/search/track?strict=on&q=artist:%22a-b.c_d~e%2Ff%3Fg%22"}));

struct reply_case {
    const char *what;
    const char *reply;
    const char *url; // empty: the lookup falls back
};

class replies : public testing::TestWithParam<reply_case> {};

TEST_P(replies, yield_the_first_tracks_cover_or_nothing)
{
    std::string text = GetParam().reply;
    testing::internal::CaptureStderr();
    EXPECT_EQ(cover_url_from_reply(text.data()), GetParam().url) << GetParam().what;
    testing::internal::GetCapturedStderr();
}

INSTANTIATE_TEST_SUITE_P(
    cover, replies,
    testing::Values(
        reply_case{"medium before small", R"({"data":[{"album":{"cover_small":"s","cover_medium":"m"}}]})",
                   "m"},
        reply_case{"large before small", R"({"data":[{"album":{"cover_small":"s","cover_large":"l"}}]})",
                   "l"},
        reply_case{"only xl", R"({"data":[{"album":{"cover_xl":"x"}}]})", "x"},
        reply_case{"no cover member", R"({"data":[{"album":{"title":"t"}}]})", ""},
        reply_case{"null and numbers are skipped",
                   R"({"data":[{"album":{"cover_medium":null,"cover_large":7,"cover_small":"s"}}]})", "s"},
        reply_case{
            "empty image id is skipped",
            R"({"data":[{"album":{"cover_medium":"https:\/\/e-cdns-images.dzcdn.net\/images\/cover\/\/250x250-000000-80-0-0.jpg","cover_xl":"x"}}]})",
            "x"},
        reply_case{"only the first track counts", R"({"data":[{"album":{}},{"album":{"cover_medium":"m"}}]})",
                   ""},
        reply_case{"empty data", R"({"data":[]})", ""},
        reply_case{"data not an array", R"({"data":{"album":{"cover_medium":"m"}}})", ""},
        reply_case{"first element not an object", R"({"data":["x"]})", ""},
        reply_case{"no album", R"({"data":[{"title":"t"}]})", ""},
        reply_case{"album not an object", R"({"data":[{"album":"m"}]})", ""},
        reply_case{"error reply", R"({"error":{"type":"DataException","code":800}})", ""},
        reply_case{"root not an object", R"([{"data":[]}])", ""},
        reply_case{"not JSON", "<html>Bad gateway</html>", ""}));

TEST(cover_reply, a_body_that_is_not_json_prints_one_parse_line)
{
    std::string text = "<html>";
    testing::internal::CaptureStderr();
    EXPECT_EQ(cover_url_from_reply(text.data()), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "JSON PARSE ERROR (366): unexpected chars at <html>\n");
}

} // namespace
