// The plug-in's own fields of a template: which tag is whose, what each one
// holds under the display settings, and the percent-encoding of an address's
// fields.
#include "presence/title_fields.h"

#include "common/address.h"
#include "presence/compose.h"

#include <algorithm>

namespace {

// The field named `tag`, or nothing when the plug-in has no such field.
const utf16_string *own_field(const title_fields &fields, const cfg_settings &settings, utf16_view tag,
                              bool *shown)
{
    const bool song_info = settings.display_song_info != 0;
    if (same_field_name(tag, "title")) {
        *shown = song_info && settings.display_title;
        return &fields.title;
    }
    if (same_field_name(tag, "artist")) {
        *shown = song_info && settings.display_artist_name;
        return &fields.artist;
    }
    if (same_field_name(tag, "album")) {
        *shown = song_info && settings.display_album_name;
        return fields.stream ? &fields.station : &fields.album;
    }
    if (same_field_name(tag, "station")) {
        *shown = song_info && settings.display_album_name && fields.stream;
        return &fields.station;
    }
    return nullptr;
}

} // namespace

bool same_field_name(utf16_view tag, std::string_view name)
{
    const auto lower = [](char32_t c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
    return tag.size() == name.size() &&
           std::equal(tag.begin(), tag.end(), name.begin(), [&](utf16_char a, char b) {
               return lower(static_cast<char32_t>(a)) == static_cast<char32_t>(b);
           });
}

utf16_string percent_encoded_field(utf16_view text)
{
    std::string encoded;
    append_percent_encoded(encoded, utf16_to_utf8(text));
    return utf16_string(encoded.begin(), encoded.end());
}

title_field_answer answer_title_field(const title_fields &fields, const cfg_settings &settings,
                                      utf16_view tag, bool percent_encoded)
{
    utf16_string text;
    if (same_field_name(tag, "playstate")) {
        const std::string_view play_state = play_state_text(fields.playback_state);
        text.assign(play_state.begin(), play_state.end());
    } else {
        bool shown = false;
        const utf16_string *field = own_field(fields, settings, tag, &shown);
        if (field == nullptr) {
            // A stream's address, or a song the settings do not show, has no
            // other fields: none is left to the host.
            const bool withheld = fields.stream || !settings.display_song_info;
            return {withheld ? title_field_kind::empty : title_field_kind::not_mine, {}};
        }
        if (shown) {
            text = *field;
        }
    }
    if (text.empty()) {
        return {title_field_kind::empty, {}};
    }
    return {title_field_kind::text, percent_encoded ? percent_encoded_field(text) : std::move(text)};
}
