// The stream's card, composed as a track card with the station as its album.
#include "presence/stream_card.h"

#include "common/address_limits.h"
#include "common/stream_secrets.h"
#include "cover/cover_cache.h"
#include "presence/card.h"

std::optional<discord_activity> compose_stream_card(const stream_facts &stream, const cfg_settings &settings)
{
    track_facts track;
    track.playback_state = stream.playback_state;
    track.extended = true;
    track.title = stream.song.title;
    track.artist = stream.song.artist;
    track.album = stream.station;
    track.clock_start = stream.clock_start;
    track.image = stream.image;
    track.artist_page = stream.artist_page;
    track.title_page = stream.title_page;
    track.stream = true;
    track.station = stream.station;
    if (station_address_is_usable(stream.station_page, stream.secrets, activity_button_url_max_bytes)) {
        track.station_page = stream.station_page;
    }
    track.formatted = stream.formatted;
    const bool cover_found = !stream.image.empty() && stream.image != cover_fallback_image;
    if (cover_found) {
        track.album_page = stream.album_page;
    } else if (!stream.image.empty()) {
        if (station_address_is_usable(stream.station_art, stream.secrets, image_address_max_bytes)) {
            track.image = stream.station_art;
        } else if (station_address_is_usable(stream.station_page, stream.secrets, link_address_max_bytes)) {
            track.logo_page = stream.station_page;
        }
    }
    std::optional<discord_activity> card = compose_track_card(track, settings);
    if (card) {
        card->withheld = stream.secrets;
    }
    return card;
}
