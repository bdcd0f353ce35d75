// The card of internet radio: the song on air and the station in the track
// card's places, the song's clock without a time bar, and the best image.
// No Windows API here.
#pragma once

#include "config/settings.h"
#include "discord/activity.h"
#include "presence/card.h"
#include "presence/stream_keys.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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
    std::vector<std::string> secrets; // of the stream's address (stream_secrets)
    formatted_templates formatted;    // the listener's own lines, as the host formatted them
};

// The card of a stream, or nothing when a paused one is to be hidden: the
// title line is the song's title and play state, the artist line the artist
// and the station in the album's place (the same settings, the same cuts).
// The image is the song's cover, else the station's art, else the logo, which
// links to the station's home page; the station's addresses only when
// station_address_is_usable, which the station's button takes too. The header
// shows the station when the field it chooses is empty. The card withholds
// the stream's secrets. No end: a stream has no length.
std::optional<discord_activity> compose_stream_card(const stream_facts &stream, const cfg_settings &settings);
