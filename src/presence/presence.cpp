// The presence dispatcher: asks the host for its playback state and publishes
// the idle activity or the track card. For a track it asks for the tags, the
// position and the length, takes the cover known so far and has the card
// composed under the display settings; it publishes again when the cover
// arrives later.
#include "presence/presence.h"

#include "config/settings.h"
#include "cover/cover.h"
#include "discord/connection.h"
#include "host/host.h"
#include "presence/card.h"
#include "winamp_gen.h"

#include <string>
#include <utility>

namespace {

// True from start-up until shut-down: only then is anything published.
bool publishing;

// Sends a query to the host's main window (Unicode form).
LRESULT host_query(WPARAM wparam, LPARAM query)
{
    return SendMessageW(host_window(), WM_WA_IPC, wparam, query);
}

void update_presence_idle()
{
    discord_activity activity;
    activity.state = "(Idle)";
    activity.large_image = cover_fallback_image;
    connection_publish(std::move(activity));
}

// Tag buffers hold 256 characters of the host's text plus a terminator the host never touches.
constexpr size_t tag_capacity = 256;
using tag_buffer = wchar_t[tag_capacity + 1];

// 100 ns intervals from 1601-01-01 to 1970-01-01.
constexpr uint64_t unix_epoch_in_filetime = 116444736000000000ULL;

int64_t unix_time_now_ms()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const uint64_t intervals = (uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime;
    return static_cast<int64_t>((intervals - unix_epoch_in_filetime) / 10000);
}

// Start of the elapsed-time clock: now minus the host's playback position, so
// that a resume or a start in mid-track shows the time already played. Taken
// in milliseconds and rounded once, so that while the position advances with
// the clock every notification gives the same second, and an unchanged
// activity is recognised as such.
int64_t elapsed_clock_start()
{
    const int64_t now_ms = unix_time_now_ms();
    const LRESULT position_ms = host_query(0, IPC_GETOUTPUTTIME);
    return (position_ms < 0 ? now_ms : now_ms - position_ms) / 1000;
}

// The playing track's length in seconds; 0 when unknown (a stream).
int64_t track_length_seconds()
{
    const LRESULT seconds = host_query(1, IPC_GETOUTPUTTIME);
    return seconds > 0 ? seconds : 0;
}

// The clock as last published for a file, which repeated notifications keep.
struct track_clock {
    std::wstring file;
    int64_t start = 0;
};
track_clock last_clock;

bool is_empty(const wchar_t *text)
{
    return text[0] == L'\0';
}

LRESULT query_tag(extendedFileInfoStructW *query, const wchar_t *name, wchar_t *buffer)
{
    query->metadata = name;
    query->ret = buffer;
    return host_query(reinterpret_cast<WPARAM>(query), IPC_GET_EXTENDED_FILE_INFOW);
}

void copy_display_title(tag_buffer &title)
{
    const auto *display_title = reinterpret_cast<const wchar_t *>(host_query(0, IPC_GET_PLAYING_TITLE));
    if (display_title != nullptr) {
        wcsncpy(title, display_title, tag_capacity);
    }
}

// The playing entry's tags as the host gives them.
struct track_tags {
    std::wstring file;
    bool extended; // the host has extended information: artist and album were asked for
    tag_buffer title;
    tag_buffer artist;
    tag_buffer album;
};

void read_tags(track_tags *tags)
{
    extendedFileInfoStructW query{};
    query.filename = reinterpret_cast<const wchar_t *>(host_query(0, IPC_GET_PLAYING_FILENAME));
    query.retlen = tag_capacity;
    tags->file = query.filename != nullptr ? query.filename : L"";
    tags->extended = query_tag(&query, L"title", tags->title) != 0;
    // An untagged file answers the title with success and no text; the
    // display title (what the playlist shows, usually the file name) takes
    // its place, and without extended information it stands alone.
    if (is_empty(tags->title)) {
        copy_display_title(tags->title);
    }
    if (!tags->extended) {
        return;
    }
    query_tag(&query, L"artist", tags->artist);
    if (is_empty(tags->artist)) {
        query_tag(&query, L"albumartist", tags->artist);
    }
    query_tag(&query, L"album", tags->album);
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
        track.clock_start = elapsed_clock_start();
        track.length_seconds = track_length_seconds();
    }

    track_tags tags{};
    read_tags(&tags);
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
}

void update_presence()
{
    if (!publishing) {
        return;
    }
    const LRESULT state = host_query(0, IPC_ISPLAYING);
    if (state == 1 || state == 3) {
        update_presence_track(static_cast<int>(state));
    } else if (state == 0) {
        update_presence_idle();
    }
}

void republish_with_cover(const cover_key &found)
{
    const LRESULT state = host_query(0, IPC_ISPLAYING);
    if ((state != 1 && state != 3) || !wants_cover()) {
        return;
    }
    track_tags tags{};
    read_tags(&tags);
    // A cover for an album the user has left only stays in the cache.
    if (tags.extended && cover_key_of(tags.artist, tags.album) == found) {
        update_presence();
    }
}
