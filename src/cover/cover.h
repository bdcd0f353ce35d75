// Album covers for the track activity as the host's main thread sees them:
// the cover already known for an artist and album, else "winamp-logo" at once
// while the worker looks it up; a cover found later is announced so that the
// activity can be published again. Main thread only.
#pragma once

#include "cover/cover_cache.h"

#include <windows.h>

// Told, on the main thread, that a lookup has found the cover of `found`.
using cover_found_callback = void (*)(const cover_key &found);

// At start-up: starts the lookup worker (see cover_worker_start).
void cover_start(HINSTANCE dll, cover_found_callback found);

// At shut-down: stops the worker (see cover_worker_stop) and forgets the covers.
void cover_stop();

// The artist and album as a lookup sends them (UTF-8).
cover_key cover_key_of(const wchar_t *artist, const wchar_t *album);

// Writes into `large_image` (a 128-byte activity field) the cover known for the
// artist and album, or "winamp-logo" when there is none or none is known yet;
// in that last case, asks the worker to look it up. An empty artist is never
// looked up. Never throws.
void cover_image_for(const wchar_t *artist, const wchar_t *album, char *large_image);
