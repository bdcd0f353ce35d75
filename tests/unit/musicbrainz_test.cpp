// MusicBrainz's release group search: the encoded paths and the release
// group its reply names.
#include "cover/musicbrainz.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct release_group_path_case {
    const char *artist;
    const char *album;
    const char *path;
};

class release_group_paths : public testing::TestWithParam<release_group_path_case> {};

TEST_P(release_group_paths, quote_and_escape_the_names_then_percent_encode_the_whole_query)
{
    EXPECT_EQ(musicbrainz_release_group_path(GetParam().artist, GetParam().album), GetParam().path);
}

INSTANTIATE_TEST_SUITE_P(
    cover, release_group_paths,
    testing::Values(
        release_group_path_case{
            "The Band", "First Album",
            "/ws/2/release-group/?query=releasegroup%3A%22First%20Album%22%20AND%20artist%3A"
            "%22The%20Band%22&fmt=json&limit=5"},
        release_group_path_case{"Say \"Hi\"", "a\\b",
                                "/ws/2/release-group/?query=releasegroup%3A%22a%5C%5Cb%22%20AND%20artist%3A"
                                "%22Say%20%5C%22Hi%5C%22%22&fmt=json&limit=5"},
        release_group_path_case{
            "A&B", "x=1+y #2 100%",
            "/ws/2/release-group/?query=releasegroup%3A%22x%3D1%2By%20%232%20100%25%22%20AND%20"
            "artist%3A%22A%26B%22&fmt=json&limit=5"},
        release_group_path_case{"Fr\xC3\xA9"
                                "d\xC3\xA9ric",
                                "\xE6\x97\xA5",
                                "/ws/2/release-group/?query=releasegroup%3A%22%E6%97%A5%22%20AND%20artist%3A"
                                "%22Fr%C3%A9d%C3%A9ric%22&fmt=json&limit=5"}));

struct release_group_case {
    const char *what;
    unsigned status;
    std::string reply;
    cover_verdict verdict;
    std::string mbid = {};
    std::string artist = "The Band"; // as played
};

const std::string other_mbid = "11111111-1111-1111-1111-111111111111";

const std::string mbid = "76df3287-6cda-33eb-8e9a-044b5e15ffdd";

std::string groups(const std::string &members)
{
    return R"({"created":"2026-12-10T00:00:00.000Z","count":1,"offset":0,"release-groups":[)" + members +
           "]}";
}

// The artist credit of one artist, as MusicBrainz writes it.
std::string credit_of(const std::string &artist)
{
    return R"("artist-credit":[{"name":")" + artist + R"(","artist":{"id":"x","name":")" + artist + R"("}}])";
}

std::string group(const std::string &id, int score, const std::string &title,
                  const std::string &credit = credit_of("The Band"))
{
    return R"({"id":")" + id + R"(","score":)" + std::to_string(score) + R"(,"title":")" + title + R"(",)" +
           credit + "}";
}

class release_groups : public testing::TestWithParam<release_group_case> {};

TEST_P(release_groups, name_the_first_close_match_of_the_album)
{
    std::string text = GetParam().reply;
    testing::internal::CaptureStderr();
    const release_group_verdict verdict =
        musicbrainz_judge_release_groups(GetParam().status, text.data(), GetParam().artist, "First Album");
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(verdict.verdict, GetParam().verdict) << GetParam().what;
    EXPECT_EQ(verdict.mbid, GetParam().mbid) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    cover, release_groups,
    testing::Values(
        release_group_case{"match", 200, groups(group(mbid, 100, "First Album")), cover_verdict::found, mbid},
        release_group_case{"title in another case", 200, groups(group(mbid, 95, "FIRST album")),
                           cover_verdict::found, mbid},
        release_group_case{"score 90 is enough", 200, groups(group(mbid, 90, "First Album")),
                           cover_verdict::found, mbid},
        release_group_case{"score 89 is not", 200, groups(group(mbid, 89, "First Album")),
                           cover_verdict::none},
        release_group_case{"score as a string", 200,
                           groups(R"({"id":")" + mbid + R"(","score":"100","title":"First Album",)" +
                                  credit_of("The Band") + "}"),
                           cover_verdict::found, mbid},
        release_group_case{
            "score missing", 200,
            groups(R"({"id":")" + mbid + R"(","title":"First Album",)" + credit_of("The Band") + "}"),
            cover_verdict::none},
        release_group_case{"another title", 200, groups(group(mbid, 100, "First Album (Deluxe)")),
                           cover_verdict::none},
        release_group_case{"the first acceptable of several", 200,
                           groups(group("11111111-1111-1111-1111-111111111111", 100, "Other") + "," +
                                  group(mbid, 92, "First Album") + "," +
                                  group("22222222-2222-2222-2222-222222222222", 100, "First Album")),
                           cover_verdict::found, mbid},
        release_group_case{"upper-case id is written in lower case", 200,
                           groups(group("76DF3287-6CDA-33EB-8E9A-044B5E15FFDD", 100, "First Album")),
                           cover_verdict::found, mbid},
        release_group_case{"id not a UUID", 200,
                           groups(group("76df3287-6cda-33eb-8e9a-044b5e15ffd", 100, "First Album")),
                           cover_verdict::none},
        release_group_case{"id with a path", 200,
                           groups(group("../../../../x/6cda-33eb-8e9a-044b5e15ffdd", 100, "First Album")),
                           cover_verdict::none},
        release_group_case{"another artist's album of the same title", 200,
                           groups(group(mbid, 100, "First Album", credit_of("Other Band"))),
                           cover_verdict::none},
        release_group_case{"another artist's first, then ours", 200,
                           groups(group(other_mbid, 100, "First Album", credit_of("Other Band")) + "," +
                                  group(mbid, 100, "First Album")),
                           cover_verdict::found, mbid},
        release_group_case{"artist in another case", 200, groups(group(mbid, 100, "First Album")),
                           cover_verdict::found, mbid, "THE BAND"},
        release_group_case{"no artist credit", 200, groups(group(mbid, 100, "First Album", R"("x":1)")),
                           cover_verdict::none},
        release_group_case{
            "the whole credit with its join phrase", 200,
            groups(group(mbid, 100, "First Album",
                         R"("artist-credit":[{"name":"The Band","joinphrase":" feat. "},{"name":"Guest"}])")),
            cover_verdict::found, mbid, "the band FEAT. guest"},
        release_group_case{
            "one of the credited artists", 200,
            groups(group(
                mbid, 100, "First Album",
                R"("artist-credit":[{"name":"Guest","joinphrase":" & "},{"name":"TB","artist":{"name":"The Band"}}])")),
            cover_verdict::found, mbid},
        release_group_case{"a part of a credited name is not enough", 200,
                           groups(group(mbid, 100, "First Album", credit_of("The Band Reunited"))),
                           cover_verdict::none},
        // Passes once the JSON reader decodes \u escapes.
        release_group_case{
            "Cyrillic, escaped", 200,
            groups(group(mbid, 100, "First Album",
                         credit_of("\\u0411\\u0435\\u043b\\u0430\\u044f \\u0420\\u0435\\u043a\\u0430"))),
            cover_verdict::found, mbid,
            "\xD0\x91\xD0\x95\xD0\x9B\xD0\x90\xD0\xAF \xD1\x80\xD0\xB5\xD0\xBA\xD0\xB0"}, // БЕЛАЯ река
        release_group_case{"no release groups", 200, groups(""), cover_verdict::none},
        release_group_case{"over the rate", 503, groups(group(mbid, 100, "First Album")),
                           cover_verdict::unknown},
        release_group_case{"error reply", 200, R"({"error":"Invalid query"})", cover_verdict::unknown},
        release_group_case{"not JSON", 200, "<html>busy</html>", cover_verdict::unknown},
        release_group_case{"empty body", 200, "", cover_verdict::unknown}));

} // namespace
