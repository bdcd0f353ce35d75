// The Cover Art Archive's front image and the verdict on its answer.
#include "cover/cover_art_archive.h"

#include "common/address.h"
#include "common/address_limits.h"
#include "cover/musicbrainz.h"

#include <algorithm>

namespace {

constexpr std::string_view front_url_prefix = "https://coverartarchive.org";
constexpr std::string_view image_domain = "archive.org";

// Whether `url` names a host of archive.org: the domain itself or a
// subdomain, of letters, digits, '-' and '.' alone.
bool is_archive_url(std::string_view url)
{
    const std::optional<address_parts> parts = split_address(url);
    if (!parts || !parts->port.empty()) {
        return false;
    }
    const std::string_view name = parts->host;
    const bool plain = std::ranges::all_of(name, [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.';
    });
    return plain &&
           (name == image_domain || (name.size() > image_domain.size() + 1 && name.ends_with(image_domain) &&
                                     name[name.size() - image_domain.size() - 1] == '.' && name[0] != '.' &&
                                     name.find("..") == std::string_view::npos));
}

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
    case 301:
    case 302:
    case 303:
    case 307:
    case 308:
        if (is_within_address_limits(location, image_address_max_bytes) && is_archive_url(location)) {
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
