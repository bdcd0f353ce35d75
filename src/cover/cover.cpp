// Cover front: the cache consulted for every track activity, the lookups asked
// of the worker, and the outcomes it hands back.
#include "cover/cover.h"

#include "common/case_fold.h"
#include "common/guarded.h"
#include "common/utf8.h"
#include "cover/cover_worker.h"

#include <string>

namespace {

cover_cache cache;
cover_failures failures;
// Albums the catalogue answered it has no cover of while the second source
// failed: their next lookup asks only the second source.
cover_cache albums_the_catalogue_lacks;
cover_found_callback found_callback;

// Remembers what the services answered, for the track and for its album; a
// failure is only noted, so that a play a minute later asks again.
void take_result(const cover_result &result)
{
    const uint64_t now = GetTickCount64();
    bool news = false;
    auto remember = [&](const cover_key &key, const cover_outcome &outcome) {
        if (outcome.verdict == cover_verdict::unknown) {
            cover_failure_note(&failures, key, now);
            return;
        }
        cover_cache_store(&cache, key, outcome.art);
        news = news || outcome.verdict == cover_verdict::found || !outcome.art.artist_page.empty();
    };
    if (result.track) {
        remember(result.request.key, *result.track);
    }
    if (result.album) {
        remember(cover_album_key(result.request.key), *result.album);
        if (result.catalogue_lacks_album && result.album->verdict == cover_verdict::unknown) {
            cover_cache_store(&albums_the_catalogue_lacks, cover_album_key(result.request.key), {});
        }
    }
    if (news) {
        found_callback(result.request.key);
    }
}

} // namespace

void cover_start(HINSTANCE dll, cover_found_callback found)
{
    found_callback = found;
    cover_worker_start(dll, &take_result);
}

void cover_stop()
{
    cover_worker_stop();
    cache = cover_cache{};
    failures = cover_failures{};
    albums_the_catalogue_lacks = cover_cache{};
}

void cover_hold(bool held)
{
    cover_worker_hold(held);
}

cover_key cover_key_of(const wchar_t *artist, const wchar_t *album, const wchar_t *title)
{
    return {utf16_to_utf8(artist), utf16_to_utf8(album), utf16_to_utf8(title)};
}

namespace {

// The image and links known for a track; with `look_up`, asks the worker for
// what is not known yet.
cover_image known_image(const wchar_t *artist, const wchar_t *album, const wchar_t *title,
                        bool look_up) noexcept
{
    // Fits the string's own storage: the fallback never allocates.
    cover_image image{cover_fallback_image, {}, {}, {}};
    if (artist[0] == L'\0' || (album[0] == L'\0' && title[0] == L'\0')) {
        return image;
    }
    // Without memory for the key or the copies the activity goes out with the fallback image.
    guarded([&] {
        const cover_key key = cover_key_of(artist, album, title);
        const cover_key album_key = cover_album_key(key);
        const bool has_title = !key.title.empty();
        const bool has_album = !key.album.empty();
        // Finding one entry leaves the other where it is: both stay valid until the next store.
        const cover_art *track = has_title ? cover_cache_find(&cache, key) : nullptr;
        const cover_art *album_art = has_album ? cover_cache_find(&cache, album_key) : nullptr;

        cover_image found = image;
        const cover_art *cover = album_art != nullptr && !album_art->url.empty() ? album_art
                                 : track != nullptr && !track->url.empty()       ? track
                                                                                 : nullptr;
        if (cover != nullptr) {
            found.large_image = cover->url;
            found.large_url = cover->page;
        }
        if (track != nullptr && !track->artist_page.empty()) {
            found.artist_url = track->artist_page;
        } else if (album_art != nullptr) {
            found.artist_url = album_art->artist_page;
        }
        if (track != nullptr && !track->track_page.empty() &&
            same_text_ignoring_case(track->track_title, key.title)) {
            found.title_url = track->track_page;
        }
        image = std::move(found);
        if (!look_up) {
            return;
        }

        const uint64_t now = GetTickCount64();
        // An album whose cover the track's match gave needs no lookup of its own.
        const bool want_album = has_album && album_art == nullptr &&
                                (track == nullptr || track->url.empty()) &&
                                !cover_failed_lately(&failures, album_key, now);
        const bool search_track = has_title && track == nullptr && !cover_failed_lately(&failures, key, now);
        const cover_album_search album_search =
            !want_album ? cover_album_search::none
            : cover_cache_find(&albums_the_catalogue_lacks, album_key) != nullptr
                ? cover_album_search::second_source
                : cover_album_search::catalogue;
        if (search_track || want_album) {
            cover_worker_request({key, search_track, album_search});
        }
    });
    return image;
}

} // namespace

cover_image cover_image_for(const wchar_t *artist, const wchar_t *album, const wchar_t *title) noexcept
{
    return known_image(artist, album, title, true);
}

cover_image cover_image_known(const wchar_t *artist, const wchar_t *album, const wchar_t *title) noexcept
{
    return known_image(artist, album, title, false);
}
