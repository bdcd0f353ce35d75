// Text composition of the track activity: the room each piece gets, the cut
// of a piece that does not fit (at a grapheme cluster boundary), and the
// padding of one-character lines.
#include "presence/compose.h"

#include "common/grapheme.h"

#include <algorithm>

namespace {

// U+2026 HORIZONTAL ELLIPSIS ends a text that was cut.
constexpr std::string_view ellipsis = "\u2026";

constexpr std::string_view artist_album_separator = " - ";

// Discord refuses a details or state line shorter than two characters, and
// then shows nothing at all. U+200B ZERO WIDTH SPACE lengthens such a line
// without changing what a reader sees: it has no width, and being a format
// character rather than white space, trimming leaves it in place. (U+3164
// HANGUL FILLER survives trimming too, but many fonts draw it as a wide blank.)
constexpr std::string_view invisible_padding = "\u200B";

// Characters (code points) of a field's UTF-8 text, counted up to two.
int characters_up_to_two(std::string_view field)
{
    int characters = 0;
    for (; !field.empty() && characters < 2; ++characters) {
        field.remove_prefix(utf8_decode_first(field).length);
    }
    return characters;
}

// UTF-16 units of a code point.
size_t utf16_units(char32_t code)
{
    return code > 0xFFFF ? 2 : 1;
}

bool shows_song_info(const cfg_settings &settings, int setting, utf16_view text)
{
    return settings.display_song_info && setting && !text.empty();
}

} // namespace

std::string fit_text(std::string_view text, size_t limit)
{
    if (text.size() <= limit) {
        return std::string(text);
    }
    if (limit < ellipsis.size()) {
        return {};
    }
    const size_t cut = grapheme_prefix_within(text, limit - ellipsis.size());
    std::string fitted(text.substr(0, cut));
    fitted += ellipsis;
    return fitted;
}

std::string fit_characters(std::string_view text, size_t limit)
{
    size_t units = 0;
    size_t within = 0; // bytes of the whole clusters that leave room for the "…"
    for (size_t start = 0; start < text.size();) {
        const size_t end = grapheme_cluster_end(text, start);
        for (size_t at = start; at < end;) {
            const utf8_code_point point = utf8_decode_first(text.substr(at));
            units += utf16_units(point.code);
            at += point.length;
        }
        if (units + 1 <= limit) {
            within = end;
        }
        start = end;
    }
    if (units <= limit) {
        return std::string(text);
    }
    if (limit == 0) {
        return {};
    }
    std::string fitted(text.substr(0, within));
    fitted += ellipsis;
    return fitted;
}

std::string compose_details(const cfg_settings &settings, utf16_view artist, utf16_view album)
{
    const bool show_artist = shows_song_info(settings, settings.display_artist_name, artist);
    const bool show_album = shows_song_info(settings, settings.display_album_name, album);
    if (!show_artist) {
        return show_album ? fit_text(utf16_to_utf8(album), field_text_limit) : std::string();
    }
    const std::string artist_text = utf16_to_utf8(artist);
    if (!show_album) {
        return fit_text(artist_text, field_text_limit);
    }
    const std::string album_text = utf16_to_utf8(album);
    const size_t room = field_text_limit - artist_album_separator.size();
    // The artist gets half the room, or more when the album needs less.
    const size_t artist_room = std::max(room / 2, room - std::min(room, album_text.size()));
    std::string details = fit_text(artist_text, artist_room);
    const size_t album_room = room - details.size();
    details += artist_album_separator;
    details += fit_text(album_text, album_room);
    return details;
}

std::string_view play_state_text(int playback_state)
{
    return playback_state == 1 ? "(Playing)" : "(Stopped)";
}

std::string compose_state(const cfg_settings &settings, utf16_view title, int playback_state)
{
    const std::string_view play_state = play_state_text(playback_state);
    if (!shows_song_info(settings, settings.display_title, title)) {
        return std::string(play_state);
    }
    std::string state = fit_text(utf16_to_utf8(title), field_text_limit - 1 - play_state.size());
    state += ' ';
    state += play_state;
    return state;
}

void pad_single_character(std::string &field)
{
    if (characters_up_to_two(field) == 1) {
        field += invisible_padding;
    }
}
