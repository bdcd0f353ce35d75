// Internet radio on the card: the stream test, the song and station read from
// the stream keys, the parts of a stream URL that must never be shown, the
// song's clock and the stream's card.
#include "presence/radio.h"

#include "cover/cover_cache.h"
#include "cover/cover_url.h"
#include "cover/cover_verdict.h"
#include "presence/card.h"

#include <array>

namespace {

constexpr utf16_view scheme_end = UTF16("://");
constexpr utf16_view song_separator = UTF16(" - ");

// Discord takes links of up to 256 characters.
constexpr size_t link_max_bytes = 256;

// Parts of a URL shorter than this are too common in ordinary text to tell
// anything of it (a one-letter user name, a port alone).
constexpr size_t secret_min_length = 4;

bool is_ascii_letter(utf16_char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool is_scheme_character(utf16_char c)
{
    return is_ascii_letter(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

// The parts of `location` that may be secret: user and password, password,
// query, and the address past the scheme and the user (host, port and path).
std::array<utf16_view, 4> secret_parts(utf16_view location)
{
    const size_t scheme = location.find(scheme_end);
    const utf16_view rest =
        scheme == utf16_view::npos ? location : location.substr(scheme + scheme_end.size());
    const utf16_view before_fragment = rest.substr(0, rest.find(UTF16('#')));
    const size_t query_start = before_fragment.find(UTF16('?'));
    const utf16_view query =
        query_start == utf16_view::npos ? utf16_view() : before_fragment.substr(query_start + 1);
    const utf16_view address = before_fragment.substr(0, query_start);
    const utf16_view authority = address.substr(0, address.find(UTF16('/')));
    const size_t at = authority.rfind(UTF16('@'));
    const utf16_view user = at == utf16_view::npos ? utf16_view() : authority.substr(0, at);
    const size_t colon = user.find(UTF16(':'));
    const utf16_view password = colon == utf16_view::npos ? utf16_view() : user.substr(colon + 1);
    const utf16_view host_and_path = at == utf16_view::npos ? address : address.substr(at + 1);
    return {user, password, query, host_and_path};
}

// `text` unless it repeats a secret part of `location`.
utf16_string unless_revealing(utf16_view text, utf16_view location)
{
    return reveals_location(text, location) ? utf16_string() : utf16_string(text);
}

} // namespace

bool is_stream_location(utf16_view file)
{
    const size_t end = file.find(scheme_end);
    if (end == utf16_view::npos || end < 2 || !is_ascii_letter(file[0])) {
        return false;
    }
    for (size_t i = 1; i < end; ++i) {
        if (!is_scheme_character(file[i])) {
            return false;
        }
    }
    return true;
}

stream_song split_stream_title(utf16_view text)
{
    const size_t separator = text.find(song_separator);
    if (separator == utf16_view::npos) {
        return {utf16_string(), utf16_string(text)};
    }
    return {utf16_string(text.substr(0, separator)),
            utf16_string(text.substr(separator + song_separator.size()))};
}

stream_song stream_song_of(const stream_keys &keys, utf16_view location)
{
    stream_song song = keys.uvox_title.empty()
                           ? split_stream_title(keys.stream_title)
                           : stream_song{utf16_string(keys.uvox_artist), utf16_string(keys.uvox_title)};
    return {unless_revealing(song.artist, location), unless_revealing(song.title, location)};
}

utf16_string stream_station_of(const stream_keys &keys, utf16_view location)
{
    return unless_revealing(keys.station, location);
}

bool reveals_location(utf16_view text, utf16_view location)
{
    if (!location.empty() && text.find(location) != utf16_view::npos) {
        return true;
    }
    for (const utf16_view part : secret_parts(location)) {
        if (part.size() >= secret_min_length && text.find(part) != utf16_view::npos) {
            return true;
        }
    }
    return false;
}

int64_t stream_clock_read(stream_clock *clock, utf16_view location, const stream_song &song, bool playing,
                          int64_t now)
{
    if (clock->location != location || clock->song != song || clock->start == 0) {
        *clock = {utf16_string(location), song, now, playing ? 0 : now};
    } else if (playing && clock->paused_at != 0) {
        clock->start += now - clock->paused_at;
        clock->paused_at = 0;
    } else if (!playing && clock->paused_at == 0) {
        clock->paused_at = now;
    }
    return playing ? clock->start : 0;
}

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
    track.station_page = stream.station_page;
    track.formatted = stream.formatted;
    if (stream.image.empty()) {
        return compose_track_card(track, settings);
    }
    if (stream.image != cover_fallback_image) {
        track.album_page = stream.album_page;
    } else if (cover_is_usable_image_url(stream.station_art)) {
        track.image = stream.station_art;
    } else if (cover_is_usable_https_url(stream.station_page, link_max_bytes)) {
        track.logo_page = stream.station_page;
    }
    return compose_track_card(track, settings);
}
