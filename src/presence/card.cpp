// The track card's rules: the text lines from the composition and their
// links, the clock and its time bar, the cover with its album and link, and
// what the member list shows.
#include "presence/card.h"

#include "common/address_limits.h"

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

// The artist and the title as the settings show them; empty when they do not.
std::string shown_artist(const track_facts &track, const cfg_settings &settings)
{
    const bool shown = track.extended && settings.display_song_info && settings.display_artist_name;
    return shown ? utf16_to_utf8(track.artist) : std::string();
}

std::string shown_title(const track_facts &track, const cfg_settings &settings)
{
    return settings.display_song_info && settings.display_title ? utf16_to_utf8(track.title) : std::string();
}

// Whether a line shows `piece`: a built-in line whenever the settings show
// the piece, a line of the listener's own when it holds the piece's text.
bool line_shows(const std::string &line, bool own_template, const std::string &piece)
{
    return !piece.empty() && !line.empty() && (!own_template || line.find(piece) != std::string::npos);
}

// Whether a template's result has anything to show: not only spaces.
bool has_text(const std::string &result)
{
    return result.find_first_not_of(' ') != std::string::npos;
}

// The activity's name: the artist or the title as the settings choose and
// show them; for a stream whose chosen field is empty, its station. Empty
// (the application's name) by default.
std::string header(const track_facts &track, const cfg_settings &settings)
{
    std::string text;
    if (settings.header_shows == cfg_header_shows_artist) {
        text = shown_artist(track, settings);
    } else if (settings.header_shows == cfg_header_shows_title) {
        text = shown_title(track, settings);
    } else {
        return {};
    }
    if (text.empty() && track.stream && settings.display_song_info && settings.display_album_name) {
        text = utf16_to_utf8(track.station);
    }
    text = fit_text(text, field_text_limit);
    pad_single_character(text);
    return text;
}

// The button a setting chooses, when it has a label and a usable address.
std::optional<activity_button> button(const track_facts &track, int32_t choice, size_t index)
{
    activity_button chosen;
    switch (choice) {
    case cfg_button_track_page:
        chosen = {std::string(track_page_label), track.title_page};
        break;
    case cfg_button_album_page:
        chosen = {std::string(album_page_label), track.album_page};
        break;
    case cfg_button_artist_page:
        chosen = {std::string(artist_page_label), track.artist_page};
        break;
    case cfg_button_station_page:
        chosen = {std::string(station_page_label), track.stream ? track.station_page : std::string()};
        break;
    case cfg_button_own:
        chosen = {has_text(track.formatted.button_labels[index]) ? track.formatted.button_labels[index] : "",
                  track.formatted.button_addresses[index]};
        break;
    default:
        return std::nullopt;
    }
    chosen.label = fit_characters(chosen.label, button_label_max_characters);
    if (chosen.label.empty() || !is_within_address_limits(chosen.url, activity_button_url_max_bytes)) {
        return std::nullopt;
    }
    return chosen;
}

std::vector<activity_button> buttons(const track_facts &track, const cfg_settings &settings)
{
    std::vector<activity_button> shown;
    const int32_t choices[] = {settings.button_1, settings.button_2};
    for (size_t index = 0; index < std::size(choices); ++index) {
        if (std::optional<activity_button> chosen = button(track, choices[index], index)) {
            shown.push_back(std::move(*chosen));
        }
    }
    return shown;
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

    const bool own_artist_line = has_text(track.formatted.artist_line);
    const bool own_title_line = has_text(track.formatted.title_line);
    if (own_artist_line) {
        card.details = fit_text(track.formatted.artist_line, field_text_limit);
    } else if (track.extended) {
        card.details = compose_details(settings, track.artist, track.album);
    }
    card.state = own_title_line ? fit_text(track.formatted.title_line, field_text_limit)
                                : compose_state(settings, track.title, track.playback_state);
    pad_single_character(card.details);
    pad_single_character(card.state);
    if (line_shows(card.details, own_artist_line, shown_artist(track, settings))) {
        card.details_url = track.artist_page;
    }
    if (line_shows(card.state, own_title_line, shown_title(track, settings))) {
        card.state_url = track.title_page;
    }
    card.name = header(track, settings);
    card.buttons = buttons(track, settings);

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
