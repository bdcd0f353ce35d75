// Fuzz target of the cover reply's reading: any bytes, under a success and an
// error status, give either a cover that fits its field with, at most, an
// album page of the catalogue's exact form, or nothing at all; a page never
// comes without its cover.
#include "cover/cover_query.h"

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

// "https://www.deezer.com/album/" and a positive id of at most 2^63 - 1 in plain decimal.
bool is_album_page(std::string_view page)
{
    constexpr std::string_view prefix = "https://www.deezer.com/album/";
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

void check(unsigned status, const uint8_t *data, size_t size)
{
    std::vector<char> reply(data, data + size);
    reply.push_back('\0');
    const cover_outcome outcome = cover_judge_reply(status, reply.data());
    if (outcome.verdict != cover_verdict::found) {
        require(outcome.art.url.empty() && outcome.art.page.empty());
        return;
    }
    require(!outcome.art.url.empty() && outcome.art.url.size() <= cover_url_max_bytes);
    require(outcome.art.page.empty() ||
            (outcome.art.page.size() <= cover_page_max_bytes && is_album_page(outcome.art.page)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    check(200, data, size);
    check(503, data, size);
    return 0;
}
