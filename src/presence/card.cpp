// The track card's rules: the text lines from the composition and their
// links, the clock and its time bar, the cover with its album and link, and
// what the member list shows.
#include "presence/card.h"

namespace {

// Seconds by which two readings of the same playback may differ.
constexpr int64_t clock_rounding_seconds = 2;

// What the member list shows, or the application's name when that line is empty.
int member_list_choice(const cfg_settings &settings, const discord_activity &card)
{
    switch (settings.status_display_type) {
    case cfg_status_shows_state:
        return card.state.empty() ? cfg_status_shows_name : cfg_status_shows_state;
    case cfg_status_shows_details:
        return card.details.empty() ? cfg_status_shows_name : cfg_status_shows_details;
    default:
        return cfg_status_shows_name;
    }
}

// The album's name for the cover's hover text, as the settings show it, cut
// like the lines when it is too long.
std::string cover_text(const track_facts &track, const cfg_settings &settings)
{
    if (!settings.display_song_info || !settings.display_album_name) {
        return {};
    }
    std::string text = fit_text(utf16_to_utf8(track.album), field_text_limit);
    pad_single_character(text);
    return text;
}

// Whether the card's lines show the artist, and the title.
bool shows_artist(const track_facts &track, const cfg_settings &settings, const discord_activity &card)
{
    return track.extended && settings.display_song_info && settings.display_artist_name &&
           !track.artist.empty() && !card.details.empty();
}

bool shows_title(const track_facts &track, const cfg_settings &settings, const discord_activity &card)
{
    return settings.display_song_info && settings.display_title && !track.title.empty() &&
           !card.state.empty();
}

} // namespace

std::optional<discord_activity> compose_track_card(const track_facts &track, const cfg_settings &settings)
{
    const bool playing = track.playback_state == 1;
    if (!playing && settings.hide_while_paused) {
        return std::nullopt;
    }
    discord_activity card;
    card.type = activity_type_listening;

    if (track.extended) {
        card.details = compose_details(settings, track.artist, track.album);
    }
    card.state = compose_state(settings, track.title, track.playback_state);
    pad_single_character(card.details);
    pad_single_character(card.state);
    if (shows_artist(track, settings, card)) {
        card.details_url = track.artist_page;
    }
    if (shows_title(track, settings, card)) {
        card.state_url = track.title_page;
    }

    if (playing && track.clock_start > 0) {
        card.start = track.clock_start;
        if (track.length_seconds > 0) {
            card.end = track.clock_start + track.length_seconds;
        }
    }

    card.large_image = track.image;
    const bool cover_shown = !track.image.empty() && track.image != cover_fallback_image;
    if (cover_shown) {
        card.large_text = cover_text(track, settings);
        card.large_url = track.album_page;
    } else if (!track.image.empty() && !track.logo_page.empty()) {
        card.large_text = cover_text(track, settings);
        card.large_url = track.logo_page;
    }
    card.status_display_type = member_list_choice(settings, card);
    return card;
}

utf16_string file_name_part(utf16_view file)
{
    const size_t folder_end = file.find_last_of(UTF16("\\/"));
    const utf16_view name = folder_end == utf16_view::npos ? file : file.substr(folder_end + 1);
    const size_t extension = name.rfind(UTF16('.'));
    return utf16_string(extension == utf16_view::npos || extension == 0 ? name : name.substr(0, extension));
}

int64_t steady_clock_start(int64_t previous, int64_t fresh)
{
    if (previous > 0 && fresh > 0) {
        const int64_t moved = fresh > previous ? fresh - previous : previous - fresh;
        if (moved <= clock_rounding_seconds) {
            return previous;
        }
    }
    return fresh;
}
