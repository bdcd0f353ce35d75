// Album covers for the track activity as the host's main thread sees them:
// the cover already known for an artist and album, with the album's page,
// else "winamp-logo" at once while the worker looks it up; a cover found later
// is announced so that the activity can be published again. Main thread only.
#pragma once

#include "cover/cover_cache.h"

#include <windows.h>

#include <string>

// Told, on the main thread, that a lookup for the track of `found` has found
// its cover or links for its lines.
using cover_found_callback = void (*)(const cover_key &found);

// At start-up: starts the lookup worker (see cover_worker_start).
void cover_start(HINSTANCE dll, cover_found_callback found);

// At shut-down: stops the worker (see cover_worker_stop) and forgets the covers
// and the failures.
void cover_stop();

// While held, no lookup starts: a lookup asked for and not yet started is
// forgotten, further ones are not taken, and one in progress asks no service
// more than the one it is waiting for. Released, lookups are taken again.
void cover_hold(bool held);

// The track's artist, album and title as a lookup sends them (UTF-8).
cover_key cover_key_of(const wchar_t *artist, const wchar_t *album, const wchar_t *title);

// The track activity's image and the links known with it.
struct cover_image {
    // The cover known for the album, else for the catalogue's match of the
    // track (at most image_address_max_bytes), or "winamp-logo" when there is
    // none or none is known yet.
    std::string large_image;
    // The album's page at the catalogue or at MusicBrainz, known with its
    // cover (at most page_address_max_bytes); empty, for no link, when none is known.
    std::string large_url;
    // The catalogue's page of the matched track's artist, else of the album's
    // tracks' artist; empty when none is known.
    std::string artist_url;
    // The catalogue's page of the track whose title is the played title
    // ignoring case (same_text_ignoring_case); else empty.
    std::string title_url;
};

// The image and links known for a track: the track's own (the catalogue's
// match for artist, title and album) and its album's. Asks the worker for
// what is not known yet (the track at the catalogue; an album's cover from
// the catalogue, else from MusicBrainz and the Cover Art Archive), unless its
// lookup failed less than a minute ago. An empty artist is never looked up,
// nor a track with neither title nor album; the second source only for an album.
cover_image cover_image_for(const wchar_t *artist, const wchar_t *album, const wchar_t *title) noexcept;

// The image and links already known for a track, as cover_image_for gives
// them, without asking for anything.
cover_image cover_image_known(const wchar_t *artist, const wchar_t *album, const wchar_t *title) noexcept;
