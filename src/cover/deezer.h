// Deezer, the catalogue covers are asked of first (api.deezer.com): the track
// and album search requests' paths, and the catalogue's match rules: which
// result is the track played, which is on the album played, and what they say
// of the album's cover, its page and the links of the card's lines. No Windows
// API here.
#pragma once

#include "cover/cover_cache.h"
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
std::string deezer_track_search_path(std::string_view artist, std::string_view title, std::string_view album);

// "/search/album?strict=on&q=artist:"…" album:"…"&limit=5", the words written
// as in deezer_track_search_path: the album by the artist, for a track the
// track search did not find it with (a title the catalogue spells otherwise).
std::string deezer_album_search_path(std::string_view artist, std::string_view album);

// Whether the catalogue's artist `listed` is the played artist as a listener
// hears it: the same text ignoring case (same_text_ignoring_case), or one of
// them is the other followed by a featuring credit (" feat. ", " ft. ",
// " featuring ", with or without parentheses or brackets, any case), as a
// stream title split at its " - " often names a guest.
bool deezer_same_artist(std::string_view listed, std::string_view played);

// What a track search reply holds for the played track, read in place
// (`reply` must stay NUL-terminated). Of a track record:
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
//   track's own "id" and the title it matched by (at most
//   cover_title_max_bytes), both or neither.
struct deezer_track_reply {
    // The reply is a search result: an object whose "data" is an array.
    bool search_result = false;
    // The track played: the first result whose artist's "name" is the played
    // artist (deezer_same_artist) and whose "title" is the played title
    // ignoring case, else the first such whose "title_short" (the title
    // without its version, "Live", "Remastered 2011") is.
    bool matched = false;
    cover_art match;
    // The first result by the played artist whose album's "title" is the
    // played album ignoring case: its album's cover and page and its artist's
    // page, no track links. Empty without an album played.
    cover_art album;
};
deezer_track_reply deezer_read_track_reply(char *reply, const cover_key &played);

// Judges a whole track search reply with HTTP status `status`, read in place,
// for the played track. Covers that are not usable (is_within_address_limits with
// image_address_max_bytes)
// are dropped with their pages. The reply counts as an answer when it holds a
// usable cover whatever the status, or is a 200 reply that is a search result;
// an error page or a proxy's answer is never remembered as no match or no art.
// An empty body is not parsed.
struct deezer_track_verdict {
    bool answered = false;
    // Answered: found with the match's cover and links, or none with, when a
    // result is on the played album, its artist's page. Unknown otherwise.
    cover_outcome track{cover_verdict::unknown, {}};
    // The played album's usable cover with its page and artist page, taken
    // from a result on it; empty when there is none.
    cover_art album;
};
deezer_track_verdict deezer_judge_track_reply(unsigned status, char *reply, const cover_key &played);

// What an album search reply holds, read in place: the first album whose
// "title" is `album` ignoring case and whose artist's "name" is `artist`
// (deezer_same_artist), with its cover, its page for its own "id" and its
// artist's page, read as for a track's album (deezer_read_track_reply).
struct deezer_album_reply {
    bool search_result = false;
    bool matched = false;
    cover_art album;
};
deezer_album_reply deezer_read_album_reply(char *reply, std::string_view artist, std::string_view album);

// Judges a whole album search reply as deezer_judge_track_reply does: found
// with the matched album's usable cover; none from a 200 reply that is a
// search result without one; unknown otherwise.
cover_outcome deezer_judge_album_reply(unsigned status, char *reply, std::string_view artist,
                                       std::string_view album);
