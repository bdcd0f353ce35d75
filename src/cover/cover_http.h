// HTTPS exchanges with the services covers come from, made on the cover
// worker's thread: one session and one connection per service kept between
// lookups, the plug-in's User-Agent, the user's proxy settings, TLS 1.2 and
// 1.3, a deadline on every exchange, and at most one request per second to
// MusicBrainz.
#pragma once

#include "common/unique_handle.h"

#include <windows.h>
#include <winhttp.h>

#include <optional>
#include <string>

using internet_handle = unique_handle<HINTERNET, &WinHttpCloseHandle>;

// Lets another thread end the exchange in progress, or the wait before it for
// MusicBrainz's pace, or hold every exchange not yet started. Closing a
// request handle makes a blocked call on it return at once on Windows; Wine
// lets the call run to its time-out, which the deadline bounds.
struct http_cancel {
    SRWLOCK lock = SRWLOCK_INIT;
    CONDITION_VARIABLE changed = CONDITION_VARIABLE_INIT; // signalled when cancelled or held
    HINTERNET request = nullptr; // the request in progress; closed by whoever takes it out
    bool cancelled = false;      // once set, no exchange starts
    bool held = false;           // while set, no exchange starts
};

// Any thread: ends the exchange in progress, if any, and refuses every later one.
void http_cancel_all(http_cancel *cancel);

// Any thread: while held, no exchange starts and a wait for MusicBrainz's
// pace ends at once (the exchange fails); the exchange in progress runs on.
void http_hold(http_cancel *cancel, bool held);

// The services asked, by host.
enum class http_service {
    catalogue,         // api.deezer.com
    musicbrainz,       // musicbrainz.org: at most one request per second
    cover_art_archive, // coverartarchive.org: its redirect is read, not followed
};
inline constexpr size_t http_service_count = 3;

// The session and the connections, made by the first exchange that needs them
// and closed with their owner; a failed creation is tried again next time.
struct http_client {
    internet_handle session;
    internet_handle connections[http_service_count];
    // When the last exchange with MusicBrainz ended (precise_clock_ms); 0 for none.
    ULONGLONG last_musicbrainz_exchange = 0;
};

struct http_reply {
    unsigned status;
    std::string body;     // empty from the Cover Art Archive, whose body is not read
    std::string location; // the Location header from the Cover Art Archive (ASCII); else empty
};

// GETs `path` (ASCII, already percent-encoded) from `service`; to
// MusicBrainz, not before a second has passed since the last exchange with it
// ended. So its requests arrive a second apart at least, however long a new
// connection's handshake delayed the one before. The whole
// reply whatever its status, or nothing when the exchange failed, was
// cancelled (the wait included), passed its deadline, or the body was longer
// than the cap.
std::optional<http_reply> http_get(http_client *client, http_service service, const std::string &path,
                                   http_cancel *cancel);
