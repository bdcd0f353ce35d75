// Album covers for the track activity as the host's main thread sees them:
// the cover already known for an artist and album, with the album's page,
// else "winamp-logo" at once while the worker looks it up; a cover found later
// is announced so that the activity can be published again. Main thread only.
#pragma once

#include "cover/cover_cache.h"

#include <windows.h>

#include <string>

// Told, on the main thread, that a lookup has found the cover of `found`, or
// links for its lines.
using cover_found_callback = void (*)(const cover_key &found);

// At start-up: starts the lookup worker (see cover_worker_start).
void cover_start(HINSTANCE dll, cover_found_callback found);

// At shut-down: stops the worker (see cover_worker_stop) and forgets the covers
// and the failures.
void cover_stop();

// The artist and album as a lookup sends them (UTF-8).
cover_key cover_key_of(const wchar_t *artist, const wchar_t *album);

// The track activity's image and the links known with it.
struct cover_image {
    // The cover known for the artist and album (at most cover_url_max_bytes),
    // or "winamp-logo" when there is none or none is known yet.
    std::string large_image;
    // The album's page at the catalogue or at MusicBrainz, known with its
    // cover (at most cover_page_max_bytes); empty, for no link, when none is known.
    std::string large_url;
    // The catalogue's page of the matched track's artist; empty when none is known.
    std::string artist_url;
    // The catalogue's page of the matched track when its title is the played
    // title ignoring case (cover_same_title); else empty.
    std::string title_url;
};

// The image and links known for the artist and album of a track titled
// `title`; when nothing is known yet, asks the worker to look it up, unless
// its lookup failed less than a minute ago. An empty artist is never looked up.
cover_image cover_image_for(const wchar_t *artist, const wchar_t *album, const wchar_t *title) noexcept;
