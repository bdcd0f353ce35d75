// What the host says of its playback, asked through its main window: the
// playback state, the playing entry's tags, and the readings of the
// elapsed-time clock. Called on the host's main thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// The host's playback state: 1 playing, 3 paused, 0 stopped; anything else
// is an answer the host does not give.
int host_playback_state();

// Tag buffers hold 256 characters of the host's text plus a terminator the host never touches.
constexpr size_t host_tag_capacity = 256;
using host_tag_buffer = wchar_t[host_tag_capacity + 1];

// The playing entry's file (or URL) as the host names it; empty when there is none.
std::wstring host_playing_file();

// The playing entry's tags as the host gives them.
struct host_track_tags {
    std::wstring file;
    bool extended; // the host has extended information: artist and album were asked for
    host_tag_buffer title;
    host_tag_buffer artist;
    host_tag_buffer album;
};

// Reads the tags of the playing `file` into `tags` (zeroed by the caller).
// Without extended information the title is the host's display title; with
// it, a title tag the file lacks stays empty. Never for a stream: its display
// title holds the URL and the host's status texts.
void host_read_tags(const std::wstring &file, host_track_tags *tags);

// The tag `name` of `file` as the host's input plug-ins answer it; empty when unanswered.
std::wstring host_read_tag(const std::wstring &file, const wchar_t *name);

// The stream keys the host answers for the playing URL; empty when unanswered.
struct host_stream_keys {
    host_tag_buffer stream_title; // "streamtitle"
    host_tag_buffer uvox_title;   // "uvox/title"
    host_tag_buffer uvox_artist;  // "uvox/artist"
    host_tag_buffer station;      // "streamname"
    host_tag_buffer home_page;    // "streamurl"
    host_tag_buffer album_art;    // "uvox/albumart"
};

// Reads the stream keys of the playing `location` into `keys` (zeroed by the caller).
void host_read_stream_keys(const std::wstring &location, host_stream_keys *keys);

// A reading of the elapsed-time clock: its start in seconds since 1970, now
// minus the host's playback position, so that a resume or a start in
// mid-track shows the time already played; now itself when the host knows
// no position.
struct host_clock_reading {
    int64_t start;
    bool position_known;
};
host_clock_reading host_read_clock();

// Now, in seconds since 1970.
int64_t host_clock_now();

// The playing track's length in seconds; 0 when unknown (a stream).
int64_t host_track_length_seconds();
