// The preview's card: the playing entry's under the edited settings, else a
// sample track's, composed and formatted as a playing track's would be.
#include "presence/preview.h"

#include "discord/publish_gate.h"
#include "host/playback.h"
#include "presence/card.h"
#include "presence/presence.h"
#include "presence/templates.h"

namespace {

// The sample track shown while nothing plays: the host formats its templates
// as a file's (what it does not know of the file reads as empty).
constexpr wchar_t sample_file[] = L"C:\\Music\\The Band - Blue.mp3";
constexpr wchar_t sample_title[] = L"Blue";
constexpr wchar_t sample_artist[] = L"The Band";
constexpr wchar_t sample_album[] = L"First Album";
constexpr int64_t sample_length_seconds = 245;
constexpr int64_t sample_elapsed_seconds = 42;

std::optional<discord_activity> sample_card(const cfg_settings &settings)
{
    track_facts track;
    track.extended = true;
    track.title = sample_title;
    track.artist = sample_artist;
    track.album = sample_album;
    if (settings.show_elapsed_time) {
        track.clock_start = host_clock_now() - sample_elapsed_seconds;
        track.length_seconds = sample_length_seconds;
    }
    if (settings.display_song_info && settings.display_album_art) {
        track.image = cover_fallback_image;
    }
    title_fields fields;
    fields.title = sample_title;
    fields.artist = sample_artist;
    fields.album = sample_album;
    track.formatted = format_templates(sample_file, fields, settings);
    return compose_track_card(track, settings);
}

} // namespace

std::optional<discord_activity> presence_preview(const cfg_settings &settings)
{
    if (!settings.share_on_discord) {
        return std::nullopt;
    }
    const int state = host_playback_state();
    std::optional<discord_activity> card =
        state == 1 || state == 3 ? presence_card_under(settings) : sample_card(settings);
    // As Discord will have it: past the gate every published activity passes.
    if (card) {
        card = publishable_activity(*card);
    }
    return card;
}
