// The stream test by scheme, and the song and station read from the stream keys.
#include "presence/stream_keys.h"

#include "common/address.h"
#include "common/stream_secrets.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace {

constexpr utf16_view song_separator = UTF16(" - ");

// The schemes the host plays as streams: http and https, SHOUTcast's icy and
// uvox, and the Windows Media streams.
constexpr std::array<std::string_view, 8> stream_schemes = {"http", "https", "icy",  "uvox",
                                                            "mms",  "mmsh",  "rtsp", "rtmp"};

// What every address holds after its scheme, and no text may show.
constexpr utf16_view address_mark = UTF16("://");

} // namespace

bool is_stream_location(utf16_view file)
{
    // Most entries are files: they are told at a glance, on the host's main thread.
    if (file.find(address_mark) == utf16_view::npos) {
        return false;
    }
    const std::optional<std::string> scheme = address_scheme(utf16_to_utf8(file));
    return scheme && std::ranges::find(stream_schemes, *scheme) != stream_schemes.end();
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

utf16_string publishable_or_empty(utf16_view text, const std::vector<std::string> &secrets)
{
    if (secrets.empty()) {
        return text.find(address_mark) == utf16_view::npos ? utf16_string(text) : utf16_string();
    }
    return text_is_publishable(utf16_to_utf8(text), secrets) ? utf16_string(text) : utf16_string();
}

stream_song stream_song_of(const stream_keys &keys, const std::vector<std::string> &secrets)
{
    const stream_song song = keys.uvox_title.empty()
                                 ? split_stream_title(keys.stream_title)
                                 : stream_song{utf16_string(keys.uvox_artist), utf16_string(keys.uvox_title)};
    return {publishable_or_empty(song.artist, secrets), publishable_or_empty(song.title, secrets)};
}

utf16_string stream_station_of(const stream_keys &keys, const std::vector<std::string> &secrets)
{
    return publishable_or_empty(keys.station, secrets);
}
