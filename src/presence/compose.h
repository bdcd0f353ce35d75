// The track activity's two text lines, composed from the host's tags under
// the display settings: UTF-8 pieces, each whole or not at all, within the
// 126 bytes of text an activity field holds. No Windows API here.
#pragma once

#include "config/settings.h"

#include <string_view>

// UTF-16 text as the host hands it over (wchar_t is 16 bits on Windows), and
// its literals.
#ifdef _WIN32
using utf16_char = wchar_t;
#define UTF16(text) L##text
#else
using utf16_char = char16_t;
#define UTF16(text) u##text
#endif
using utf16_view = std::basic_string_view<utf16_char>;

// Appends the UTF-8 form of `text` to a 128-byte activity field at `offset`,
// whole or not at all: text and terminator must end before the field's last
// byte. Returns the bytes appended, 0 when nothing was (text that does not fit
// or holds an unpaired surrogate). Empty text only writes the terminator.
int utf8_append(utf16_view text, char *field, unsigned offset);

// details: artist, " - ", album, as far as the settings show them and they fit.
void compose_details(char *details, const cfg_settings &settings, utf16_view artist, utf16_view album);

// state: title and " " as the settings show them, then "(Playing)" for a
// playing track (1) or "(Stopped)" for a paused one.
void compose_state(char *state, const cfg_settings &settings, utf16_view title, int playback_state);

// Discord refuses a line shorter than two characters and then shows nothing:
// a line of one character gets an invisible second one.
void pad_single_character(char *field);
