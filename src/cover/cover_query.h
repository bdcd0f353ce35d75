// The portable half of the album cover lookup: the search request's path and
// the reading of the catalogue service's JSON reply. No Windows API here.
#pragma once

#include "json/json.h"

#include <string>
#include <string_view>

// Longest cover URL that fits an activity text field whole.
inline constexpr size_t cover_url_max_bytes = 126;

// "/search/track?strict=on&q=artist:"…"" with the album clause when the album
// is not empty. Artist and album are UTF-8; a '"' in them becomes a space
// (the service has no escape for it inside a quoted value) and every byte
// outside A-Z a-z 0-9 - . _ ~ is percent-encoded, so the words reach the
// service as they are and can never add or cut query parameters.
std::string cover_search_path(std::string_view artist, std::string_view album);

// Copies into `text` the string value of the first member of `object` named
// `name`. Returns 1 when that member exists and is a string, else 0 (`text`
// untouched): a member of another kind has no text to copy.
int json_copy_string(const json_node *object, const char *name, std::string *text);

// Parses a reply in place (`reply` must stay NUL-terminated) and returns the
// cover URL of the first matching track's album: the first of
// "cover_medium", "cover_large", "cover_small", "cover_xl" that is a string
// with a non-empty image id. Empty when the reply has none or is not JSON
// (then the parser has printed its line on stderr).
std::string cover_url_from_reply(char *reply);
