// The portable half of the album cover lookup: the search request's path, the
// reading of the catalogue service's JSON reply (the cover and the album's
// page), and what an answer means for the cache. No Windows API here.
#pragma once

#include "cover/cover_cache.h"
#include "json/json.h"

#include <string>
#include <string_view>

// Longest cover URL that fits an activity text field whole.
inline constexpr size_t cover_url_max_bytes = 126;

// Longest album page: the catalogue's album address and an id of up to 19
// digits, far within the 256 characters Discord takes for a link.
inline constexpr size_t cover_page_max_bytes = 48;

// "/search/track?strict=on&q=artist:"…"" with the album clause when the album
// is not empty, then "&limit=1": only the first match is read, and asking for
// one result shrinks the reply from about 50 KB to about 2 KB. Artist and album
// are UTF-8; a '"' in them becomes a space (the service has no escape for it
// inside a quoted value) and every byte outside A-Z a-z 0-9 - . _ ~ is
// percent-encoded, so the words reach the service as they are and can never
// add or cut query parameters.
std::string cover_search_path(std::string_view artist, std::string_view album);

// What a reply holds, read in place (`reply` must stay NUL-terminated).
struct cover_reply {
    // The reply is a search result: an object whose "data" is an array.
    bool search_result = false;
    // Of the first matching track's album, read only when it has a cover:
    // - url: the first of "cover_medium", "cover_large", "cover_small",
    //   "cover_xl" that is a string with a non-empty image id. Empty when there
    //   is none or the reply is not JSON (then the parser has printed its line
    //   on stderr).
    // - page: "https://www.deezer.com/album/<id>" for the album's "id" when
    //   that is a positive integer of at most 2^63 - 1, written as a JSON
    //   integer or as a string of decimal digits without a leading zero (both
    //   give the id's plain decimal form). Empty for any other id, and for none.
    cover_art art;
};
cover_reply cover_read_reply(char *reply);

// What a lookup that received a whole reply found out.
enum class cover_verdict {
    found,   // `url` is the cover
    none,    // the service answered that it has no usable cover: remembered
    unknown, // no usable answer (error status, not a search result): asked again next time
};

struct cover_outcome {
    cover_verdict verdict;
    cover_art art; // the cover and its album's page when found, else empty
};

// Judges a whole reply with HTTP status `status`, read in place. A usable
// cover counts whatever the status; "no cover" counts only from a 200 reply
// that is a search result, so an error page or a proxy's answer is never
// remembered as the album having no art. An empty body is not parsed.
cover_outcome cover_judge_reply(unsigned status, char *reply);
