// Deezer's search path and the reading of its reply.
#include "cover/deezer.h"

#include "cover/cover_url.h"
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
static_assert(artist_page_prefix.size() + catalogue_id_max_digits <= cover_page_max_bytes);

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
    cover_append_percent_encoded(path, spaced);
}

// The first track of a search reply, or NULL.
const json_node *first_track(const json_node *root)
{
    const json_node *data = json_member(root, "data");
    if (data == nullptr || data->kind != JSON_ARRAY || data->length == 0 ||
        data->first->kind != JSON_OBJECT) {
        return nullptr;
    }
    return data->first;
}

// The album record of the first track in the reply, or NULL when the reply has another shape.
const json_node *first_album(const json_node *root)
{
    const json_node *track = first_track(root);
    if (track == nullptr) {
        return nullptr;
    }
    const json_node *album = json_member(track, "album");
    if (album == nullptr || album->kind != JSON_OBJECT) {
        return nullptr;
    }
    return album;
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

} // namespace

std::string deezer_search_path(std::string_view artist, std::string_view album)
{
    std::string path = "/search/track?strict=on&q=artist:%22";
    append_search_word(path, artist);
    path += "%22";
    if (!album.empty()) {
        path += "%20album:%22";
        append_search_word(path, album);
        path += "%22";
    }
    path += "&limit=1";
    return path;
}

deezer_reply deezer_read_reply(char *reply)
{
    json_node *root = json_parse(reply);
    deezer_reply result;
    const json_node *data = json_member(root, "data");
    result.search_result = data != nullptr && data->kind == JSON_ARRAY;
    if (const json_node *album = first_album(root)) {
        result.art.url = album_cover(album);
        if (!result.art.url.empty()) {
            result.art.page = catalogue_page(album_page_prefix, album);
        }
    }
    if (const json_node *track = first_track(root)) {
        const json_node *artist = json_member(track, "artist");
        if (artist != nullptr && artist->kind == JSON_OBJECT) {
            result.art.artist_page = catalogue_page(artist_page_prefix, artist);
        }
        const std::optional<std::string_view> title = json_member_string(track, "title");
        if (title && !title->empty() && title->size() <= cover_title_max_bytes) {
            result.art.track_page = catalogue_page(track_page_prefix, track);
            if (!result.art.track_page.empty()) {
                result.art.track_title = *title;
            }
        }
    }
    json_free(root);
    return result;
}

cover_outcome deezer_judge_reply(unsigned status, char *reply)
{
    if (reply[0] == '\0') {
        return {cover_verdict::unknown, {}};
    }
    deezer_reply read = deezer_read_reply(reply);
    if (cover_is_usable_image_url(read.art.url)) {
        return {cover_verdict::found, std::move(read.art)};
    }
    read.art.url.clear();
    read.art.page.clear();
    if (status == 200 && read.search_result) {
        return {cover_verdict::none, std::move(read.art)};
    }
    return {cover_verdict::unknown, {}};
}
