// Deezer's search: the encoded search paths, which cover, album page and
// links a reply yields, and which answers are worth remembering.
#include "common/address_limits.h"
#include "cover/deezer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct path_case {
    const char *artist;
    const char *title;
    const char *album;
    const char *path;
};

class search_paths : public testing::TestWithParam<path_case> {};

TEST_P(search_paths, carry_the_words_percent_encoded_inside_encoded_quotes)
{
    EXPECT_EQ(deezer_search_path(GetParam().artist, GetParam().title, GetParam().album), GetParam().path);
}

INSTANTIATE_TEST_SUITE_P(
    cover, search_paths,
    testing::Values(
        path_case{"The Band", "Blue", "First Album",
                  "/search/track?strict=on&q=artist:%22The%20Band%22%20track:%22Blue%22"
                  "%20album:%22First%20Album%22&limit=5"},
        path_case{"Solo", "Blue", "",
                  "/search/track?strict=on&q=artist:%22Solo%22%20track:%22Blue%22&limit=5"},
        path_case{"Solo", "", "First Album",
                  "/search/track?strict=on&q=artist:%22Solo%22%20album:%22First%20Album%22&limit=5"},
        path_case{"Simon & Garfunkel", "C&D", "A+B #1 100%",
                  "/search/track?strict=on&q=artist:%22Simon%20%26%20Garfunkel%22%20track:%22C%26D%22"
                  "%20album:%22A%2BB%20%231%20100%25%22&limit=5"},
        path_case{"Say \"Hi\"", "\"Quoted\"", "x=1&y",
                  "/search/track?strict=on&q=artist:%22Say%20%20Hi%20%22%20track:%22%20Quoted%20%22"
                  "%20album:%22x%3D1%26y%22&limit=5"},
        path_case{"Fr\xC3\xA9"
                  "d\xC3\xA9ric",
                  "L\xE2\x80\x99"
                  "enfer",
                  "\xE6\x97\xA5\xF0\x9F\x8E\xB5",
                  "/search/track?strict=on&q=artist:%22Fr%C3%A9d%C3%A9ric%22%20track:%22L%E2%80%99enfer%22"
                  "%20album:%22%E6%97%A5%F0%9F%8E%B5%22&limit=5"},
        path_case{"a-b.c_d~e/f?g", "", "",
                  "/search/track?strict=on&q=artist:%22a-b.c_d~e%2Ff%3Fg%22&limit=5"}));

struct reply_case {
    const char *what;
    const char *reply;
    const char *url;    // empty: the lookup falls back
    bool search_result; // "data" is an array
};

// Reads a reply, keeping the parser's line for a text that is not JSON off the output.
deezer_reply read_quietly(std::string text, std::string_view title = "")
{
    testing::internal::CaptureStderr();
    const deezer_reply reply = deezer_read_reply(text.data(), title);
    testing::internal::GetCapturedStderr();
    return reply;
}

class replies : public testing::TestWithParam<reply_case> {};

TEST_P(replies, yield_the_first_tracks_cover_or_nothing)
{
    const deezer_reply reply = read_quietly(GetParam().reply);
    EXPECT_EQ(reply.first.url, GetParam().url) << GetParam().what;
    EXPECT_EQ(reply.search_result, GetParam().search_result) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    cover, replies,
    testing::Values(
        reply_case{"medium before small", R"({"data":[{"album":{"cover_small":"s","cover_medium":"m"}}]})",
                   "m", true},
        reply_case{"large before small", R"({"data":[{"album":{"cover_small":"s","cover_large":"l"}}]})", "l",
                   true},
        reply_case{"only xl", R"({"data":[{"album":{"cover_xl":"x"}}]})", "x", true},
        reply_case{"no cover member", R"({"data":[{"album":{"title":"t"}}]})", "", true},
        reply_case{"null and numbers are skipped",
                   R"({"data":[{"album":{"cover_medium":null,"cover_large":7,"cover_small":"s"}}]})", "s",
                   true},
        reply_case{
            "empty image id is skipped",
            R"({"data":[{"album":{"cover_medium":"https:\/\/e-cdns-images.dzcdn.net\/images\/cover\/\/250x250-000000-80-0-0.jpg","cover_xl":"x"}}]})",
            "x", true},
        reply_case{"only the first track counts", R"({"data":[{"album":{}},{"album":{"cover_medium":"m"}}]})",
                   "", true},
        reply_case{"empty data", R"({"data":[]})", "", true},
        reply_case{"data not an array", R"({"data":{"album":{"cover_medium":"m"}}})", "", false},
        reply_case{"first element not an object", R"({"data":["x"]})", "", true},
        reply_case{"no album", R"({"data":[{"title":"t"}]})", "", true},
        reply_case{"album not an object", R"({"data":[{"album":"m"}]})", "", true},
        reply_case{"error reply", R"({"error":{"type":"DataException","code":800}})", "", false},
        reply_case{"root not an object", R"([{"data":[]}])", "", false},
        reply_case{"not JSON", "<html>Bad gateway</html>", "", false}));

TEST(deezer_reply, a_body_that_is_not_json_prints_one_parse_line)
{
    std::string text = "<html>";
    testing::internal::CaptureStderr();
    EXPECT_EQ(deezer_read_reply(text.data(), "Blue").first.url, "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "JSON PARSE ERROR (366): unexpected chars at <html>\n");
}

struct page_case {
    const char *what;
    std::string reply;
    const char *page; // empty: no link
};

class album_pages : public testing::TestWithParam<page_case> {};

TEST_P(album_pages, come_from_a_plain_positive_album_id_beside_the_cover_or_not_at_all)
{
    const deezer_reply reply = read_quietly(GetParam().reply);
    EXPECT_EQ(reply.first.page, GetParam().page) << GetParam().what;
    EXPECT_LE(reply.first.page.size(), page_address_max_bytes) << GetParam().what;
}

// A reply whose first track's album has a cover and these members after it.
std::string album_with(const std::string &members)
{
    return R"({"data":[{"id":3135556,"album":{"cover_medium":"m",)" + members + "}}]}";
}

INSTANTIATE_TEST_SUITE_P(
    cover, album_pages,
    testing::Values(
        page_case{"number", album_with(R"("id":302127)"), "https://www.deezer.com/album/302127"},
        page_case{"one", album_with(R"("id":1)"), "https://www.deezer.com/album/1"},
        page_case{"largest", album_with(R"("id":9223372036854775807)"),
                  "https://www.deezer.com/album/9223372036854775807"},
        page_case{"string of digits", album_with(R"("id":"302127")"), "https://www.deezer.com/album/302127"},
        page_case{"largest string", album_with(R"("id":"9223372036854775807")"),
                  "https://www.deezer.com/album/9223372036854775807"},
        page_case{"first id counts", album_with(R"("id":302127,"id":"x")"),
                  "https://www.deezer.com/album/302127"},
        page_case{"missing: the track's own id is not the album's", album_with(R"("title":"t")"), ""},
        page_case{"zero", album_with(R"("id":0)"), ""},
        page_case{"negative", album_with(R"("id":-302127)"), ""},
        page_case{"fractional", album_with(R"("id":302127.5)"), ""},
        page_case{"whole number with a fraction", album_with(R"("id":302127.0)"), ""},
        page_case{"exponent", album_with(R"("id":3.02127e5)"), ""},
        page_case{"huge", album_with(R"("id":9223372036854775808)"), ""},
        page_case{"huge, all bits set", album_with(R"("id":18446744073709551615)"), ""},
        page_case{"too huge to read: no reply", album_with(R"("id":18446744073709551616)"), ""},
        page_case{"string, zero", album_with(R"("id":"0")"), ""},
        page_case{"string, leading zero", album_with(R"("id":"0302127")"), ""},
        page_case{"string, signed", album_with(R"("id":"+302127")"), ""},
        page_case{"string, negative", album_with(R"("id":"-302127")"), ""},
        page_case{"string, leading blank", album_with(R"("id":" 302127")"), ""},
        page_case{"string, trailing blank", album_with(R"("id":"302127 ")"), ""},
        page_case{"string, digits then text", album_with(R"("id":"302127/../../x")"), ""},
        page_case{"string, fraction", album_with(R"("id":"302127.5")"), ""},
        page_case{"string, escaped digit", album_with(R"("id":"\u0033")"), "https://www.deezer.com/album/3"},
        page_case{"string, empty", album_with(R"("id":"")"), ""},
        page_case{"string, huge", album_with(R"("id":"9223372036854775808")"), ""},
        page_case{"null", album_with(R"("id":null)"), ""}, page_case{"true", album_with(R"("id":true)"), ""},
        page_case{"object", album_with(R"("id":{"id":302127})"), ""},
        page_case{"array", album_with(R"("id":[302127])"), ""},
        page_case{"only a nested record's id", album_with(R"("artist":{"id":27})"), ""},
        page_case{"first id not usable", album_with(R"("id":"x","id":302127)"), ""},
        page_case{"album without cover", R"({"data":[{"album":{"id":302127,"cover_medium":null}}]})", ""},
        page_case{"only the first track counts",
                  R"({"data":[{"album":{"cover_medium":"m"}},{"album":{"id":302127,"cover_medium":"n"}}]})",
                  ""}));

const std::string url_313 = "https://c/" + std::string(image_address_max_bytes - 10, 'a');

struct verdict_case {
    const char *what;
    unsigned status;
    std::string reply;
    cover_verdict verdict;
    std::string url;
    std::string page = {};
};

class verdicts : public testing::TestWithParam<verdict_case> {};

TEST_P(verdicts, remember_covers_and_definite_answers_only)
{
    std::string text = GetParam().reply;
    testing::internal::CaptureStderr();
    const deezer_verdict judged = deezer_judge_reply(GetParam().status, text.data(), "");
    testing::internal::GetCapturedStderr();
    const cover_verdict verdict = !judged.answered                 ? cover_verdict::unknown
                                  : judged.reply.first.url.empty() ? cover_verdict::none
                                                                   : cover_verdict::found;
    EXPECT_EQ(verdict, GetParam().verdict) << GetParam().what;
    EXPECT_EQ(judged.reply.first.url, GetParam().url) << GetParam().what;
    EXPECT_EQ(judged.reply.first.page, GetParam().page) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    cover, verdicts,
    testing::Values(
        verdict_case{"cover", 200, R"({"data":[{"album":{"cover_medium":"https://c/m"}}]})",
                     cover_verdict::found, "https://c/m"},
        verdict_case{"cover with its album's id", 200,
                     R"({"data":[{"album":{"id":42,"cover_medium":"https://c/m"}}]})", cover_verdict::found,
                     "https://c/m", "https://www.deezer.com/album/42"},
        verdict_case{"cover in an error reply", 500, R"({"data":[{"album":{"cover_xl":"https://c/x"}}]})",
                     cover_verdict::found, "https://c/x"},
        verdict_case{"cover of 313 bytes", 200, R"({"data":[{"album":{"cover_medium":")" + url_313 + "\"}}]}",
                     cover_verdict::found, url_313},
        verdict_case{"cover of 314 bytes: no usable cover, no page", 200,
                     R"({"data":[{"album":{"id":42,"cover_medium":")" + url_313 + "a\"}}]}",
                     cover_verdict::none, ""},
        verdict_case{"plain http cover: none", 200,
                     R"({"data":[{"album":{"id":42,"cover_medium":"http://c/m.jpg"}}]})", cover_verdict::none,
                     ""},
        verdict_case{"not a URL: none", 200, R"({"data":[{"album":{"cover_medium":"m"}}]})",
                     cover_verdict::none, ""},
        verdict_case{"https with a space: none", 200,
                     R"({"data":[{"album":{"cover_medium":"https://c/a b"}}]})", cover_verdict::none, ""},
        verdict_case{"https with a control character: none", 200,
                     R"({"data":[{"album":{"cover_medium":"https://c/a\nb"}}]})", cover_verdict::none, ""},
        verdict_case{"https with a backslash: none", 200,
                     R"({"data":[{"album":{"cover_medium":"https://c/a\\b"}}]})", cover_verdict::none, ""},
        verdict_case{"https with a quote: none", 200,
                     R"({"data":[{"album":{"cover_medium":"https://c/a\"b"}}]})", cover_verdict::none, ""},
        verdict_case{"https with a brace: none", 200,
                     R"({"data":[{"album":{"cover_medium":"https://c/{b}"}}]})", cover_verdict::none, ""},
        verdict_case{"every character a URI may hold", 200,
                     R"({"data":[{"album":{"cover_medium":"https://c/a-b._~:/?#[]@!$&'()*+,;=%20"}}]})",
                     cover_verdict::found, "https://c/a-b._~:/?#[]@!$&'()*+,;=%20"},
        verdict_case{"upper-case scheme: none", 200, R"({"data":[{"album":{"cover_medium":"HTTPS://c/m"}}]})",
                     cover_verdict::none, ""},
        verdict_case{"no match", 200, R"({"data":[],"total":0})", cover_verdict::none, ""},
        verdict_case{"match without cover", 200, R"({"data":[{"album":{"title":"t"}}]})", cover_verdict::none,
                     ""},
        verdict_case{"no match, error status", 503, R"({"data":[]})", cover_verdict::unknown, ""},
        verdict_case{"error reply", 200, R"({"error":{"code":4}})", cover_verdict::unknown, ""},
        verdict_case{"error reply, error status", 404, R"({"error":{"code":800}})", cover_verdict::unknown,
                     ""},
        verdict_case{"not JSON", 200, "<html>Welcome to the hotel network</html>", cover_verdict::unknown,
                     ""},
        verdict_case{"empty body", 200, "", cover_verdict::unknown, ""}));

struct link_case {
    const char *what;
    std::string reply;
    const char *artist_page;
    const char *track_page;
    const char *track_title;
};

class links : public testing::TestWithParam<link_case> {};

TEST_P(links, come_from_the_first_tracks_own_ids)
{
    const deezer_reply reply = read_quietly(GetParam().reply);
    EXPECT_EQ(reply.first.artist_page, GetParam().artist_page) << GetParam().what;
    EXPECT_EQ(reply.first.track_page, GetParam().track_page) << GetParam().what;
    EXPECT_EQ(reply.first.track_title, GetParam().track_title) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    cover, links,
    testing::Values(
        link_case{
            "whole match",
            R"({"data":[{"id":3135556,"title":"Blue","artist":{"id":27},"album":{"cover_medium":"m"}}]})",
            "https://www.deezer.com/artist/27", "https://www.deezer.com/track/3135556", "Blue"},
        link_case{"match without cover", R"({"data":[{"id":"3135556","title":"Blue","artist":{"id":"27"}}]})",
                  "https://www.deezer.com/artist/27", "https://www.deezer.com/track/3135556", "Blue"},
        link_case{"ids not usable", R"({"data":[{"id":"03135556","title":"Blue","artist":{"id":-27}}]})", "",
                  "", ""},
        link_case{"track without title", R"({"data":[{"id":3135556,"artist":{"id":27}}]})",
                  "https://www.deezer.com/artist/27", "", ""},
        link_case{"title too long",
                  R"({"data":[{"id":3135556,"title":")" + std::string(cover_title_max_bytes + 1, 't') +
                      R"("}]})",
                  "", "", ""},
        link_case{"artist not an object", R"({"data":[{"id":3135556,"title":"Blue","artist":27}]})", "",
                  "https://www.deezer.com/track/3135556", "Blue"},
        link_case{"only the first track counts",
                  R"({"data":[{"album":{}},{"id":3,"title":"Blue","artist":{"id":27}}]})", "", "", ""},
        link_case{"no match", R"({"data":[]})", "", "", ""}));

struct match_case {
    const char *what;
    const char *title;      // as played
    std::string tracks;     // the members of "data"
    const char *track_page; // of the match; empty for none
    const char *cover = "";
};

// A track record of a reply: its id, title and album cover.
std::string track(int id, const std::string &title, const std::string &cover = "https://c/m.jpg")
{
    return R"({"id":)" + std::to_string(id) + R"(,"title":")" + title +
           R"(","artist":{"id":27},"album":{"id":)" + std::to_string(id) + R"(,"cover_medium":")" + cover +
           R"("}})";
}

class matches : public testing::TestWithParam<match_case> {};

TEST_P(matches, are_the_first_track_titled_as_played_ignoring_case)
{
    std::string text = R"({"data":[)" + GetParam().tracks + R"(],"total":3})";
    const deezer_verdict judged = deezer_judge_reply(200, text.data(), GetParam().title);
    ASSERT_TRUE(judged.answered);
    const std::string page = GetParam().track_page;
    EXPECT_EQ(judged.reply.matched, !page.empty()) << GetParam().what;
    EXPECT_EQ(judged.reply.match.track_page, page) << GetParam().what;
    EXPECT_EQ(judged.reply.match.url, GetParam().cover) << GetParam().what;
    if (!page.empty()) {
        EXPECT_EQ(judged.reply.match.artist_page, "https://www.deezer.com/artist/27") << GetParam().what;
        const std::string album_page = "https://www.deezer.com/album/" + page.substr(page.rfind('/') + 1);
        EXPECT_EQ(judged.reply.match.page, judged.reply.match.url.empty() ? "" : album_page)
            << GetParam().what;
    }
}

INSTANTIATE_TEST_SUITE_P(
    cover, matches,
    testing::Values(
        match_case{"the first", "Blue", track(1, "Blue") + "," + track(2, "Blue"),
                   "https://www.deezer.com/track/1", "https://c/m.jpg"},
        match_case{"after other versions", "Blue",
                   track(1, "Blue (Live)") + "," + track(2, "Blue Moon") + "," +
                       track(3, "BLUE", "https://c/3.jpg"),
                   "https://www.deezer.com/track/3", "https://c/3.jpg"},
        match_case{"none of the versions", "Blue", track(1, "Blue (Live)") + "," + track(2, "Blues"), ""},
        match_case{"no title played: no match", "", track(1, "Blue"), ""},
        match_case{"a match without a usable cover keeps its links", "Blue",
                   track(4, "Blue", "http://c/m.jpg"), "https://www.deezer.com/track/4"},
        match_case{"accented capitals", "CAF\xC3\x89", track(5, "Caf\xC3\xA9"),
                   "https://www.deezer.com/track/5", "https://c/m.jpg"},
        // Pass once the JSON reader decodes \u escapes and the fold is Unicode's.
        match_case{"escaped as the catalogue writes it",
                   "L\xE2\x80\x99"
                   "enfer",
                   track(6, "L\\u2019enfer"), "https://www.deezer.com/track/6", "https://c/m.jpg"},
        match_case{"Greek with final sigma, escaped", "\xCE\x9B\xCE\x8C\xCE\x93\xCE\x9F\xCE\xA3", // ΛΌΓΟΣ
                   track(7, "\\u039b\\u03cc\\u03b3\\u03bf\\u03c2"), "https://www.deezer.com/track/7", // λόγος
                   "https://c/m.jpg"},
        match_case{"Cyrillic, escaped", "\xD0\xA1\xD0\x9D\xD0\x95\xD0\x93",                    // СНЕГ
                   track(8, "\\u0421\\u043d\\u0435\\u0433"), "https://www.deezer.com/track/8", // Снег
                   "https://c/m.jpg"}));

} // namespace
