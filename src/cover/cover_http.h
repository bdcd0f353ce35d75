// HTTPS exchange with the catalogue service, made on the cover worker's
// thread: one session and one connection kept between lookups, the user's
// proxy settings, TLS 1.2 and 1.3, and a deadline on every exchange.
#pragma once

#include "common/unique_handle.h"

#include <windows.h>
#include <winhttp.h>

#include <optional>
#include <string>

using internet_handle = unique_handle<HINTERNET, &WinHttpCloseHandle>;

// Lets another thread end the exchange in progress. Closing a request handle
// makes a blocked call on it return at once on Windows; Wine lets the call run
// to its time-out, which the deadline bounds.
struct http_cancel {
    SRWLOCK lock = SRWLOCK_INIT;
    HINTERNET request = nullptr; // the request in progress; closed by whoever takes it out
    bool cancelled = false;      // once set, no exchange starts
};

// Any thread: ends the exchange in progress, if any, and refuses every later one.
void http_cancel_all(http_cancel *cancel);

// The session and connection, made by the first exchange that needs them and
// closed with their owner; a failed creation is tried again next time.
struct http_client {
    internet_handle session;
    internet_handle connection;
};

struct http_reply {
    unsigned status;
    std::string body;
};

// GETs `path` (ASCII, already percent-encoded) from the catalogue service.
// The whole reply whatever its status, or nothing when the exchange failed,
// was cancelled, passed its deadline, or the body was longer than the cap.
std::optional<http_reply> http_get(http_client *client, const std::string &path, http_cancel *cancel);
