// The track card: the activity Discord shows for a playing or paused track,
// made from what the host says of the entry under the display settings, the
// way Discord shows music ("Listening to", a time bar, the album on the
// cover). No Windows API here.
#pragma once

#include "config/settings.h"
#include "cover/cover_cache.h"
#include "discord/activity.h"
#include "presence/compose.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

// What the host formatted from the listener's templates (UTF-8, line breaks
// already spaces); an empty text stands for the built-in line, or for no
// button of the listener's own.
struct formatted_templates {
    std::string title_line;
    std::string artist_line;
    std::array<std::string, 2> button_labels;
    std::array<std::string, 2> button_addresses;
};

// Labels of the buttons that open a page the plug-in knows.
inline constexpr std::string_view track_page_label = "Track page";
inline constexpr std::string_view album_page_label = "Album page";
inline constexpr std::string_view artist_page_label = "Artist page";
inline constexpr std::string_view station_page_label = "Station's home page";

// Discord takes a button's label of 1 to 32 characters (its address: activity.h).
inline constexpr size_t button_label_max_characters = 32;

// What the host says of the playing entry, and what is known of its cover.
struct track_facts {
    int playback_state = 1; // 1 playing, 3 paused
    bool extended = false;  // the host has extended information: artist and album were asked for
    utf16_view title;
    utf16_view artist;
    utf16_view album;
    int64_t clock_start = 0;    // start of the elapsed-time clock, seconds since 1970; 0 for none
    int64_t length_seconds = 0; // the track's length; 0 or less when unknown (a stream)
    std::string image;          // a cover URL or cover_fallback_image; empty when no image is wanted
    std::string album_page;     // with a cover: its album's page at the catalogue, or empty
    std::string artist_page;    // the artist's page at the catalogue, or empty
    std::string title_page;     // the track's page at the catalogue, or empty
    std::string logo_page;      // with the logo: the page it links to (a station's home page), or empty
    bool stream = false;        // a stream: the header shows `station` when its field is empty
    utf16_view station;
    std::string station_page; // a stream's home page as the host gave it (UTF-8), or empty
    formatted_templates formatted;
};

// The card for the track, or nothing when a paused track is to be hidden. The
// line that shows the artist links to the artist's page, the line that shows
// the title to the track's page; a line without them has no link. A line of
// the listener's own template replaces the built-in one unless it is blank.
// The header (the activity's name) is the artist or the title as the
// settings choose and show them; a button is left out when it has no https
// address of at most activity_button_url_max_bytes or no label.
std::optional<discord_activity> compose_track_card(const track_facts &track, const cfg_settings &settings);

// The name part of a file's path (no folder, no extension): the title of a
// file whose title tag is empty.
utf16_string file_name_part(utf16_view file);

// The elapsed-time clock's start for a track whose clock started at
// `previous` (0: none yet) and now reads `fresh`: the position and the clock
// are read a few milliseconds apart, so the same playback can round to
// neighbouring seconds. Only a larger move (a seek, a resume after a pause)
// moves the clock.
int64_t steady_clock_start(int64_t previous, int64_t fresh);
