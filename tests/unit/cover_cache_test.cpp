// Cover cache: what is remembered, under which key, and which entry goes first.
#include "cover/cover_cache.h"

#include <gtest/gtest.h>

namespace {

const cover_key band{"The Band", "First Album", ""};

// The cover URL and album page remembered for `key`, as "url | page".
std::string known(cover_cache &cache, const cover_key &key)
{
    const cover_art *art = cover_cache_find(&cache, key);
    return art == nullptr ? "(unknown)" : art->url + " | " + art->page;
}

// A cover with its page.
cover_art cover(const char *url, const char *page = "")
{
    cover_art art;
    art.url = url;
    art.page = page;
    return art;
}

TEST(cover_cache, remembers_covers_with_their_pages_and_definite_absences)
{
    cover_cache cache;
    EXPECT_EQ(known(cache, band), "(unknown)");
    cover_cache_store(&cache, band, cover("https://c/1.jpg", "https://www.deezer.com/album/1"));
    cover_cache_store(&cache, {"Solo", "", ""}, {});
    cover_cache_store(&cache, {"Duo", "", ""}, cover("https://c/3.jpg"));
    EXPECT_EQ(known(cache, band), "https://c/1.jpg | https://www.deezer.com/album/1");
    EXPECT_EQ(known(cache, {"Solo", "", ""}), " | ");
    EXPECT_EQ(known(cache, {"Duo", "", ""}), "https://c/3.jpg | ");
    cover_cache_store(&cache, band, cover("https://c/2.jpg"));
    EXPECT_EQ(known(cache, band), "https://c/2.jpg | ") << "the page goes with the cover it came with";
    EXPECT_EQ(cache.entries.size(), 3u);
}

TEST(cover_cache, keys_are_the_exact_artist_album_and_title)
{
    cover_cache cache;
    cover_cache_store(&cache, band, cover("https://c/1.jpg"));
    for (const cover_key &other :
         {cover_key{"The Band", "", ""}, cover_key{"the band", "First Album", ""},
          cover_key{"The Band ", "First Album", ""}, cover_key{"First Album", "The Band", ""},
          cover_key{"The BandFirst", " Album", ""}, cover_key{"The Band", "First Album", "Blue"},
          cover_key{"The Band", "", "First Album"}}) {
        EXPECT_EQ(known(cache, other), "(unknown)")
            << other.artist << "|" << other.album << "|" << other.title;
    }
}

TEST(cover_cache, drops_the_least_recently_used_beyond_its_capacity)
{
    cover_cache cache;
    cache.capacity = 3;
    for (const char *artist : {"a", "b", "c"}) {
        cover_cache_store(&cache, {artist, "", ""}, cover(artist, artist));
    }
    EXPECT_EQ(known(cache, {"a", "", ""}), "a | a"); // now the most recently used
    cover_cache_store(&cache, {"d", "", ""}, cover("d"));
    EXPECT_EQ(known(cache, {"b", "", ""}), "(unknown)");
    cover_cache_store(&cache, {"e", "", ""}, cover("e"));
    EXPECT_EQ(known(cache, {"c", "", ""}), "(unknown)");
    EXPECT_EQ(known(cache, {"a", "", ""}), "a | a");
    EXPECT_EQ(cache.entries.size(), 3u);
    EXPECT_EQ(cache.index.size(), 3u);
}

TEST(cover_cache, holds_its_default_capacity_of_entries)
{
    cover_cache cache;
    for (size_t i = 0; i < cover_cache_capacity + 100; ++i) {
        cover_cache_store(&cache, {"Artist " + std::to_string(i), "Album", ""}, cover("u"));
    }
    EXPECT_EQ(cache.entries.size(), cover_cache_capacity);
    EXPECT_EQ(known(cache, {"Artist 99", "Album", ""}), "(unknown)");
    EXPECT_EQ(known(cache, {"Artist 100", "Album", ""}), "u | ");
}

TEST(cover_failures, keep_an_album_from_being_asked_again_for_a_minute)
{
    cover_failures failures;
    const uint64_t start = 1000;
    EXPECT_FALSE(cover_failed_lately(&failures, band, start));
    cover_failure_note(&failures, band, start);
    const struct {
        uint64_t later;
        bool lately;
    } cases[] = {{0, true}, {1, true}, {cover_retry_after_ms - 1, true}, {cover_retry_after_ms, false}};
    for (const auto &check : cases) {
        EXPECT_EQ(cover_failed_lately(&failures, band, start + check.later), check.lately) << check.later;
    }
    EXPECT_FALSE(cover_failed_lately(&failures, {"The Band", "", ""}, start)) << "another album";
    cover_failure_note(&failures, band, start + cover_retry_after_ms);
    EXPECT_TRUE(cover_failed_lately(&failures, band, start + cover_retry_after_ms + 1)) << "failed again";
}

TEST(cover_failures, stay_within_their_capacity_dropping_expired_ones_first)
{
    cover_failures failures;
    failures.capacity = 3;
    cover_failure_note(&failures, {"old", "", ""}, 0);
    cover_failure_note(&failures, {"b", "", ""}, cover_retry_after_ms);
    cover_failure_note(&failures, {"c", "", ""}, cover_retry_after_ms);
    cover_failure_note(&failures, {"d", "", ""}, cover_retry_after_ms);
    EXPECT_EQ(failures.failed_at.size(), 3u);
    EXPECT_FALSE(failures.failed_at.contains({"old", "", ""})) << "the expired one went first";
    cover_failure_note(&failures, {"e", "", ""}, cover_retry_after_ms);
    EXPECT_EQ(failures.failed_at.size(), 3u);
    EXPECT_TRUE(cover_failed_lately(&failures, {"e", "", ""}, cover_retry_after_ms));
}

} // namespace
