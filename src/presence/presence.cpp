// The presence dispatcher: decides from the host's playback state whether the
// idle activity or the track card is published. For a track it takes the
// host's tags and clock readings, keeps the clock steady across readings of
// the same playback, takes the cover known so far and has the card composed
// under the display settings; it publishes again when the cover arrives later.
#include "presence/presence.h"

#include "config/settings.h"
#include "cover/cover.h"
#include "discord/connection.h"
#include "host/playback.h"
#include "presence/card.h"

#include <string>
#include <utility>

namespace {

// True from start-up until shut-down: only then is anything published.
bool publishing;

void update_presence_idle()
{
    discord_activity activity;
    activity.state = "(Idle)";
    activity.large_image = cover_fallback_image;
    connection_publish(std::move(activity));
}

// The clock as last published for a file, which repeated notifications keep.
struct track_clock {
    std::wstring file;
    int64_t start = 0;
};
track_clock last_clock;

// While a track plays with its clock shown, its position is read again this
// often: a seek the host tells no one of (its jump dialog, another plug-in,
// a remote control, a click on the position bar) moves the time bar within
// this time.
constexpr unsigned position_poll_ms = 2000;

// A tick of the position poll: only a clock that really moved (a seek), or
// a playback no longer running, has the presence decided again; a track that
// just plays on costs one reading of the position and nothing is sent.
// Without a position from the host, "now" is all a reading gives: that
// creeping start is no seek.
void poll_position()
{
    if (host_playback_state() != 1) {
        update_presence();
        return;
    }
    const host_clock_reading clock = host_read_clock();
    if (clock.position_known && steady_clock_start(last_clock.start, clock.start) != last_clock.start) {
        update_presence();
    }
}

// The poll runs only while a playing track's clock is shown: stopped, paused
// or idle, nothing wakes up.
void follow_position(bool clock_shown)
{
    if (clock_shown) {
        host_ticks_start(position_poll_ms, &poll_position);
    } else {
        host_ticks_stop();
    }
}

bool wants_cover()
{
    return config.display_song_info && config.display_album_art;
}

void update_presence_track(int playback_state)
{
    track_facts track;
    track.playback_state = playback_state;
    if (config.show_elapsed_time && playback_state == 1) {
        track.clock_start = host_read_clock().start;
        track.length_seconds = host_track_length_seconds();
    }

    host_track_tags tags{};
    host_read_tags(&tags);
    if (track.clock_start > 0) {
        const int64_t previous = last_clock.file == tags.file ? last_clock.start : 0;
        track.clock_start = steady_clock_start(previous, track.clock_start);
        last_clock = {tags.file, track.clock_start};
    }
    track.extended = tags.extended;
    track.title = tags.title;
    if (tags.extended) {
        track.artist = tags.artist;
        track.album = tags.album;
        if (wants_cover()) {
            cover_image image = cover_image_for(tags.artist, tags.album, tags.title);
            track.image = std::move(image.large_image);
            track.album_page = std::move(image.large_url);
            track.artist_page = std::move(image.artist_url);
            track.title_page = std::move(image.title_url);
        }
    }
    connection_publish(compose_track_card(track, config));
}

} // namespace

void presence_start()
{
    publishing = true;
}

void presence_stop()
{
    publishing = false;
    follow_position(false);
}

void update_presence()
{
    if (!publishing) {
        return;
    }
    const int state = host_playback_state();
    if (state == 1 || state == 3) {
        update_presence_track(state);
        follow_position(state == 1 && config.show_elapsed_time);
    } else if (state == 0) {
        update_presence_idle();
        follow_position(false);
    }
}

void republish_with_cover(const cover_key &found)
{
    const int state = host_playback_state();
    if ((state != 1 && state != 3) || !wants_cover()) {
        return;
    }
    host_track_tags tags{};
    host_read_tags(&tags);
    // A cover for an album the user has left only stays in the cache.
    if (tags.extended && cover_key_of(tags.artist, tags.album, tags.title) == found) {
        update_presence();
    }
}
