// The portable half of the album cover lookup: the requests' paths, the
// reading of the catalogue's, MusicBrainz's and the Cover Art Archive's
// answers, and what each answer means for the cache. No Windows API here.
#pragma once

#include "cover/cover_cache.h"
#include "json/json.h"

#include <string>
#include <string_view>

// Longest cover URL sent as the activity's image: Discord takes image URLs of
// up to 313 characters, and the Cover Art Archive's image addresses at
// archive.org run to about 150. Every byte of an accepted URL is ASCII.
inline constexpr size_t cover_url_max_bytes = 313;

// Longest page link: MusicBrainz's release group address with its 36-character
// id; the catalogue's album, artist and track addresses with ids of up to 19
// digits are shorter. Far within the 256 characters Discord takes for a link.
inline constexpr size_t cover_page_max_bytes = 74;

// Longest matched track title kept for comparing with the played title.
inline constexpr size_t cover_title_max_bytes = 512;

// "/search/track?strict=on&q=artist:"…"" with the album clause when the album
// is not empty, then "&limit=1": only the first match is read, and asking for
// one result shrinks the reply from about 50 KB to about 2 KB. Artist and album
// are UTF-8; a '"' in them becomes a space (the service has no escape for it
// inside a quoted value) and every byte outside A-Z a-z 0-9 - . _ ~ is
// percent-encoded, so the words reach the service as they are and can never
// add or cut query parameters.
std::string cover_search_path(std::string_view artist, std::string_view album);

// MusicBrainz's release group search for the album by the artist:
// "/ws/2/release-group/?query=releasegroup:"<album>" AND artist:"<artist>"&fmt=json&limit=5",
// with '"' and '\' escaped by a backslash inside the quotes and the whole
// query percent-encoded as in cover_search_path.
std::string cover_release_group_path(std::string_view artist, std::string_view album);

// The Cover Art Archive's front image of a release group, its path there
// ("/release-group/<mbid>/front-250") and its whole URL.
std::string cover_front_path(std::string_view mbid);
std::string cover_front_url(std::string_view mbid);

// Whether two UTF-8 titles are equal ignoring case: A-Z, the Latin-1 letters
// À-Þ, Greek Α-Ω and Cyrillic Ѐ-Я fold to their small forms; every other
// character compares as it is.
bool cover_same_title(std::string_view a, std::string_view b);

// What a reply holds, read in place (`reply` must stay NUL-terminated).
struct cover_reply {
    // The reply is a search result: an object whose "data" is an array.
    bool search_result = false;
    // Of the first matching track:
    // - url: its album's first of "cover_medium", "cover_large", "cover_small",
    //   "cover_xl" that is a string with a non-empty image id. Empty when there
    //   is none or the reply is not JSON (then the parser has printed its line
    //   on stderr).
    // - page: with a cover, "https://www.deezer.com/album/<id>" for the album's
    //   "id" when that is a positive integer of at most 2^63 - 1, written as a
    //   JSON integer or as a string of decimal digits without a leading zero
    //   (both give the id's plain decimal form). Empty for any other id, and for none.
    // - artist_page: "https://www.deezer.com/artist/<id>" for its "artist"'s
    //   "id", read as the album's; empty when that is not usable.
    // - track_page and track_title: "https://www.deezer.com/track/<id>" for the
    //   track's own "id" and its "title" (at most cover_title_max_bytes), both
    //   or neither.
    cover_art art;
};
cover_reply cover_read_reply(char *reply);

// What a lookup found out.
enum class cover_verdict {
    found,   // `url` is the cover
    none,    // the service answered that it has no usable cover: remembered
    unknown, // no usable answer (error status, not a search result): asked again later
};

struct cover_outcome {
    cover_verdict verdict;
    // The cover and its album's page when found, and with a catalogue match
    // the artist and track links whatever the verdict; else empty.
    cover_art art;
};

// Judges a whole catalogue reply with HTTP status `status`, read in place. A
// usable cover (https, printable ASCII, at most cover_url_max_bytes) counts whatever the
// status; "no cover" counts only from a 200 reply that is a search result, so
// an error page or a proxy's answer is never remembered as the album having
// no art. An empty body is not parsed.
cover_outcome cover_judge_reply(unsigned status, char *reply);

// What MusicBrainz's release group search answered for an album.
struct release_group_verdict {
    cover_verdict verdict; // found: `mbid` names it; none: a search result without one; unknown otherwise
    std::string mbid;      // lower-case UUID
};

// Judges MusicBrainz's reply, read in place: the first of its "release-groups"
// whose "score" is at least 90, whose "title" equals `album` ignoring case
// (cover_same_title) and whose "id" is a UUID. "none" only from a 200 reply
// that is a search result; 503 (over the rate) and anything else is unknown.
release_group_verdict cover_judge_release_groups(unsigned status, char *reply, std::string_view album);

// Judges the Cover Art Archive's answer for the front image of release group
// `mbid`, asked without following a redirect: 307 is the cover, the
// `location` when it is a usable https URL (as for the catalogue) that fits cover_url_max_bytes, else the
// archive's own URL; 200 is the cover at the archive's URL; 404 is none; any
// other status (503 over the rate) is unknown. The page of a cover is the
// release group's page at MusicBrainz.
cover_outcome cover_judge_front(unsigned status, std::string_view location, std::string_view mbid);
