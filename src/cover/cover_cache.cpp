// Cover cache: a list in order of use and an index into it.
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
