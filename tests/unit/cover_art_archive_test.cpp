// The Cover Art Archive's answer for a release group's front image.
#include "cover/cover_art_archive.h"

#include "common/address_limits.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string mbid = "76df3287-6cda-33eb-8e9a-044b5e15ffdd";
const std::string archive_longest =
    "https://ia8.archive.org/" +
    std::string(image_address_max_bytes - std::string("https://ia8.archive.org/").size(), 'a');

struct front_case {
    const char *what;
    unsigned status;
    std::string location;
    cover_verdict verdict;
    std::string url = {};
};

const std::string archive =
    "https://ia800000.us.archive.org/1/items/mbid-" + mbid + "/mbid-" + mbid + "-1_thumb250.jpg";
const std::string front = "https://coverartarchive.org/release-group/" + mbid + "/front-250";

class fronts : public testing::TestWithParam<front_case> {};

TEST_P(fronts, give_the_final_image_the_archives_own_url_or_nothing)
{
    const cover_outcome outcome = cover_art_archive_judge_front(GetParam().status, GetParam().location, mbid);
    EXPECT_EQ(outcome.verdict, GetParam().verdict) << GetParam().what;
    EXPECT_EQ(outcome.art.url, GetParam().url) << GetParam().what;
    EXPECT_EQ(outcome.art.page,
              outcome.verdict == cover_verdict::found ? "https://musicbrainz.org/release-group/" + mbid : "")
        << GetParam().what;
    EXPECT_LE(outcome.art.page.size(), page_address_max_bytes);
}

INSTANTIATE_TEST_SUITE_P(
    cover, fronts,
    testing::Values(
        front_case{"redirect", 307, archive, cover_verdict::found, archive},
        front_case{"redirect, moved permanently", 301, archive, cover_verdict::found, archive},
        front_case{"redirect, found", 302, archive, cover_verdict::found, archive},
        front_case{"redirect, see other", 303, archive, cover_verdict::found, archive},
        front_case{"redirect, permanent", 308, archive, cover_verdict::found, archive},
        front_case{"redirect to archive.org itself", 302, "https://archive.org/x.jpg", cover_verdict::found,
                   "https://archive.org/x.jpg"},
        front_case{"redirect to a subdomain in capitals", 302, "https://IA8.US.Archive.org/x.jpg",
                   cover_verdict::found, "https://IA8.US.Archive.org/x.jpg"},
        front_case{"redirect elsewhere", 302, "https://example.com/x.jpg", cover_verdict::found, front},
        front_case{"redirect to a look-alike", 307, "https://evilarchive.org/x.jpg", cover_verdict::found,
                   front},
        front_case{"redirect to archive.org under another domain", 301,
                   "https://archive.org.example.com/x.jpg", cover_verdict::found, front},
        front_case{"redirect with a user", 303, "https://archive.org@example.com/x.jpg", cover_verdict::found,
                   front},
        front_case{"redirect with a port", 308, "https://ia8.archive.org:8443/x.jpg", cover_verdict::found,
                   front},
        front_case{"redirect of 256 bytes", 307, archive_longest, cover_verdict::found, archive_longest},
        front_case{"redirect too long", 307, archive_longest + "a", cover_verdict::found, front},
        front_case{"redirect to plain http", 307, "http://archive.org/x.jpg", cover_verdict::found, front},
        front_case{"redirect without a location", 302, "", cover_verdict::found, front},
        front_case{"the image itself", 200, "", cover_verdict::found, front},
        front_case{"no front image", 404, "", cover_verdict::none},
        front_case{"over the rate", 503, "", cover_verdict::unknown},
        front_case{"server error", 500, "", cover_verdict::unknown},
        front_case{"not modified is no redirect", 304, archive, cover_verdict::unknown}));

} // namespace
