// Internet radio's entries and what their stream keys say: which entries are
// streams, and the song and station the keys announce, without a text that
// gives the stream's address or its secrets away (common/stream_secrets.h).
// No Windows API here.
#pragma once

#include "common/utf8.h"

#include <string>
#include <vector>

// Whether the playing entry `file` is a stream: its scheme is one the host
// streams (http, https, and its decoders' stream schemes such as icy://,
// uvox://, mms://). Every other entry (a file, a CD track "cda://D,1", a
// "file:///" entry) is read like a file, through its tags.
bool is_stream_location(utf16_view file);

// What the host answers for the playing URL's stream keys; empty when unanswered.
struct stream_keys {
    utf16_view stream_title; // "streamtitle": "Artist - Title"
    utf16_view uvox_title;   // SHOUTcast v2: "uvox/title" and "uvox/artist"
    utf16_view uvox_artist;
    utf16_view station;   // "streamname"
    utf16_view home_page; // "streamurl"
    utf16_view album_art; // SHOUTcast v2: "uvox/albumart"
};

// The song on air: both empty before the first one is known.
struct stream_song {
    utf16_string artist;
    utf16_string title;
    bool operator==(const stream_song &) const = default;
};

// A stream title split at its first " - " into artist and title; without the
// separator the whole text is the title.
stream_song split_stream_title(utf16_view text);

// The song the keys announce: SHOUTcast v2's own title and artist when it
// gives a title, else the split stream title; a part that is no publishable
// text under the stream's `secrets` is left empty.
stream_song stream_song_of(const stream_keys &keys, const std::vector<std::string> &secrets);

// The station's name, or empty when it is no publishable text under `secrets`.
utf16_string stream_station_of(const stream_keys &keys, const std::vector<std::string> &secrets);

// `text` when it is a publishable text under `secrets`, else empty.
utf16_string publishable_or_empty(utf16_view text, const std::vector<std::string> &secrets);
