// MusicBrainz (musicbrainz.org), asked for an album's release group when the
// catalogue has no cover: the search request's path, the verdict on its
// answer, and the release group's page. No Windows API here.
#pragma once

#include "cover/cover_verdict.h"

#include <string>
#include <string_view>

// The release group search for the album by the artist:
// "/ws/2/release-group/?query=releasegroup:"<album>" AND artist:"<artist>"&fmt=json&limit=5",
// with '"' and '\' escaped by a backslash inside the quotes and the whole
// query percent-encoded (append_percent_encoded).
std::string musicbrainz_release_group_path(std::string_view artist, std::string_view album);

// The page of release group `mbid` at MusicBrainz.
std::string musicbrainz_release_group_page(std::string_view mbid);

// What MusicBrainz's release group search answered for an album.
struct release_group_verdict {
    cover_verdict verdict; // found: `mbid` names it; none: a search result without one; unknown otherwise
    std::string mbid;      // lower-case UUID
};

// Judges MusicBrainz's reply, read in place: the first of its "release-groups"
// whose "score" is at least 90, whose "title" equals `album` ignoring case
// (same_text_ignoring_case), whose credited artist is `artist` ignoring case (the
// whole "artist-credit", its names and join phrases, or one credit's "name" or
// its artist's "name") and whose "id" is a UUID. "none" only from a 200 reply
// that is a search result; 503 (over the rate) and anything else is unknown.
release_group_verdict musicbrainz_judge_release_groups(unsigned status, char *reply, std::string_view artist,
                                                       std::string_view album);
