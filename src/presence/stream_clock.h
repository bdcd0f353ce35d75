// The clock of a stream's song: it counts from the moment the song was first
// seen playing; a pause stops it, so that a resume shows the time already
// played. No Windows API here.
#pragma once

#include "common/utf8.h"
#include "presence/stream_keys.h"

#include <cstdint>

struct stream_clock {
    utf16_string location;
    stream_song song;
    int64_t start = 0;     // seconds since 1970; 0: no song seen yet
    int64_t paused_at = 0; // when a pause was first seen; 0 while playing
};

// Moves `clock` on to a reading at `now` (seconds since 1970) of `song` on
// the stream at `location`, playing or paused: a new song or station starts
// it again, a pause stops it, a resume moves its start by the pause. Returns
// the song's start, 0 while paused.
int64_t advance_stream_clock(stream_clock *clock, utf16_view location, const stream_song &song, bool playing,
                             int64_t now);
