// Cover cache: a list in order of use and an index into it; the failures
// kept for a minute.
#include "cover/cover_cache.h"

const cover_art *cover_cache_find(cover_cache *cache, const cover_key &key)
{
    const auto found = cache->index.find(key);
    if (found == cache->index.end()) {
        return nullptr;
    }
    cache->entries.splice(cache->entries.begin(), cache->entries, found->second);
    return &found->second->second;
}

void cover_cache_store(cover_cache *cache, const cover_key &key, cover_art art)
{
    if (const auto found = cache->index.find(key); found != cache->index.end()) {
        found->second->second = std::move(art);
        cache->entries.splice(cache->entries.begin(), cache->entries, found->second);
        return;
    }
    cache->entries.emplace_front(key, std::move(art));
    try {
        cache->index.emplace(key, cache->entries.begin());
    } catch (...) {
        cache->entries.pop_front(); // no entry without its index
        throw;
    }
    while (cache->entries.size() > cache->capacity) {
        cache->index.erase(cache->entries.back().first);
        cache->entries.pop_back();
    }
}

void cover_failure_note(cover_failures *failures, const cover_key &key, uint64_t now)
{
    if (failures->failed_at.size() >= failures->capacity) {
        std::erase_if(failures->failed_at,
                      [now](const auto &failure) { return now - failure.second >= cover_retry_after_ms; });
    }
    if (failures->failed_at.size() >= failures->capacity && !failures->failed_at.contains(key)) {
        failures->failed_at.erase(failures->failed_at.begin());
    }
    failures->failed_at[key] = now;
}

bool cover_failed_lately(const cover_failures *failures, const cover_key &key, uint64_t now)
{
    const auto found = failures->failed_at.find(key);
    return found != failures->failed_at.end() && now - found->second < cover_retry_after_ms;
}
