// Text composition of the track activity: the room each piece gets, the cut
// of a piece that does not fit, and the padding of one-character lines.
#include "presence/compose.h"

#include <algorithm>
#include <cstdint>

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

bool is_continuation_byte(char byte)
{
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

// The code point of well-formed UTF-8 that starts at `start`.
char32_t code_point_at(std::string_view text, size_t start)
{
    const auto lead = static_cast<unsigned char>(text[start]);
    const size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    char32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t k = 1; k < length && start + k < text.size(); ++k) {
        code = (code << 6) | (static_cast<unsigned char>(text[start + k]) & 0x3F);
    }
    return code;
}

// The start of the code point before the one that starts at `boundary`.
size_t previous_boundary(std::string_view text, size_t boundary)
{
    size_t start = boundary - 1;
    while (start > 0 && is_continuation_byte(text[start])) {
        --start;
    }
    return start;
}

// Code points that belong to the character before them: combining marks,
// variation selectors, the zero width joiner and the emoji skin tones.
bool extends_previous(char32_t code)
{
    return (code >= 0x0300 && code <= 0x036F) || (code >= 0x1AB0 && code <= 0x1AFF) ||
           (code >= 0x1DC0 && code <= 0x1DFF) || (code >= 0x20D0 && code <= 0x20FF) ||
           (code >= 0xFE20 && code <= 0xFE2F) || (code >= 0xFE00 && code <= 0xFE0F) ||
           (code >= 0xE0100 && code <= 0xE01EF) || code == 0x200D || (code >= 0x1F3FB && code <= 0x1F3FF);
}

constexpr char32_t zero_width_joiner = 0x200D;

// Whether a cut at `boundary` (a code point boundary inside `text`) would
// part a character from its marks, or leave a joiner without what it joins.
bool splits_character(std::string_view text, size_t boundary)
{
    return extends_previous(code_point_at(text, boundary)) ||
           code_point_at(text, previous_boundary(text, boundary)) == zero_width_joiner;
}

// Characters (code points) of a field's UTF-8 text, counted up to two.
int characters_up_to_two(std::string_view field)
{
    int characters = 0;
    for (size_t i = 0; i < field.size() && characters < 2; ++i) {
        characters += !is_continuation_byte(field[i]);
    }
    return characters;
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
    size_t cut = limit - ellipsis.size();
    while (cut > 0 && is_continuation_byte(text[cut])) {
        --cut;
    }
    // Back up to the start of the character the cut falls in; a text that
    // is one character with marks beyond the room is cut between its marks.
    size_t whole = cut;
    while (whole > 0 && splits_character(text, whole)) {
        whole = previous_boundary(text, whole);
    }
    if (whole > 0) {
        cut = whole;
    }
    std::string fitted(text.substr(0, cut));
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

std::string compose_state(const cfg_settings &settings, utf16_view title, int playback_state)
{
    const std::string_view play_state = playback_state == 1 ? "(Playing)" : "(Stopped)";
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
