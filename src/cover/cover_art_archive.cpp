// The Cover Art Archive's front image and the verdict on its answer.
#include "cover/cover_art_archive.h"

#include "cover/cover_url.h"
#include "cover/musicbrainz.h"

namespace {

constexpr std::string_view front_url_prefix = "https://coverartarchive.org";
constexpr std::string_view image_domain = "archive.org";

// Whether `url`, an https URL, names a host of archive.org: the domain itself
// or a subdomain, of letters, digits, '-' and '.' alone (no user, no port).
bool is_archive_url(std::string_view url)
{
    std::string_view host = url.substr(std::string_view("https://").size());
    host = host.substr(0, host.find_first_of("/?#"));
    std::string lower(host);
    for (char &c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        } else if (!(c >= 'a' && c <= 'z') && !(c >= '0' && c <= '9') && c != '-' && c != '.') {
            return false;
        }
    }
    const std::string_view name = lower;
    return name == image_domain || (name.size() > image_domain.size() + 1 && name.ends_with(image_domain) &&
                                    name[name.size() - image_domain.size() - 1] == '.' && name[0] != '.' &&
                                    name.find("..") == std::string_view::npos);
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
        if (cover_is_usable_image_url(location) && is_archive_url(location)) {
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
