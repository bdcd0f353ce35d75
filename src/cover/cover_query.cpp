// Search path encoding, reply navigation and the verdict on a reply.
#include "cover/cover_query.h"

#include <charconv>
#include <cstdint>

namespace {

constexpr const char *cover_names[] = {"cover_medium", "cover_large", "cover_small", "cover_xl"};

constexpr std::string_view album_page_prefix = "https://www.deezer.com/album/";

// Decimal digits of the largest id, 2^63 - 1.
constexpr size_t album_id_max_digits = 19;
static_assert(album_page_prefix.size() + album_id_max_digits == cover_page_max_bytes);

// What the service answers for an album without art: an image URL whose id is empty.
constexpr std::string_view empty_image_id = "/images/cover//";

bool is_unreserved(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

void append_search_word(std::string &path, std::string_view word)
{
    static constexpr char hex_digits[] = "0123456789ABCDEF";
    for (char c : word) {
        const auto byte = static_cast<unsigned char>(c == '"' ? ' ' : c);
        if (is_unreserved(byte)) {
            path += static_cast<char>(byte);
        } else {
            path += '%';
            path += hex_digits[byte >> 4];
            path += hex_digits[byte & 0x0F];
        }
    }
}

// The album record of the first track in the reply, or NULL when the reply has another shape.
const json_node *first_album(const json_node *root)
{
    const json_node *data = json_member(root, "data");
    if (data == nullptr || data->kind != JSON_ARRAY || data->length == 0) {
        return nullptr;
    }
    const json_node *track = data->first;
    if (track->kind != JSON_OBJECT) {
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

// The catalogue's id of `album`: its "id" as a positive integer, or 0 when
// that member is missing or anything else. A string must be the id's plain
// decimal form, so that it names the same page as the number would.
int64_t album_id(const json_node *album)
{
    const json_node *id = json_member(album, "id");
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

// The album's page at the catalogue, or empty when its id is not usable.
std::string album_page(const json_node *album)
{
    const int64_t id = album_id(album);
    if (id == 0) {
        return {};
    }
    std::string page(album_page_prefix);
    page += std::to_string(id);
    return page;
}

} // namespace

std::string cover_search_path(std::string_view artist, std::string_view album)
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

cover_reply cover_read_reply(char *reply)
{
    json_node *root = json_parse(reply);
    cover_reply result;
    const json_node *data = json_member(root, "data");
    result.search_result = data != nullptr && data->kind == JSON_ARRAY;
    if (const json_node *album = first_album(root)) {
        result.art.url = album_cover(album);
        if (!result.art.url.empty()) {
            result.art.page = album_page(album);
        }
    }
    json_free(root);
    return result;
}

cover_outcome cover_judge_reply(unsigned status, char *reply)
{
    if (reply[0] == '\0') {
        return {cover_verdict::unknown, {}};
    }
    cover_reply read = cover_read_reply(reply);
    if (!read.art.url.empty() && read.art.url.size() <= cover_url_max_bytes) {
        return {cover_verdict::found, std::move(read.art)};
    }
    if (status == 200 && read.search_result) {
        return {cover_verdict::none, {}};
    }
    return {cover_verdict::unknown, {}};
}
