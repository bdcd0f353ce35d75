// What a cover service's answer means for the cache, and the bounds of what
// is kept from it. No Windows API here.
#pragma once

#include "cover/cover_cache.h"

#include <cstddef>

// Longest cover URL sent as the activity's image: Discord takes image URLs of
// up to 313 characters, and the Cover Art Archive's image addresses at
// archive.org run to about 150. Every byte of an accepted URL is ASCII.
inline constexpr size_t cover_url_max_bytes = 313;

// Longest page link: MusicBrainz's release group address with its 36-character
// id; the catalogue's album, artist and track addresses with ids of up to 19
// digits are shorter. Far within the 256 characters Discord takes for a link.
inline constexpr size_t cover_page_max_bytes = 74;

// What a lookup found out.
enum class cover_verdict {
    found,   // `url` is the cover
    none,    // the service answered that it has no usable cover: remembered
    unknown, // no usable answer (error status, not a search result): asked again later
};

struct cover_outcome {
    cover_verdict verdict;
    // The cover and its album's page when found, and with a catalogue match
    // the artist and track links whatever the verdict; else empty.
    cover_art art;
};
