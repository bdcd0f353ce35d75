// Album cover lookup: searches the catalogue service over HTTPS for an
// artist's album and takes the cover URL of the first match. Runs on the
// host's main thread; one session and one connection serve every lookup.
#pragma once

// Leaves in `large_image` (a 128-byte activity field) either the album's
// cover URL or "winamp-logo"; always NUL-terminated. Gives up within a few
// seconds when the service cannot be reached or stalls.
void fetch_cover_url(const wchar_t *artist, const wchar_t *album, char *large_image);

// Closes the session and connection kept between lookups; once, at shut-down.
void cover_close_connection();
