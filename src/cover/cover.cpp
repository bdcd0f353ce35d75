// Cover front: the cache consulted for every track activity, the lookups asked
// of the worker, and the outcomes it hands back.
#include "cover/cover.h"

#include "common/guarded.h"
#include "common/utf8.h"
#include "cover/cover_title.h"
#include "cover/cover_worker.h"

#include <string>

namespace {

cover_cache cache;
cover_failures failures;
cover_found_callback found_callback;

// Remembers what the services answered; a failure is only noted, so that a
// play a minute later asks again.
void take_result(const cover_result &result)
{
    const cover_art &art = result.outcome.art;
    if (result.outcome.verdict == cover_verdict::unknown) {
        cover_failure_note(&failures, result.key, GetTickCount64());
        return;
    }
    cover_cache_store(&cache, result.key, art);
    if (result.outcome.verdict == cover_verdict::found || !art.artist_page.empty() ||
        !art.track_page.empty()) {
        found_callback(result.key);
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
}

cover_key cover_key_of(const wchar_t *artist, const wchar_t *album)
{
    return {utf16_to_utf8(artist), utf16_to_utf8(album)};
}

cover_image cover_image_for(const wchar_t *artist, const wchar_t *album, const wchar_t *title) noexcept
{
    // Fits the string's own storage: the fallback never allocates.
    cover_image image{cover_fallback_image, {}, {}, {}};
    if (artist[0] == L'\0') {
        return image;
    }
    // Without memory for the key or the copies the activity goes out with the fallback image.
    guarded([&] {
        const cover_key key = cover_key_of(artist, album);
        if (const cover_art *known = cover_cache_find(&cache, key)) {
            cover_image found = image;
            if (!known->url.empty()) {
                found.large_image = known->url;
                found.large_url = known->page;
            }
            found.artist_url = known->artist_page;
            if (!known->track_page.empty() && cover_same_title(known->track_title, utf16_to_utf8(title))) {
                found.title_url = known->track_page;
            }
            image = std::move(found);
            return;
        }
        if (!cover_failed_lately(&failures, key, GetTickCount64())) {
            cover_worker_request(key);
        }
    });
    return image;
}
