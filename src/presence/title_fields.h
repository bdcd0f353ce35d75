// The fields the plug-in answers itself when the host formats the listener's
// templates (the title and artist lines, a button's label and address) in
// its title syntax, and the templates that give the built-in lines. No
// Windows API here.
//
// Fields of the plug-in's own (names ignore ASCII case):
//   %playstate%  "(Playing)" while a track plays, "(Stopped)" otherwise
//   %title%      a file: its title tag, else its file's name (without tag
//                information: the host's display title); a stream: the
//                song's title
//   %artist%     a file: its artist tag, else its album artist; a stream:
//                the song's artist
//   %album%      a file: its album tag; a stream: the station (in the
//                album's place, as the card shows it)
//   %station%    a stream: the station's name; a file: nothing
// The six display boxes govern them: "Display song information" off, or the
// box of the field off (title; artist; album name for %album% and %station%),
// and the field is empty. An empty field is empty for the host too: `[ … ]`
// around it shows nothing.
// For a file every other tag is the host's (%genre%, %tracknumber%,
// %filename%, …); in an address the plug-in reads them from the host itself,
// so that they too are percent-encoded. For a stream every other tag is empty: the host's tags of
// its address, %filename% and %folder% never reach a template.
#pragma once

#include "common/utf8.h"
#include "config/settings.h"

#include <string_view>

// Templates that give the built-in lines for ordinary tags: the dialog shows
// them for the listener to start from.
inline constexpr std::string_view default_title_line_template = "[%title% ]%playstate%";
inline constexpr std::string_view default_artist_line_template =
    "$if(%artist%,%artist%[ - %album%],[%album%])";

// What the fields of the playing entry hold, before the settings govern them.
struct title_fields {
    bool stream = false;
    int playback_state = 1; // 1 playing, 3 paused
    utf16_string title;
    utf16_string artist;
    utf16_string album;
    utf16_string station;

    bool operator==(const title_fields &) const = default;
};

// How the plug-in answers a tag the host asks for.
enum class title_field_kind {
    text,     // the field's text (not empty)
    empty,    // the field is empty: the host looks no further
    not_mine, // the host answers it itself (a file's other tags)
};

struct title_field_answer {
    title_field_kind kind = title_field_kind::not_mine;
    utf16_string text;

    bool operator==(const title_field_answer &) const = default;
};

// Whether the host's field name `tag` is `name` (lower-case ASCII), ignoring
// case as the host's formatter does.
bool same_field_name(utf16_view tag, std::string_view name);

// `text` with every byte of its UTF-8 form outside A-Z a-z 0-9 - . _ ~
// percent-encoded: a field of an address.
utf16_string percent_encoded_field(utf16_view text);

// The answer to the host's question for `tag` under `settings`. With
// `percent_encoded` (an address template), a text comes with every byte of
// its UTF-8 form outside A-Z a-z 0-9 - . _ ~ percent-encoded.
title_field_answer answer_title_field(const title_fields &fields, const cfg_settings &settings,
                                      utf16_view tag, bool percent_encoded);
