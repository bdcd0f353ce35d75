// The track activity's text lines, composed from the host's tags under the
// display settings: UTF-8 within the 126 bytes of text an activity field
// holds. A text too long for its room is cut where a reader sees a character
// end, between extended grapheme clusters (common/grapheme.h): never inside a
// letter with its marks, a Hangul syllable, a flag or an emoji sequence. It
// then ends with "…". No Windows API here.
#pragma once

#include "common/utf8.h"
#include "config/settings.h"

#include <cstddef>
#include <string>
#include <string_view>

// Bytes of text an activity field holds (its terminator makes 127, within
// the 128 bytes Discord's own library gives a field).
constexpr size_t field_text_limit = 126;

// `text` (well-formed UTF-8) whole when it has at most `limit` bytes;
// otherwise its longest run of whole clusters that fits with "…" after it (the
// "…" alone when the first cluster does not fit). Empty when not even the
// "…" fits.
std::string fit_text(std::string_view text, size_t limit);

// details: artist, " - ", album, as far as the settings show them. When both
// do not fit together, each gets at least half the room (the other's unused
// room besides) and a longer one is cut: the album always follows the artist.
std::string compose_details(const cfg_settings &settings, utf16_view artist, utf16_view album);

// "(Playing)" for a playing track (1), "(Stopped)" for a paused one.
std::string_view play_state_text(int playback_state);

// state: title and " " as the settings show them, then "(Playing)" for a
// playing track (1) or "(Stopped)" for a paused one. The play state always
// has its room; the title is cut to what remains.
std::string compose_state(const cfg_settings &settings, utf16_view title, int playback_state);

// `text` (well-formed UTF-8) whole when it has at most `limit` UTF-16 units
// (what Discord may count as characters; never fewer than code points);
// otherwise its longest run of whole clusters that fits with "…" after it.
std::string fit_characters(std::string_view text, size_t limit);

// Discord refuses a line shorter than two characters and then shows nothing:
// a line of one character gets an invisible second one.
void pad_single_character(std::string &field);
