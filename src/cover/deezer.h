// Deezer, the catalogue covers are asked of first (api.deezer.com): the
// search request's path, and what its reply says of the album's cover, its
// page and the links of the card's lines. No Windows API here.
#pragma once

#include "cover/cover_verdict.h"

#include <string>
#include <string_view>

// Longest matched track title kept for comparing with the played title.
inline constexpr size_t cover_title_max_bytes = 512;

// "/search/track?strict=on&q=artist:"…" track:"…" album:"…"&limit=5": the
// track clause when the title is not empty, the album clause when the album is
// not empty. Artist, title and album are UTF-8; a '"' in them becomes a space
// (the service has no escape for it inside a quoted value) and the words are
// percent-encoded (append_percent_encoded). The service ranks the very
// title first as a rule; five results leave room for a live or remastered
// version ranked above it, at about 1.5 KB each.
std::string deezer_search_path(std::string_view artist, std::string_view title, std::string_view album);

// What a reply holds for a played title, read in place (`reply` must stay
// NUL-terminated). Of a track record:
// - url: its album's first of "cover_medium", "cover_large", "cover_small",
//   "cover_xl" that is a string with a non-empty image id. Empty when there is
//   none or the reply is not JSON (then the parser has printed its line on stderr).
// - page: with a cover, "https://www.deezer.com/album/<id>" for the album's
//   "id" when that is a positive integer of at most 2^63 - 1, written as a
//   JSON integer or as a string of decimal digits without a leading zero (both
//   give the id's plain decimal form). Empty for any other id, and for none.
// - artist_page: "https://www.deezer.com/artist/<id>" for its "artist"'s "id",
//   read as the album's; empty when that is not usable.
// - track_page and track_title: "https://www.deezer.com/track/<id>" for the
//   track's own "id" and its "title" (at most cover_title_max_bytes), both or neither.
struct deezer_reply {
    // The reply is a search result: an object whose "data" is an array.
    bool search_result = false;
    // The first track, whatever its title: its album is the one searched for.
    cover_art first;
    // Whether a track titled as played (same_text_ignoring_case) is among the
    // results, and that first such track.
    bool matched = false;
    cover_art match;
};
deezer_reply deezer_read_reply(char *reply, std::string_view title);

// Judges a whole reply with HTTP status `status`, read in place, for the played
// `title`. Covers that are not usable (is_within_address_limits with image_address_max_bytes) are dropped
// with their pages. The reply counts as an answer when it holds a usable cover
// whatever the status, or is a 200 reply that is a search result; an error
// page or a proxy's answer is never remembered as no match or no art (unknown).
// An empty body is not parsed.
struct deezer_verdict {
    bool answered = false;
    deezer_reply reply; // empty when not answered
};
deezer_verdict deezer_judge_reply(unsigned status, char *reply, std::string_view title);
