// Album cover lookup: finds the cover image URL of an artist's album.
#pragma once

// Leaves in `large_image` (128 bytes, zero on entry) either the URL of the
// album's cover or "winamp-logo"; always NUL-terminated.
void fetch_cover_url(const wchar_t *artist, const wchar_t *album, char *large_image);

// Closes the connection kept open between lookups; called once at shut-down.
void cover_close_connection();
