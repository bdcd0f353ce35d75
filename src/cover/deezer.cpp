// Deezer's search path and the reading of its reply.
#include "cover/deezer.h"

#include "common/case_fold.h"
#include "common/address.h"
#include "common/address_limits.h"
#include "json/json.h"

#include <charconv>
#include <cstdint>
#include <optional>

namespace {

constexpr const char *cover_names[] = {"cover_medium", "cover_large", "cover_small", "cover_xl"};

constexpr std::string_view album_page_prefix = "https://www.deezer.com/album/";
constexpr std::string_view artist_page_prefix = "https://www.deezer.com/artist/";
constexpr std::string_view track_page_prefix = "https://www.deezer.com/track/";

// Decimal digits of the largest id, 2^63 - 1.
constexpr size_t catalogue_id_max_digits = 19;
static_assert(artist_page_prefix.size() + catalogue_id_max_digits <= page_address_max_bytes);

// What the service answers for an album without art: an image URL whose id is empty.
constexpr std::string_view empty_image_id = "/images/cover//";

// A search word: a '"' becomes a space, the service having no escape for it.
void append_search_word(std::string &path, std::string_view word)
{
    std::string spaced(word);
    for (char &c : spaced) {
        if (c == '"') {
            c = ' ';
        }
    }
    append_percent_encoded(path, spaced);
}

// The cover URL of `album`: the first named cover with an image id, else empty.
std::string album_cover(const json_node *album)
{
    for (const char *name : cover_names) {
        const std::optional<std::string_view> url = json_member_string(album, name);
        if (url && url->find(empty_image_id) == std::string_view::npos) {
            return std::string(*url);
        }
    }
    return {};
}

// The catalogue's id of `record`: its "id" as a positive integer, or 0 when
// that member is missing or anything else. A string must be the id's plain
// decimal form, so that it names the same page as the number would.
int64_t catalogue_id(const json_node *record)
{
    const json_node *id = json_member(record, "id");
    if (id == nullptr) {
        return 0;
    }
    if (id->kind == JSON_INTEGER) {
        // Numbers above 2^63 - 1 hold their bit pattern, which reads as negative.
        return id->integer > 0 ? id->integer : 0;
    }
    if (id->kind != JSON_STRING || id->string[0] < '1' || id->string[0] > '9') {
        return 0;
    }
    const std::string_view digits = id->string;
    int64_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return error == std::errc{} && end == digits.data() + digits.size() ? value : 0;
}

// The page of `record` (an album, an artist, a track) at the catalogue, or
// empty when it has no usable id.
std::string catalogue_page(std::string_view prefix, const json_node *record)
{
    const int64_t id = record != nullptr ? catalogue_id(record) : 0;
    if (id == 0) {
        return {};
    }
    std::string page(prefix);
    page += std::to_string(id);
    return page;
}

// What a track record gives: its album's cover and page, its artist's and its own page.
cover_art track_art(const json_node *track)
{
    cover_art art;
    const json_node *album = json_member(track, "album");
    if (album != nullptr && album->kind == JSON_OBJECT) {
        art.url = album_cover(album);
        if (!art.url.empty()) {
            art.page = catalogue_page(album_page_prefix, album);
        }
    }
    const json_node *artist = json_member(track, "artist");
    if (artist != nullptr && artist->kind == JSON_OBJECT) {
        art.artist_page = catalogue_page(artist_page_prefix, artist);
    }
    const std::optional<std::string_view> title = json_member_string(track, "title");
    if (title && !title->empty() && title->size() <= cover_title_max_bytes) {
        art.track_page = catalogue_page(track_page_prefix, track);
        if (!art.track_page.empty()) {
            art.track_title = *title;
        }
    }
    return art;
}

// Drops a cover the activity cannot carry, with its page; true when one is left.
bool keep_usable_cover(cover_art &art)
{
    if (is_within_address_limits(art.url, image_address_max_bytes)) {
        return true;
    }
    art.url.clear();
    art.page.clear();
    return false;
}

} // namespace

std::string deezer_search_path(std::string_view artist, std::string_view title, std::string_view album)
{
    std::string path = "/search/track?strict=on&q=artist:%22";
    append_search_word(path, artist);
    path += "%22";
    if (!title.empty()) {
        path += "%20track:%22";
        append_search_word(path, title);
        path += "%22";
    }
    if (!album.empty()) {
        path += "%20album:%22";
        append_search_word(path, album);
        path += "%22";
    }
    path += "&limit=5";
    return path;
}

deezer_reply deezer_read_reply(char *reply, std::string_view title)
{
    json_node *root = json_parse(reply);
    deezer_reply result;
    const json_node *data = json_member(root, "data");
    result.search_result = data != nullptr && data->kind == JSON_ARRAY;
    if (result.search_result && data->first != nullptr && data->first->kind == JSON_OBJECT) {
        result.first = track_art(data->first);
    }
    for (const json_node *track = result.search_result && !title.empty() ? data->first : nullptr;
         track != nullptr; track = track->next) {
        const std::optional<std::string_view> played = json_member_string(track, "title");
        if (track->kind == JSON_OBJECT && played && same_text_ignoring_case(*played, title)) {
            result.matched = true;
            result.match = track_art(track);
            break;
        }
    }
    json_free(root);
    return result;
}

deezer_verdict deezer_judge_reply(unsigned status, char *reply, std::string_view title)
{
    if (reply[0] == '\0') {
        return {};
    }
    deezer_verdict verdict{false, deezer_read_reply(reply, title)};
    const bool first_cover = keep_usable_cover(verdict.reply.first);
    const bool match_cover = keep_usable_cover(verdict.reply.match);
    verdict.answered = first_cover || match_cover || (status == 200 && verdict.reply.search_result);
    if (!verdict.answered) {
        verdict.reply = {};
    }
    return verdict;
}
