// What the lookups found while the host runs, by key: for a track, the
// catalogue's match (its cover and links) or its definite "no such track";
// for an album, the cover found with its page, or the services' definite "no
// cover". Bounded; the least recently used entry goes first. No Windows API here.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <list>
#include <map>
#include <string>
#include <utility>

// An artist, album and title exactly as a lookup sends them (UTF-8): a
// track's key; with an empty title, its album's.
struct cover_key {
    std::string artist;
    std::string album;
    std::string title;
    friend auto operator<=>(const cover_key &, const cover_key &) = default;
};

// The key of the album of `track`.
inline cover_key cover_album_key(const cover_key &track)
{
    return {track.artist, track.album, {}};
}

// What a lookup found for a track or an album: the cover with the album's
// page (both empty when none is known), and the catalogue's links of the
// track matched (for an album the artist's only), kept whether a cover was
// found or not.
struct cover_art {
    std::string url;         // the cover image
    std::string page;        // the album's page at the catalogue or at MusicBrainz; empty when none is known
    std::string artist_page; // the matched track's artist at the catalogue; empty when none
    std::string track_page;  // the matched track at the catalogue; empty when none
    std::string track_title; // the matched track's title (UTF-8), with track_page
};

// The image an activity shows when no cover is known: an asset of the
// Discord application.
inline constexpr char cover_fallback_image[] = "winamp-logo";

// Entries kept, tracks and albums: far more than a listening session
// touches, and at a few hundred bytes each still well under a megabyte.
inline constexpr size_t cover_cache_capacity = 512;

struct cover_cache {
    size_t capacity = cover_cache_capacity;
    // Key and what was found, the most recently used first.
    std::list<std::pair<cover_key, cover_art>> entries;
    std::map<cover_key, std::list<std::pair<cover_key, cover_art>>::iterator> index;
};

// What is remembered for `key` (an empty URL for "no cover"), or NULL when
// nothing is known. Makes the entry the most recently used. The record stays
// valid until the next cover_cache_store.
const cover_art *cover_cache_find(cover_cache *cache, const cover_key &key);

// Remembers `art` for `key`, replacing what was known, and drops the least
// recently used entries beyond the capacity.
void cover_cache_store(cover_cache *cache, const cover_key &key, cover_art art);

// Lookups that failed lately (no network, an error, a service over its rate):
// such a track or album is not asked again until a minute has passed. Bounded like
// the cache; times in milliseconds of any steady clock.
inline constexpr uint64_t cover_retry_after_ms = 60000;

struct cover_failures {
    size_t capacity = cover_cache_capacity;
    std::map<cover_key, uint64_t> failed_at;
};

// Notes that the lookup of `key` failed at `now`.
void cover_failure_note(cover_failures *failures, const cover_key &key, uint64_t now);

// Whether the lookup of `key` failed less than cover_retry_after_ms before `now`.
bool cover_failed_lately(const cover_failures *failures, const cover_key &key, uint64_t now);
