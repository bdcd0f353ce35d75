// Internet radio on the card: which entries are streams, the song a stream's
// keys announce, the clock that counts from the song's start, and the card
// made from them. A stream's URL (which may carry a password or a listen key)
// and the host's status texts never reach the card: only the stream keys do,
// and a key that repeats a secret part of the URL is left out. No Windows API here.
#pragma once

#include "common/utf8.h"
#include "config/settings.h"
#include "discord/activity.h"
#include "presence/card.h"

#include <cstdint>
#include <optional>
#include <string>

// Whether the playing entry's file is a URL ("scheme://…"): a stream.
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

// The song the keys of the stream at `location` announce: SHOUTcast v2's own
// title and artist when it gives a title, else the split stream title.
stream_song stream_song_of(const stream_keys &keys, utf16_view location);

// The station's name, unless it repeats a secret part of `location`.
utf16_string stream_station_of(const stream_keys &keys, utf16_view location);

// Whether `text` repeats a part of `location` that may be secret: its user
// and password, its query (listen keys) or its address past the scheme.
bool reveals_location(utf16_view text, utf16_view location);

// The clock of a stream's song: it counts from the moment the song was first
// seen playing; a pause stops it, so that a resume shows the time already played.
struct stream_clock {
    utf16_string location;
    stream_song song;
    int64_t start = 0;     // seconds since 1970; 0: no song seen yet
    int64_t paused_at = 0; // when a pause was first seen; 0 while playing
};

// The clock's start for a reading at `now` (seconds since 1970) of `song` on
// the stream at `location`, playing or paused; 0 while paused.
int64_t stream_clock_read(stream_clock *clock, utf16_view location, const stream_song &song, bool playing,
                          int64_t now);

// What the card of a stream is made of.
struct stream_facts {
    int playback_state = 1; // 1 playing, 3 paused
    stream_song song;
    utf16_string station;
    int64_t clock_start = 0;  // the song's clock, seconds since 1970; 0 for none
    std::string image;        // the song's cover, cover_fallback_image, or empty when no image is wanted
    std::string album_page;   // with a cover: its album's page
    std::string artist_page;  // the song's artist at the catalogue
    std::string title_page;   // the song at the catalogue
    std::string station_art;  // "uvox/albumart" as the host gave it (UTF-8)
    std::string station_page; // "streamurl" as the host gave it (UTF-8)
    formatted_templates formatted;
};

// The card of a stream, or nothing when a paused one is to be hidden: the
// title line is the song's title and play state, the artist line the artist
// and the station in the album's place (the same settings, the same cuts).
// The image is the song's cover, else a usable "uvox/albumart", else the logo,
// which links to the station's https home page. No end: a stream has no length.
// The header shows the station when the field it chooses is empty; the
// station's button opens its https home page.
std::optional<discord_activity> compose_stream_card(const stream_facts &stream, const cfg_settings &settings);
