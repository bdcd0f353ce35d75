// The host's answers about its playback: its Unicode queries for the state,
// the file, the tags and the position, and the system clock beside them.
#include "host/playback.h"

#include "host/host.h"
#include "winamp_gen.h"

namespace {

// Sends a query to the host's main window (Unicode form).
LRESULT host_query(WPARAM wparam, LPARAM query)
{
    return SendMessageW(host_window(), WM_WA_IPC, wparam, query);
}

// 100 ns intervals from 1601-01-01 to 1970-01-01.
constexpr uint64_t unix_epoch_in_filetime = 116444736000000000ULL;

int64_t unix_time_now_ms()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const uint64_t intervals = (uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime;
    return static_cast<int64_t>((intervals - unix_epoch_in_filetime) / 10000);
}

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

void copy_display_title(host_tag_buffer &title)
{
    const auto *display_title = reinterpret_cast<const wchar_t *>(host_query(0, IPC_GET_PLAYING_TITLE));
    if (display_title != nullptr) {
        wcsncpy(title, display_title, host_tag_capacity);
    }
}

} // namespace

int host_playback_state()
{
    return static_cast<int>(host_query(0, IPC_ISPLAYING));
}

std::wstring host_playing_file()
{
    const auto *file = reinterpret_cast<const wchar_t *>(host_query(0, IPC_GET_PLAYING_FILENAME));
    return file != nullptr ? file : L"";
}

void host_read_tags(const std::wstring &file, host_track_tags *tags)
{
    extendedFileInfoStructW query{};
    tags->file = file;
    query.filename = tags->file.c_str();
    query.retlen = host_tag_capacity;
    tags->extended = query_tag(&query, L"title", tags->title) != 0;
    if (!tags->extended) {
        copy_display_title(tags->title);
        return;
    }
    query_tag(&query, L"artist", tags->artist);
    if (is_empty(tags->artist)) {
        query_tag(&query, L"albumartist", tags->artist);
    }
    query_tag(&query, L"album", tags->album);
}

std::wstring host_read_tag(const std::wstring &file, const wchar_t *name)
{
    host_tag_buffer value{};
    extendedFileInfoStructW query{};
    query.filename = file.c_str();
    query.retlen = host_tag_capacity;
    query_tag(&query, name, value);
    return value;
}

void host_read_stream_keys(const std::wstring &location, host_stream_keys *keys)
{
    extendedFileInfoStructW query{};
    query.filename = location.c_str();
    query.retlen = host_tag_capacity;
    query_tag(&query, L"streamtitle", keys->stream_title);
    query_tag(&query, L"uvox/title", keys->uvox_title);
    query_tag(&query, L"uvox/artist", keys->uvox_artist);
    query_tag(&query, L"streamname", keys->station);
    query_tag(&query, L"streamurl", keys->home_page);
    query_tag(&query, L"uvox/albumart", keys->album_art);
}

// Taken in milliseconds and rounded once, so that while the position
// advances with the clock every reading gives the same second.
host_clock_reading host_read_clock()
{
    const int64_t now_ms = unix_time_now_ms();
    const LRESULT position_ms = host_query(0, IPC_GETOUTPUTTIME);
    const bool known = position_ms >= 0;
    return {(known ? now_ms - position_ms : now_ms) / 1000, known};
}

int64_t host_clock_now()
{
    return unix_time_now_ms() / 1000;
}

int64_t host_track_length_seconds()
{
    const LRESULT seconds = host_query(1, IPC_GETOUTPUTTIME);
    return seconds > 0 ? seconds : 0;
}
