// What a cover service's answer means for the cache. The bounds of the
// addresses kept from it are in common/address_limits.h. No Windows API here.
#pragma once

#include "cover/cover_cache.h"

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
