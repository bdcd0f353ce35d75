// Deezer's searches: the encoded search paths, which result is the track or
// the album played, which cover, album page and links a reply yields, and
// which answers are worth remembering; replies as the service writes them.
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
    EXPECT_EQ(deezer_track_search_path(GetParam().artist, GetParam().title, GetParam().album),
              GetParam().path);
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

struct album_path_case {
    const char *artist;
    const char *album;
    const char *path;
};

class album_search_paths : public testing::TestWithParam<album_path_case> {};

TEST_P(album_search_paths, carry_artist_and_album_as_the_track_search_does)
{
    EXPECT_EQ(deezer_album_search_path(GetParam().artist, GetParam().album), GetParam().path);
}

INSTANTIATE_TEST_SUITE_P(
    cover, album_search_paths,
    testing::Values(
        album_path_case{
            "The Band", "First Album",
            "/search/album?strict=on&q=artist:%22The%20Band%22%20album:%22First%20Album%22&limit=5"},
        album_path_case{"Simon & Garfunkel", "A+B #1 100%",
                        "/search/album?strict=on&q=artist:%22Simon%20%26%20Garfunkel%22"
                        "%20album:%22A%2BB%20%231%20100%25%22&limit=5"},
        album_path_case{
            "Say \"Hi\"", "x=1&y",
            "/search/album?strict=on&q=artist:%22Say%20%20Hi%20%22%20album:%22x%3D1%26y%22&limit=5"},
        album_path_case{"Fr\xC3\xA9"
                        "d\xC3\xA9ric",
                        "\xE6\x97\xA5\xF0\x9F\x8E\xB5",
                        "/search/album?strict=on&q=artist:%22Fr%C3%A9d%C3%A9ric%22"
                        "%20album:%22%E6%97%A5%F0%9F%8E%B5%22&limit=5"}));

// The track played in these tests.
const cover_key played{"The Band", "First Album", "Blue"};

struct reply_case {
    const char *what;
    std::string reply;
    const char *url;    // empty: the lookup falls back
    bool search_result; // "data" is an array
};

// Reads a reply, keeping the parser's line for a text that is not JSON off the output.
deezer_track_reply read_quietly(std::string text, const cover_key &track = played)
{
    testing::internal::CaptureStderr();
    const deezer_track_reply reply = deezer_read_track_reply(text.data(), track);
    testing::internal::GetCapturedStderr();
    return reply;
}

// A reply whose one track, by the played artist, is on an album of the played
// album's title with these members.
std::string on_album(const std::string &members)
{
    return R"({"data":[{"id":3135556,"title":"Red","artist":{"id":27,"name":"The Band"},"album":{"title":"First Album")" +
           (members.empty() ? "" : "," + members) + "}}]}";
}

class replies : public testing::TestWithParam<reply_case> {};

TEST_P(replies, yield_the_played_albums_cover_or_nothing)
{
    const deezer_track_reply reply = read_quietly(GetParam().reply);
    EXPECT_EQ(reply.album.url, GetParam().url) << GetParam().what;
    EXPECT_EQ(reply.search_result, GetParam().search_result) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    cover, replies,
    testing::Values(
        reply_case{"medium before small", on_album(R"("cover_small":"s","cover_medium":"m")"), "m", true},
        reply_case{"large before small", on_album(R"("cover_small":"s","cover_large":"l")"), "l", true},
        reply_case{"only xl", on_album(R"("cover_xl":"x")"), "x", true},
        reply_case{"no cover member", on_album(""), "", true},
        reply_case{"null and numbers are skipped",
                   on_album(R"("cover_medium":null,"cover_large":7,"cover_small":"s")"), "s", true},
        reply_case{
            "empty image id is skipped",
            on_album(
                R"("cover_medium":"https:\/\/e-cdns-images.dzcdn.net\/images\/cover\/\/250x250-000000-80-0-0.jpg","cover_xl":"x")"),
            "x", true},
        reply_case{"the first track on the album counts",
                   R"({"data":[{"artist":{"name":"The Band"},"album":{"title":"First Album"}},)"
                   R"({"artist":{"name":"The Band"},"album":{"title":"First Album","cover_medium":"m"}}]})",
                   "", true},
        reply_case{
            "a track on another album is passed over",
            R"({"data":[{"artist":{"name":"The Band"},"album":{"title":"Best Of","cover_medium":"b"}},)"
            R"({"artist":{"name":"The Band"},"album":{"title":"FIRST ALBUM","cover_medium":"m"}}]})",
            "m", true},
        reply_case{
            "another artist's album of that title is passed over",
            R"({"data":[{"artist":{"name":"Somebody Else"},"album":{"title":"First Album","cover_medium":"o"}},)"
            R"({"artist":{"name":"The Band feat. Guest"},"album":{"title":"First Album","cover_medium":"m"}}]})",
            "m", true},
        reply_case{"an album by a nameless artist is passed over",
                   R"({"data":[{"artist":{"id":27},"album":{"title":"First Album","cover_medium":"m"}}]})",
                   "", true},
        reply_case{"an album without title is passed over",
                   R"({"data":[{"artist":{"name":"The Band"},"album":{"cover_medium":"m"}}]})", "", true},
        reply_case{"empty data", R"({"data":[]})", "", true},
        reply_case{
            "data not an array",
            R"({"data":{"artist":{"name":"The Band"},"album":{"title":"First Album","cover_medium":"m"}}})",
            "", false},
        reply_case{"first element not an object", R"({"data":["x"]})", "", true},
        reply_case{"no album", R"({"data":[{"title":"t","artist":{"name":"The Band"}}]})", "", true},
        reply_case{"album not an object", R"({"data":[{"artist":{"name":"The Band"},"album":"m"}]})", "",
                   true},
        reply_case{"error reply", R"({"error":{"type":"DataException","code":800}})", "", false},
        reply_case{"root not an object", R"([{"data":[]}])", "", false},
        reply_case{"not JSON", "<html>Bad gateway</html>", "", false}));

TEST(deezer_reply, a_body_that_is_not_json_prints_one_parse_line)
{
    std::string text = "<html>";
    testing::internal::CaptureStderr();
    EXPECT_EQ(deezer_read_track_reply(text.data(), played).album.url, "");
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
    const deezer_track_reply reply = read_quietly(GetParam().reply);
    EXPECT_EQ(reply.album.page, GetParam().page) << GetParam().what;
    EXPECT_LE(reply.album.page.size(), page_address_max_bytes) << GetParam().what;
}

// A reply whose first track's album, the one played, has a cover and these members after it.
std::string album_with(const std::string &members)
{
    return on_album(R"("cover_medium":"m",)" + members);
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
        page_case{"album without cover", on_album(R"("id":302127,"cover_medium":null)"), ""},
        page_case{
            "only the first track on the album counts",
            R"({"data":[{"artist":{"name":"The Band"},"album":{"title":"First Album","cover_medium":"m"}},)"
            R"({"artist":{"name":"The Band"},"album":{"title":"First Album","id":302127,"cover_medium":"n"}}]})",
            ""}));

const std::string url_longest = "https://c/" + std::string(image_address_max_bytes - 10, 'a');

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
    const deezer_track_verdict judged = deezer_judge_track_reply(GetParam().status, text.data(), played);
    testing::internal::GetCapturedStderr();
    const cover_verdict verdict = !judged.answered           ? cover_verdict::unknown
                                  : judged.album.url.empty() ? cover_verdict::none
                                                             : cover_verdict::found;
    EXPECT_EQ(verdict, GetParam().verdict) << GetParam().what;
    EXPECT_EQ(judged.album.url, GetParam().url) << GetParam().what;
    EXPECT_EQ(judged.album.page, GetParam().page) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    cover, verdicts,
    testing::Values(
        verdict_case{"cover", 200, on_album(R"("cover_medium":"https://c/m")"), cover_verdict::found,
                     "https://c/m"},
        verdict_case{"cover with its album's id", 200, on_album(R"("id":42,"cover_medium":"https://c/m")"),
                     cover_verdict::found, "https://c/m", "https://www.deezer.com/album/42"},
        verdict_case{"cover in an error reply", 500, on_album(R"("cover_xl":"https://c/x")"),
                     cover_verdict::found, "https://c/x"},
        verdict_case{"cover of 256 bytes", 200, on_album(R"("cover_medium":")" + url_longest + "\""),
                     cover_verdict::found, url_longest},
        verdict_case{"cover of 257 bytes: no usable cover, no page", 200,
                     on_album(R"("id":42,"cover_medium":")" + url_longest + "a\""), cover_verdict::none, ""},
        verdict_case{"plain http cover: none", 200, on_album(R"("id":42,"cover_medium":"http://c/m.jpg")"),
                     cover_verdict::none, ""},
        verdict_case{"not a URL: none", 200, on_album(R"("cover_medium":"m")"), cover_verdict::none, ""},
        verdict_case{"https with a space: none", 200, on_album(R"("cover_medium":"https://c/a b")"),
                     cover_verdict::none, ""},
        verdict_case{"https with a control character: none", 200,
                     on_album(R"("cover_medium":"https://c/a\nb")"), cover_verdict::none, ""},
        verdict_case{"https with a backslash: none", 200, on_album(R"("cover_medium":"https://c/a\\b")"),
                     cover_verdict::none, ""},
        verdict_case{"https with a quote: none", 200, on_album(R"("cover_medium":"https://c/a\"b")"),
                     cover_verdict::none, ""},
        verdict_case{"https with a brace: none", 200, on_album(R"("cover_medium":"https://c/{b}")"),
                     cover_verdict::none, ""},
        verdict_case{"every character a URI may hold", 200,
                     on_album(R"("cover_medium":"https://c/a-b._~:/?#[]@!$&'()*+,;=%20")"),
                     cover_verdict::found, "https://c/a-b._~:/?#[]@!$&'()*+,;=%20"},
        verdict_case{"upper-case scheme: none", 200, on_album(R"("cover_medium":"HTTPS://c/m")"),
                     cover_verdict::none, ""},
        verdict_case{"no match", 200, R"({"data":[],"total":0})", cover_verdict::none, ""},
        verdict_case{"match without cover", 200, on_album(R"()"), cover_verdict::none, ""},
        verdict_case{"no match, error status", 503, R"({"data":[]})", cover_verdict::unknown, ""},
        verdict_case{"error reply", 200, R"({"error":{"code":4}})", cover_verdict::unknown, ""},
        verdict_case{"error reply, error status", 404, R"({"error":{"code":800}})", cover_verdict::unknown,
                     ""},
        verdict_case{"not JSON", 200, "<html>Welcome to the hotel network</html>", cover_verdict::unknown,
                     ""},
        verdict_case{"empty body", 200, "", cover_verdict::unknown, ""}));

struct album_verdict_case {
    const char *what;
    unsigned status;
    std::string reply;
    cover_verdict verdict;
    std::string url = {};
    std::string page = {};
    std::string artist_page = {};
};

// An album search reply of one album, titled and credited as played, with these members.
std::string album_result(const std::string &members)
{
    return R"({"data":[{"title":"First Album","artist":{"id":27,"name":"The Band"},)" + members +
           "}],\"total\":1}";
}

class album_verdicts : public testing::TestWithParam<album_verdict_case> {};

TEST_P(album_verdicts, take_the_cover_of_the_album_played_by_its_artist_only)
{
    std::string text = GetParam().reply;
    testing::internal::CaptureStderr();
    const cover_outcome judged =
        deezer_judge_album_reply(GetParam().status, text.data(), "The Band", "First Album");
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(judged.verdict, GetParam().verdict) << GetParam().what;
    EXPECT_EQ(judged.art.url, GetParam().url) << GetParam().what;
    EXPECT_EQ(judged.art.page, GetParam().page) << GetParam().what;
    EXPECT_EQ(judged.art.artist_page, GetParam().artist_page) << GetParam().what;
    EXPECT_EQ(judged.art.track_page, "") << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    cover, album_verdicts,
    testing::Values(
        album_verdict_case{
            "cover with its album's and artist's pages", 200,
            album_result(R"("id":42,"cover_small":"https://c/s","cover_medium":"https://c/m")"),
            cover_verdict::found, "https://c/m", "https://www.deezer.com/album/42",
            "https://www.deezer.com/artist/27"},
        album_verdict_case{"cover in an error reply", 503, album_result(R"("cover_xl":"https://c/x")"),
                           cover_verdict::found, "https://c/x", "", "https://www.deezer.com/artist/27"},
        album_verdict_case{"album without a usable cover", 200,
                           album_result(R"("id":42,"cover_medium":"http://c/m")"), cover_verdict::none},
        album_verdict_case{
            "another album first", 200,
            R"j({"data":[{"id":1,"title":"First Album (Live)","artist":{"name":"The Band"},"cover_medium":"https://c/1"},)j"
            R"({"id":2,"title":"first album","artist":{"name":"THE BAND"},"cover_medium":"https://c/2"}]})",
            cover_verdict::found, "https://c/2", "https://www.deezer.com/album/2"},
        album_verdict_case{
            "another artist's album of that title", 200,
            R"({"data":[{"id":1,"title":"First Album","artist":{"name":"The Bandits"},"cover_medium":"https://c/1"}]})",
            cover_verdict::none},
        album_verdict_case{
            "the artist with a guest", 200,
            R"j({"data":[{"id":1,"title":"First Album","artist":{"name":"The Band (feat. Guest)"},"cover_medium":"https://c/1"}]})j",
            cover_verdict::found, "https://c/1", "https://www.deezer.com/album/1"},
        album_verdict_case{"no album", 200, R"({"data":[],"total":0})", cover_verdict::none},
        album_verdict_case{"no album, error status", 500, R"({"data":[]})", cover_verdict::unknown},
        album_verdict_case{"error reply", 200,
                           R"({"error":{"type":"Exception","message":"Quota limit exceeded","code":4}})",
                           cover_verdict::unknown},
        album_verdict_case{"not JSON", 200, "<html>Gateway</html>", cover_verdict::unknown},
        album_verdict_case{"empty body", 200, "", cover_verdict::unknown}));

struct link_case {
    const char *what;
    std::string reply;
    const char *artist_page;
    const char *track_page;
    const char *track_title;
    std::string title = "Blue"; // as played
};

class links : public testing::TestWithParam<link_case> {};

TEST_P(links, come_from_the_matched_tracks_own_ids)
{
    const deezer_track_reply reply = read_quietly(GetParam().reply, {"The Band", "", GetParam().title});
    EXPECT_EQ(reply.match.artist_page, GetParam().artist_page) << GetParam().what;
    EXPECT_EQ(reply.match.track_page, GetParam().track_page) << GetParam().what;
    EXPECT_EQ(reply.match.track_title, GetParam().track_title) << GetParam().what;
}

const std::string title_513(cover_title_max_bytes + 1, 't');

INSTANTIATE_TEST_SUITE_P(
    cover, links,
    testing::Values(
        link_case{
            "whole match",
            R"({"data":[{"id":3135556,"title":"Blue","artist":{"id":27,"name":"The Band"},"album":{"cover_medium":"m"}}]})",
            "https://www.deezer.com/artist/27", "https://www.deezer.com/track/3135556", "Blue"},
        link_case{"match without cover",
                  R"({"data":[{"id":"3135556","title":"Blue","artist":{"id":"27","name":"The Band"}}]})",
                  "https://www.deezer.com/artist/27", "https://www.deezer.com/track/3135556", "Blue"},
        link_case{"ids not usable",
                  R"({"data":[{"id":"03135556","title":"Blue","artist":{"id":-27,"name":"The Band"}}]})", "",
                  "", ""},
        link_case{"track without title: no match",
                  R"({"data":[{"id":3135556,"artist":{"id":27,"name":"The Band"}}]})", "", "", ""},
        link_case{"title too long",
                  R"({"data":[{"id":3135556,"title":")" + title_513 +
                      R"(","artist":{"id":27,"name":"The Band"}}]})",
                  "https://www.deezer.com/artist/27", "", "", title_513},
        link_case{"artist not an object: no match", R"({"data":[{"id":3135556,"title":"Blue","artist":27}]})",
                  "", "", ""},
        link_case{"the first match, not the first result",
                  R"({"data":[{"album":{}},{"id":3,"title":"Blue","artist":{"id":27,"name":"The Band"}}]})",
                  "https://www.deezer.com/artist/27", "https://www.deezer.com/track/3", "Blue"},
        link_case{"no match", R"({"data":[]})", "", "", ""}));

struct match_case {
    const char *what;
    const char *title;      // as played
    std::string tracks;     // the members of "data"
    const char *track_page; // of the match; empty for none
    const char *cover = "";
    const char *artist = "The Band"; // as played
};

// A track record of a reply: its id, title, album cover and artist's name.
std::string track(int id, const std::string &title, const std::string &cover = "https://c/m.jpg",
                  const std::string &artist = "The Band")
{
    return R"({"id":)" + std::to_string(id) + R"(,"title":")" + title + R"(","artist":{"id":27,"name":")" +
           artist + R"("},"album":{"id":)" + std::to_string(id) + R"(,"cover_medium":")" + cover + R"("}})";
}

// A track record with Deezer's title split: title_short and title_version.
std::string versioned_track(int id, const std::string &title_short, const std::string &version)
{
    return R"({"id":)" + std::to_string(id) + R"(,"title":")" + title_short + " " + version +
           R"(","title_short":")" + title_short + R"(","title_version":")" + version +
           R"(","artist":{"id":27,"name":"The Band"},"album":{"id":)" + std::to_string(id) +
           R"(,"cover_medium":"https://c/m.jpg"}})";
}

class matches : public testing::TestWithParam<match_case> {};

TEST_P(matches, are_the_first_track_titled_and_credited_as_played_ignoring_case)
{
    std::string text = R"({"data":[)" + GetParam().tracks + R"(],"total":3})";
    const deezer_track_verdict judged =
        deezer_judge_track_reply(200, text.data(), {GetParam().artist, "", GetParam().title});
    ASSERT_TRUE(judged.answered);
    const std::string page = GetParam().track_page;
    EXPECT_EQ(judged.track.verdict, page.empty() ? cover_verdict::none : cover_verdict::found)
        << GetParam().what;
    EXPECT_EQ(judged.track.art.track_page, page) << GetParam().what;
    EXPECT_EQ(judged.track.art.url, GetParam().cover) << GetParam().what;
    if (!page.empty()) {
        EXPECT_EQ(judged.track.art.artist_page, "https://www.deezer.com/artist/27") << GetParam().what;
        const std::string album_page = "https://www.deezer.com/album/" + page.substr(page.rfind('/') + 1);
        EXPECT_EQ(judged.track.art.page, judged.track.art.url.empty() ? "" : album_page) << GetParam().what;
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
                   "https://c/m.jpg"},
        match_case{"another artist's track of that title is passed over", "Blue",
                   track(1, "Blue", "https://c/1.jpg", "Somebody Else") + "," +
                       track(2, "Blue", "https://c/2.jpg"),
                   "https://www.deezer.com/track/2", "https://c/2.jpg"},
        match_case{"only another artist's track of that title: no match", "Blue",
                   track(1, "Blue", "https://c/1.jpg", "The Bandits"), ""},
        match_case{"an artist whose name holds the played one is another", "Blue",
                   track(1, "Blue", "https://c/1.jpg", "The Band of Gold"), ""},
        match_case{"a nameless artist is not the played one", "Blue",
                   R"({"id":1,"title":"Blue","artist":{"id":27},"album":{"cover_medium":"https://c/1.jpg"}})",
                   ""},
        match_case{"played with a guest, listed without", "Blue", track(1, "Blue"),
                   "https://www.deezer.com/track/1", "https://c/m.jpg", "The Band feat. Guest"},
        match_case{"listed with a guest in parentheses", "Blue",
                   track(1, "Blue", "https://c/m.jpg", "The Band (Ft. Guest)"),
                   "https://www.deezer.com/track/1", "https://c/m.jpg"},
        match_case{"the version's short title when no title is the played one", "Blue",
                   versioned_track(1, "Blue", "(Remastered 2011)"), "https://www.deezer.com/track/1",
                   "https://c/m.jpg"},
        match_case{"the very title before an earlier short title", "Blue",
                   versioned_track(1, "Blue", "(Live)") + "," + track(2, "Blue", "https://c/2.jpg"),
                   "https://www.deezer.com/track/2", "https://c/2.jpg"},
        match_case{"a remastered title played matches its full title", "Blue (Remastered 2011)",
                   versioned_track(1, "Blue", "(Remastered 2011)"), "https://www.deezer.com/track/1",
                   "https://c/m.jpg"}));

struct artist_case {
    const char *listed;
    const char *played;
    bool same;
};

class artists : public testing::TestWithParam<artist_case> {};

TEST_P(artists, are_the_same_as_a_listener_hears_them)
{
    EXPECT_EQ(deezer_same_artist(GetParam().listed, GetParam().played), GetParam().same)
        << GetParam().listed << " / " << GetParam().played;
}

INSTANTIATE_TEST_SUITE_P(
    cover, artists,
    testing::Values(artist_case{"The Band", "The Band", true}, artist_case{"THE BAND", "the band", true},
                    artist_case{"\xC3\x89lodie Varga", "\xC3\xA9LODIE VARGA", true}, // Élodie, éLODIE
                    artist_case{"The Band", "The Band feat. Guest", true},
                    artist_case{"The Band feat. Guest", "The Band", true},
                    artist_case{"The Band", "the band FT. Guest", true},
                    artist_case{"The Band", "The Band ft Guest", true},
                    artist_case{"The Band", "The Band featuring Guest & Other", true},
                    artist_case{"The Band", "The Band (feat. Guest)", true},
                    artist_case{"The Band", "The Band [Feat. Guest]", true},
                    artist_case{"The Band feat. Guest", "The Band feat. Other", false},
                    artist_case{"The Band", "The Band & Guest", false},
                    artist_case{"The Band", "The Bandits", false},
                    artist_case{"The Band", "The Band Live", false},
                    artist_case{"The Band", "The Band feat.", false},
                    artist_case{"The Band", "The Band feature Guest", false},
                    artist_case{"Guest", "The Band feat. Guest", false},
                    artist_case{"Somebody Else", "The Band", false}, artist_case{"", "The Band", false}));

// Replies in the shape the service writes them (every member it sends, slashes
// escaped; the ids and checksums made up), for an album whose tracks it lists
// remastered.
const char service_shaped_track_search[] =
    R"j({"data":[{"id":116348128,"readable":true,"title":"Come Together (Remastered 2009)","title_short":"Come Together",)j"
    R"j("title_version":"(Remastered 2009)","link":"https:\/\/www.deezer.com\/track\/116348128","duration":259,)j"
    R"("rank":853478,"explicit_lyrics":false,"explicit_content_lyrics":0,"explicit_content_cover":0,)"
    R"("preview":"https:\/\/cdnt-preview.dzcdn.net\/api\/1\/1\/5\/0\/e\/0\/50e1d2d6f2d4d4b0b2a5f3f1d8e0a7b1.mp3?hdnea=exp=1765400000~acl=\/api\/1\/1\/5\/0\/e\/0\/50e1d2d6f2d4d4b0b2a5f3f1d8e0a7b1.mp3*~hmac=0f",)"
    R"("md5_image":"0e8e8e5b7a7c9a5b2b2d1d7d4d7d0b1e","artist":{"id":1,"name":"The Beatles",)"
    R"("link":"https:\/\/www.deezer.com\/artist\/1","picture":"https:\/\/api.deezer.com\/artist\/1\/image",)"
    R"("picture_small":"https:\/\/e-cdns-images.dzcdn.net\/images\/artist\/3e5b8f0bd9e1a1a0e1c1d7f5e1a8f0e1\/56x56-000000-80-0-0.jpg",)"
    R"("picture_medium":"https:\/\/e-cdns-images.dzcdn.net\/images\/artist\/3e5b8f0bd9e1a1a0e1c1d7f5e1a8f0e1\/250x250-000000-80-0-0.jpg",)"
    R"("picture_big":"https:\/\/e-cdns-images.dzcdn.net\/images\/artist\/3e5b8f0bd9e1a1a0e1c1d7f5e1a8f0e1\/500x500-000000-80-0-0.jpg",)"
    R"("picture_xl":"https:\/\/e-cdns-images.dzcdn.net\/images\/artist\/3e5b8f0bd9e1a1a0e1c1d7f5e1a8f0e1\/1000x1000-000000-80-0-0.jpg",)"
    R"("tracklist":"https:\/\/api.deezer.com\/artist\/1\/top?limit=50","type":"artist"},)"
    R"j("album":{"id":12047952,"title":"Abbey Road (Remastered)","cover":"https:\/\/api.deezer.com\/album\/12047952\/image",)j"
    R"("cover_small":"https:\/\/e-cdns-images.dzcdn.net\/images\/cover\/0e8e8e5b7a7c9a5b2b2d1d7d4d7d0b1e\/56x56-000000-80-0-0.jpg",)"
    R"("cover_medium":"https:\/\/e-cdns-images.dzcdn.net\/images\/cover\/0e8e8e5b7a7c9a5b2b2d1d7d4d7d0b1e\/250x250-000000-80-0-0.jpg",)"
    R"("cover_big":"https:\/\/e-cdns-images.dzcdn.net\/images\/cover\/0e8e8e5b7a7c9a5b2b2d1d7d4d7d0b1e\/500x500-000000-80-0-0.jpg",)"
    R"("cover_xl":"https:\/\/e-cdns-images.dzcdn.net\/images\/cover\/0e8e8e5b7a7c9a5b2b2d1d7d4d7d0b1e\/1000x1000-000000-80-0-0.jpg",)"
    R"("md5_image":"0e8e8e5b7a7c9a5b2b2d1d7d4d7d0b1e","tracklist":"https:\/\/api.deezer.com\/album\/12047952\/tracks",)"
    R"("type":"album"},"type":"track"}],"total":1})";

const char service_shaped_album_search[] =
    R"j({"data":[{"id":121893052,"title":"Abbey Road (Super Deluxe Edition)","link":"https:\/\/www.deezer.com\/album\/121893052",)j"
    R"("cover":"https:\/\/api.deezer.com\/album\/121893052\/image",)"
    R"("cover_small":"https:\/\/e-cdns-images.dzcdn.net\/images\/cover\/8f1a2b3c4d5e6f708192a3b4c5d6e7f8\/56x56-000000-80-0-0.jpg",)"
    R"("cover_medium":"https:\/\/e-cdns-images.dzcdn.net\/images\/cover\/8f1a2b3c4d5e6f708192a3b4c5d6e7f8\/250x250-000000-80-0-0.jpg",)"
    R"("cover_big":"https:\/\/e-cdns-images.dzcdn.net\/images\/cover\/8f1a2b3c4d5e6f708192a3b4c5d6e7f8\/500x500-000000-80-0-0.jpg",)"
    R"("cover_xl":"https:\/\/e-cdns-images.dzcdn.net\/images\/cover\/8f1a2b3c4d5e6f708192a3b4c5d6e7f8\/1000x1000-000000-80-0-0.jpg",)"
    R"("md5_image":"8f1a2b3c4d5e6f708192a3b4c5d6e7f8","genre_id":152,"nb_tracks":40,"record_type":"album",)"
    R"("tracklist":"https:\/\/api.deezer.com\/album\/121893052\/tracks","explicit_lyrics":false,)"
    R"("artist":{"id":1,"name":"The Beatles","link":"https:\/\/www.deezer.com\/artist\/1",)"
    R"("picture":"https:\/\/api.deezer.com\/artist\/1\/image",)"
    R"("picture_small":"https:\/\/e-cdns-images.dzcdn.net\/images\/artist\/3e5b8f0bd9e1a1a0e1c1d7f5e1a8f0e1\/56x56-000000-80-0-0.jpg",)"
    R"("picture_medium":"https:\/\/e-cdns-images.dzcdn.net\/images\/artist\/3e5b8f0bd9e1a1a0e1c1d7f5e1a8f0e1\/250x250-000000-80-0-0.jpg",)"
    R"("picture_big":"https:\/\/e-cdns-images.dzcdn.net\/images\/artist\/3e5b8f0bd9e1a1a0e1c1d7f5e1a8f0e1\/500x500-000000-80-0-0.jpg",)"
    R"("picture_xl":"https:\/\/e-cdns-images.dzcdn.net\/images\/artist\/3e5b8f0bd9e1a1a0e1c1d7f5e1a8f0e1\/1000x1000-000000-80-0-0.jpg",)"
    R"("tracklist":"https:\/\/api.deezer.com\/artist\/1\/top?limit=50","type":"artist"},"type":"album"},)"
    R"j({"id":12047952,"title":"Abbey Road (Remastered)","link":"https:\/\/www.deezer.com\/album\/12047952",)j"
    R"("cover":"https:\/\/api.deezer.com\/album\/12047952\/image",)"
    R"("cover_small":"https:\/\/e-cdns-images.dzcdn.net\/images\/cover\/0e8e8e5b7a7c9a5b2b2d1d7d4d7d0b1e\/56x56-000000-80-0-0.jpg",)"
    R"("cover_medium":"https:\/\/e-cdns-images.dzcdn.net\/images\/cover\/0e8e8e5b7a7c9a5b2b2d1d7d4d7d0b1e\/250x250-000000-80-0-0.jpg",)"
    R"("cover_big":"https:\/\/e-cdns-images.dzcdn.net\/images\/cover\/0e8e8e5b7a7c9a5b2b2d1d7d4d7d0b1e\/500x500-000000-80-0-0.jpg",)"
    R"("cover_xl":"https:\/\/e-cdns-images.dzcdn.net\/images\/cover\/0e8e8e5b7a7c9a5b2b2d1d7d4d7d0b1e\/1000x1000-000000-80-0-0.jpg",)"
    R"("md5_image":"0e8e8e5b7a7c9a5b2b2d1d7d4d7d0b1e","genre_id":152,"nb_tracks":17,"record_type":"album",)"
    R"("tracklist":"https:\/\/api.deezer.com\/album\/12047952\/tracks","explicit_lyrics":false,)"
    R"("artist":{"id":1,"name":"The Beatles","link":"https:\/\/www.deezer.com\/artist\/1",)"
    R"("picture":"https:\/\/api.deezer.com\/artist\/1\/image","tracklist":"https:\/\/api.deezer.com\/artist\/1\/top?limit=50",)"
    R"("type":"artist"},"type":"album"}],"total":2})";

const char abbey_road_cover[] =
    "https://e-cdns-images.dzcdn.net/images/cover/0e8e8e5b7a7c9a5b2b2d1d7d4d7d0b1e/250x250-000000-80-0-0.jpg";

struct service_shaped_case {
    const char *what;
    cover_key played;
    cover_verdict track;
    const char *track_title; // the title the match was made by
    const char *album_cover; // from the track search; empty for none
};

class service_shaped_track_replies : public testing::TestWithParam<service_shaped_case> {};

TEST_P(service_shaped_track_replies, match_by_title_or_short_title_and_give_the_albums_cover)
{
    std::string text = service_shaped_track_search;
    const deezer_track_verdict judged = deezer_judge_track_reply(200, text.data(), GetParam().played);
    ASSERT_TRUE(judged.answered);
    EXPECT_EQ(judged.track.verdict, GetParam().track) << GetParam().what;
    EXPECT_EQ(judged.track.art.track_title, GetParam().track_title) << GetParam().what;
    EXPECT_EQ(judged.album.url, GetParam().album_cover) << GetParam().what;
    if (judged.track.verdict == cover_verdict::found) {
        EXPECT_EQ(judged.track.art.track_page, "https://www.deezer.com/track/116348128");
        EXPECT_EQ(judged.track.art.url, abbey_road_cover);
        EXPECT_EQ(judged.track.art.page, "https://www.deezer.com/album/12047952");
        EXPECT_EQ(judged.track.art.artist_page, "https://www.deezer.com/artist/1");
    }
    if (!judged.album.url.empty()) {
        EXPECT_EQ(judged.album.page, "https://www.deezer.com/album/12047952");
    }
}

INSTANTIATE_TEST_SUITE_P(
    cover, service_shaped_track_replies,
    testing::Values(
        service_shaped_case{"the title as listed",
                            {"The Beatles", "Abbey Road (Remastered)", "Come Together (Remastered 2009)"},
                            cover_verdict::found,
                            "Come Together (Remastered 2009)",
                            abbey_road_cover},
        service_shaped_case{"the title without its version",
                            {"the beatles", "ABBEY ROAD (REMASTERED)", "come together"},
                            cover_verdict::found,
                            "Come Together",
                            abbey_road_cover},
        service_shaped_case{"another version's title",
                            {"The Beatles", "Abbey Road (Remastered)", "Come Together (Live)"},
                            cover_verdict::none,
                            "",
                            abbey_road_cover},
        service_shaped_case{"an album of another title: the track's own cover only",
                            {"The Beatles", "Abbey Road", "Come Together"},
                            cover_verdict::found,
                            "Come Together",
                            ""},
        service_shaped_case{"another artist of that title",
                            {"The Beatles Revival", "Abbey Road (Remastered)", "Come Together"},
                            cover_verdict::none,
                            "",
                            ""},
        service_shaped_case{"the artist with a guest",
                            {"The Beatles feat. Billy Preston", "Abbey Road (Remastered)", "Come Together"},
                            cover_verdict::found,
                            "Come Together",
                            abbey_road_cover}),
    [](const auto &info) { return "case_" + std::to_string(info.index); });

struct service_shaped_album_case {
    const char *artist;
    const char *album;
    const char *page; // empty: none
};

class service_shaped_album_replies : public testing::TestWithParam<service_shaped_album_case> {};

TEST_P(service_shaped_album_replies, give_the_cover_of_the_album_titled_as_played)
{
    std::string text = service_shaped_album_search;
    const cover_outcome judged =
        deezer_judge_album_reply(200, text.data(), GetParam().artist, GetParam().album);
    const std::string page = GetParam().page;
    EXPECT_EQ(judged.verdict, page.empty() ? cover_verdict::none : cover_verdict::found) << GetParam().album;
    EXPECT_EQ(judged.art.page, page) << GetParam().album;
    if (!page.empty()) {
        EXPECT_EQ(judged.art.artist_page, "https://www.deezer.com/artist/1");
        EXPECT_EQ(judged.art.url.rfind("https://e-cdns-images.dzcdn.net/images/cover/", 0), 0u)
            << judged.art.url;
        EXPECT_NE(judged.art.url.find("/250x250-"), std::string::npos) << "the track search's size";
    }
}

INSTANTIATE_TEST_SUITE_P(
    cover, service_shaped_album_replies,
    testing::Values(service_shaped_album_case{"The Beatles", "Abbey Road (Remastered)",
                                              "https://www.deezer.com/album/12047952"},
                    service_shaped_album_case{"THE BEATLES", "abbey road (super deluxe edition)",
                                              "https://www.deezer.com/album/121893052"},
                    service_shaped_album_case{"The Beatles", "Abbey Road", ""},
                    service_shaped_album_case{"The Rolling Stones", "Abbey Road (Remastered)", ""}));

// A remastered title the catalogue lists plainly finds no track, and the
// album search then gives the album's cover.
TEST(deezer_service_shaped, a_remastered_title_listed_plainly_finds_its_cover_through_the_album_search)
{
    const cover_key played{"The Beatles", "Abbey Road (Remastered)", "Something (Remastered 2009)"};
    std::string tracks = R"({"data":[],"total":0})";
    const deezer_track_verdict by_track = deezer_judge_track_reply(200, tracks.data(), played);
    ASSERT_TRUE(by_track.answered);
    EXPECT_EQ(by_track.track.verdict, cover_verdict::none);
    EXPECT_EQ(by_track.album.url, "");
    std::string albums = service_shaped_album_search;
    const cover_outcome by_album = deezer_judge_album_reply(200, albums.data(), played.artist, played.album);
    EXPECT_EQ(by_album.verdict, cover_verdict::found);
    EXPECT_EQ(by_album.art.url, abbey_road_cover);
    EXPECT_EQ(by_album.art.page, "https://www.deezer.com/album/12047952");
}

} // namespace
