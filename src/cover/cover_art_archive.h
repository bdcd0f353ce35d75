// The Cover Art Archive (coverartarchive.org), asked for the front image of
// the release group MusicBrainz named: the request's path, the archive's own
// URL of the image and the verdict on its answer. No Windows API here.
#pragma once

#include "cover/cover_verdict.h"

#include <string>
#include <string_view>

// The front image of a release group, its path at the archive
// ("/release-group/<mbid>/front-250") and its whole URL.
std::string cover_art_archive_front_path(std::string_view mbid);
std::string cover_art_archive_front_url(std::string_view mbid);

// Judges the archive's answer for the front image of release group `mbid`,
// asked without following a redirect: a redirect (301, 302, 303, 307, 308) is
// the cover, at the `location` when that is a usable image URL
// (is_within_address_limits with image_address_max_bytes) on archive.org or one of its subdomains, else at
// the archive's own URL; 200 is the cover at the archive's own URL; 404 is
// none; any other status (503 over the rate) is unknown. The page of a cover
// is the release group's page at MusicBrainz.
cover_outcome cover_art_archive_judge_front(unsigned status, std::string_view location,
                                            std::string_view mbid);
