// Fuzz target of the cover replies' reading: any bytes, under a success and an
// error status, give from the catalogue either an https cover that fits its
// field with, at most, an album page of the catalogue's exact form, or no
// cover at all (a page never comes without its cover), and artist and track
// links of the catalogue's exact form; from MusicBrainz, a lower-case UUID
// only with "found"; from the Cover Art Archive's redirect, an https image
// that fits or the archive's own URL.
#include "cover/cover_art_archive.h"
#include "cover/deezer.h"
#include "cover/musicbrainz.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace {

void require(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

// `prefix` and a positive id of at most 2^63 - 1 in plain decimal.
bool is_catalogue_page(std::string_view page, std::string_view prefix)
{
    constexpr std::string_view largest_id = "9223372036854775807";
    if (!page.starts_with(prefix)) {
        return false;
    }
    const std::string_view id = page.substr(prefix.size());
    if (id.empty() || id.size() > largest_id.size() || id[0] == '0') {
        return false;
    }
    for (char c : id) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return id.size() < largest_id.size() || id <= largest_id;
}

bool is_image_url(std::string_view url)
{
    if (!url.starts_with("https://") || url.size() > cover_url_max_bytes) {
        return false;
    }
    for (char c : url) {
        if (c <= ' ' || c > '~') {
            return false;
        }
    }
    return true;
}

bool is_lower_uuid(std::string_view id)
{
    if (id.size() != 36) {
        return false;
    }
    for (size_t i = 0; i < id.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        const bool hex = (id[i] >= '0' && id[i] <= '9') || (id[i] >= 'a' && id[i] <= 'f');
        if (dash ? id[i] != '-' : !hex) {
            return false;
        }
    }
    return true;
}

void check_catalogue(unsigned status, std::vector<char> reply)
{
    const cover_outcome outcome = deezer_judge_reply(status, reply.data());
    const cover_art &art = outcome.art;
    require(art.artist_page.empty() || is_catalogue_page(art.artist_page, "https://www.deezer.com/artist/"));
    require(art.track_page.empty() == art.track_title.empty());
    require(art.track_page.empty() || is_catalogue_page(art.track_page, "https://www.deezer.com/track/"));
    require(art.track_title.size() <= cover_title_max_bytes);
    if (outcome.verdict != cover_verdict::found) {
        require(art.url.empty() && art.page.empty());
        return;
    }
    require(is_image_url(art.url));
    require(art.page.empty() || (art.page.size() <= cover_page_max_bytes &&
                                 is_catalogue_page(art.page, "https://www.deezer.com/album/")));
}

void check_release_groups(unsigned status, std::vector<char> reply)
{
    const release_group_verdict verdict =
        musicbrainz_judge_release_groups(status, reply.data(), "First Album");
    require(verdict.verdict == cover_verdict::found ? is_lower_uuid(verdict.mbid) : verdict.mbid.empty());
}

// The bytes as the redirect's location.
void check_front(unsigned status, std::string_view location)
{
    const std::string_view mbid = "76df3287-6cda-33eb-8e9a-044b5e15ffdd";
    const cover_outcome outcome = cover_art_archive_judge_front(status, location, mbid);
    if (outcome.verdict == cover_verdict::found) {
        require(is_image_url(outcome.art.url));
        require(outcome.art.url == location || outcome.art.url == cover_art_archive_front_url(mbid));
    }
}

void check(unsigned status, const uint8_t *data, size_t size)
{
    std::vector<char> reply(data, data + size);
    reply.push_back('\0');
    check_catalogue(status, reply);
    check_release_groups(status, reply);
    check_front(status == 200 ? 307 : status, std::string_view(reinterpret_cast<const char *>(data), size));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    check(200, data, size);
    check(503, data, size);
    return 0;
}
