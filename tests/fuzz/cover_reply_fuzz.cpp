// Fuzz target of the cover services' answers: any bytes, under a success and
// an error status, give from the catalogue's track and album searches covers the activity can carry with
// at most an album page of the catalogue's exact form (a page never without
// its cover) and artist and track links of that form; from MusicBrainz a
// release group id only with "found", one that names one release group's
// pages; from the Cover Art Archive's redirect an image the activity can carry
// or the archive's own URL. The image and id rules are checked by what their
// results do further on, not by a copy of them: an accepted image is accepted
// alike by the other service and is sent to Discord unchanged; an accepted id
// is one UUID in one spelling.
#include "common/address_limits.h"
#include "cover/cover_art_archive.h"
#include "cover/deezer.h"
#include "cover/musicbrainz.h"
#include "json/json_writer.h"

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::string_view mbid = "76df3287-6cda-33eb-8e9a-044b5e15ffdd";

void require(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

// `prefix` and a positive id of at most 2^63 - 1 in plain decimal: the id,
// read back and written again, is the same text.
bool is_catalogue_page(std::string_view page, std::string_view prefix)
{
    if (!page.starts_with(prefix) || page.size() == prefix.size()) {
        return false;
    }
    const std::string id(page.substr(prefix.size()));
    char *end = nullptr;
    const long long value = std::strtoll(id.c_str(), &end, 10);
    return end == id.c_str() + id.size() && value > 0 && std::to_string(value) == id;
}

// What an accepted image does further on: the archive takes it as well from
// a redirect to archive.org, and it reaches Discord as a JSON string that
// needs no escape, an https URL that fits the image field.
void check_image(std::string_view url)
{
    require(url.starts_with("https://") && url.size() <= image_address_max_bytes);
    json_writer writer;
    writer.string(url);
    require(writer.text() == "\"" + std::string(url) + "\"");
    for (unsigned char c : url) {
        require(c > ' ' && c < 0x7F); // a URL of visible ASCII: one token wherever it goes
    }
}

// What an accepted release group id does: written as a UUID read back in
// lower case it is itself, and its page fits the link field.
void check_release_group_id(std::string_view id)
{
    unsigned a, b, c, d;
    unsigned long long e;
    char rest;
    const std::string text(id);
    require(std::sscanf(text.c_str(), "%8x-%4x-%4x-%4x-%12llx%c", &a, &b, &c, &d, &e, &rest) == 5);
    char written[37];
    std::snprintf(written, sizeof written, "%08x-%04x-%04x-%04x-%012llx", a, b, c, d, e);
    require(text == written);
    require(musicbrainz_release_group_page(id).size() <= page_address_max_bytes);
}

void check_art(const cover_art &art)
{
    require(art.artist_page.empty() || is_catalogue_page(art.artist_page, "https://www.deezer.com/artist/"));
    require(art.track_page.empty() == art.track_title.empty());
    require(art.track_page.empty() || is_catalogue_page(art.track_page, "https://www.deezer.com/track/"));
    require(art.track_title.size() <= cover_title_max_bytes);
    require(art.url.empty() ? art.page.empty() : true);
    if (!art.url.empty()) {
        check_image(art.url);
        // The same image, as a redirect of the archive to one of its hosts, is taken as it is.
        if (art.url.starts_with("https://archive.org/")) {
            require(cover_art_archive_judge_front(307, art.url, mbid).art.url == art.url);
        }
    }
    require(art.page.empty() || (art.page.size() <= page_address_max_bytes &&
                                 is_catalogue_page(art.page, "https://www.deezer.com/album/")));
}

// Both searches' replies, read for a played track, give only what check_art
// allows; an unanswered reply gives nothing; an album cover comes with "found".
void check_catalogue(unsigned status, const std::vector<char> &bytes)
{
    const cover_key played{"The Band", "First Album", "Blue"};
    std::vector<char> reply = bytes;
    const deezer_track_verdict track = deezer_judge_track_reply(status, reply.data(), played);
    check_art(track.track.art);
    check_art(track.album);
    require(track.track.verdict != cover_verdict::none || track.track.art.track_page.empty());
    require(track.album.track_page.empty());
    if (!track.answered) {
        require(track.track.verdict == cover_verdict::unknown && track.track.art.url.empty() &&
                track.album.url.empty());
    }
    reply = bytes;
    const cover_outcome album = deezer_judge_album_reply(status, reply.data(), played.artist, played.album);
    check_art(album.art);
    require(album.art.track_page.empty());
    require((album.verdict == cover_verdict::found) == !album.art.url.empty());
}

void check_release_groups(unsigned status, std::vector<char> reply)
{
    const release_group_verdict verdict =
        musicbrainz_judge_release_groups(status, reply.data(), "The Band", "First Album");
    if (verdict.verdict == cover_verdict::found) {
        check_release_group_id(verdict.mbid);
    } else {
        require(verdict.mbid.empty());
    }
}

// The bytes as the redirect's location: the image is the location itself or
// the archive's own URL; a location the archive's own image is not must be an
// image the catalogue would take too, on archive.org.
void check_front(unsigned status, std::string_view location)
{
    const cover_outcome outcome = cover_art_archive_judge_front(status, location, mbid);
    if (outcome.verdict != cover_verdict::found) {
        return;
    }
    check_image(outcome.art.url);
    if (outcome.art.url != cover_art_archive_front_url(mbid)) {
        require(outcome.art.url == location);
        const std::string reply =
            R"({"data":[{"title":"First Album","artist":{"name":"The Band"},"cover_medium":")" +
            std::string(location) + "\"}]}";
        std::vector<char> text(reply.begin(), reply.end());
        text.push_back('\0');
        // The catalogue takes the same image, unless it is its own mark of an album without art.
        if (location.find("/images/cover//") == std::string_view::npos) {
            require(deezer_judge_album_reply(200, text.data(), "The Band", "First Album").art.url ==
                    location);
        }
        std::string host(location.substr(8, location.find_first_of("/?#", 8) - 8));
        for (char &c : host) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        require(host == "archive.org" || host.ends_with(".archive.org"));
    }
}

void check(unsigned status, const uint8_t *data, size_t size)
{
    std::vector<char> reply(data, data + size);
    reply.push_back('\0');
    check_catalogue(status, reply);
    check_release_groups(status, reply);
    check_front(status == 200   ? 307
                : status == 503 ? 302
                                : status,
                std::string_view(reinterpret_cast<const char *>(data), size));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    check(200, data, size);
    check(503, data, size);
    return 0;
}
