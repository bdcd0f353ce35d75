// Cover cache: what is remembered, under which key, and which entry goes first.
#include "cover/cover_cache.h"

#include <gtest/gtest.h>

namespace {

const cover_key band{"The Band", "First Album"};

// The cover URL and album page remembered for `key`, as "url | page".
std::string known(cover_cache &cache, const cover_key &key)
{
    const cover_art *art = cover_cache_find(&cache, key);
    return art == nullptr ? "(unknown)" : art->url + " | " + art->page;
}

// A cover without a page, named by its URL alone.
cover_art cover(const char *url)
{
    return {url, ""};
}

TEST(cover_cache, remembers_covers_with_their_pages_and_definite_absences)
{
    cover_cache cache;
    EXPECT_EQ(known(cache, band), "(unknown)");
    cover_cache_store(&cache, band, {"https://c/1.jpg", "https://www.deezer.com/album/1"});
    cover_cache_store(&cache, {"Solo", ""}, {});
    cover_cache_store(&cache, {"Duo", ""}, cover("https://c/3.jpg"));
    EXPECT_EQ(known(cache, band), "https://c/1.jpg | https://www.deezer.com/album/1");
    EXPECT_EQ(known(cache, {"Solo", ""}), " | ");
    EXPECT_EQ(known(cache, {"Duo", ""}), "https://c/3.jpg | ");
    cover_cache_store(&cache, band, cover("https://c/2.jpg"));
    EXPECT_EQ(known(cache, band), "https://c/2.jpg | ") << "the page goes with the cover it came with";
    EXPECT_EQ(cache.entries.size(), 3u);
}

TEST(cover_cache, keys_are_the_exact_artist_and_album)
{
    cover_cache cache;
    cover_cache_store(&cache, band, cover("https://c/1.jpg"));
    for (const cover_key &other :
         {cover_key{"The Band", ""}, cover_key{"the band", "First Album"},
          cover_key{"The Band ", "First Album"}, cover_key{"First Album", "The Band"},
          cover_key{"The BandFirst", " Album"}}) {
        EXPECT_EQ(known(cache, other), "(unknown)") << other.artist << "|" << other.album;
    }
}

TEST(cover_cache, drops_the_least_recently_used_beyond_its_capacity)
{
    cover_cache cache;
    cache.capacity = 3;
    for (const char *artist : {"a", "b", "c"}) {
        cover_cache_store(&cache, {artist, ""}, {artist, artist});
    }
    EXPECT_EQ(known(cache, {"a", ""}), "a | a"); // now the most recently used
    cover_cache_store(&cache, {"d", ""}, cover("d"));
    EXPECT_EQ(known(cache, {"b", ""}), "(unknown)");
    cover_cache_store(&cache, {"e", ""}, cover("e"));
    EXPECT_EQ(known(cache, {"c", ""}), "(unknown)");
    EXPECT_EQ(known(cache, {"a", ""}), "a | a");
    EXPECT_EQ(cache.entries.size(), 3u);
    EXPECT_EQ(cache.index.size(), 3u);
}

TEST(cover_cache, holds_its_default_capacity_of_entries)
{
    cover_cache cache;
    for (size_t i = 0; i < cover_cache_capacity + 100; ++i) {
        cover_cache_store(&cache, {"Artist " + std::to_string(i), "Album"}, cover("u"));
    }
    EXPECT_EQ(cache.entries.size(), cover_cache_capacity);
    EXPECT_EQ(known(cache, {"Artist 99", "Album"}), "(unknown)");
    EXPECT_EQ(known(cache, {"Artist 100", "Album"}), "u | ");
}

} // namespace
