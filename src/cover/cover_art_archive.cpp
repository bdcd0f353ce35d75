// The Cover Art Archive's front image and the verdict on its answer.
#include "cover/cover_art_archive.h"

#include "cover/cover_url.h"
#include "cover/musicbrainz.h"

namespace {

constexpr std::string_view front_url_prefix = "https://coverartarchive.org";

} // namespace

std::string cover_art_archive_front_path(std::string_view mbid)
{
    std::string path = "/release-group/";
    path += mbid;
    path += "/front-250";
    return path;
}

std::string cover_art_archive_front_url(std::string_view mbid)
{
    return std::string(front_url_prefix) + cover_art_archive_front_path(mbid);
}

cover_outcome cover_art_archive_judge_front(unsigned status, std::string_view location, std::string_view mbid)
{
    cover_outcome outcome{cover_verdict::found, {}};
    switch (status) {
    case 307:
        if (cover_is_usable_image_url(location)) {
            outcome.art.url = location;
            break;
        }
        [[fallthrough]];
    case 200:
        outcome.art.url = cover_art_archive_front_url(mbid);
        break;
    case 404:
        return {cover_verdict::none, {}};
    default:
        return {cover_verdict::unknown, {}};
    }
    outcome.art.page = musicbrainz_release_group_page(mbid);
    return outcome;
}
