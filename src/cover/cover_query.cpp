// Search path encoding, reply navigation and the verdicts on the three
// services' answers.
#include "cover/cover_query.h"

#include <charconv>
#include <cstdint>
#include <optional>

namespace {

constexpr const char *cover_names[] = {"cover_medium", "cover_large", "cover_small", "cover_xl"};

constexpr std::string_view album_page_prefix = "https://www.deezer.com/album/";
constexpr std::string_view artist_page_prefix = "https://www.deezer.com/artist/";
constexpr std::string_view track_page_prefix = "https://www.deezer.com/track/";
constexpr std::string_view release_group_page_prefix = "https://musicbrainz.org/release-group/";
constexpr std::string_view front_url_prefix = "https://coverartarchive.org";
constexpr std::string_view https_prefix = "https://";

// Decimal digits of the largest id, 2^63 - 1, and the length of a UUID.
constexpr size_t catalogue_id_max_digits = 19;
constexpr size_t mbid_length = 36;
static_assert(release_group_page_prefix.size() + mbid_length == cover_page_max_bytes);
static_assert(artist_page_prefix.size() + catalogue_id_max_digits <= cover_page_max_bytes);

// A release group whose score is lower is another album.
constexpr int64_t release_group_min_score = 90;

// What the service answers for an album without art: an image URL whose id is empty.
constexpr std::string_view empty_image_id = "/images/cover//";

bool is_unreserved(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

void append_percent_encoded(std::string &path, std::string_view text)
{
    static constexpr char hex_digits[] = "0123456789ABCDEF";
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (is_unreserved(byte)) {
            path += c;
        } else {
            path += '%';
            path += hex_digits[byte >> 4];
            path += hex_digits[byte & 0x0F];
        }
    }
}

// A catalogue search word: a '"' becomes a space, the service having no escape for it.
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

// A quoted value of MusicBrainz's search syntax, '"' and '\' escaped.
void append_quoted_term(std::string &query, std::string_view value)
{
    query += '"';
    for (char c : value) {
        if (c == '"' || c == '\\') {
            query += '\\';
        }
        query += c;
    }
    query += '"';
}

// The next code point of `text` from `at`, folded to its small form; an
// invalid byte stands for itself.
char32_t next_folded(std::string_view text, size_t &at)
{
    const auto lead = static_cast<unsigned char>(text[at]);
    size_t length = lead < 0x80           ? 1
                    : (lead >> 5) == 0x6  ? 2
                    : (lead >> 4) == 0xE  ? 3
                    : (lead >> 3) == 0x1E ? 4
                                          : 0;
    char32_t code = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
    if (length == 0 || at + length > text.size()) {
        length = 1;
        code = 0x110000 + lead; // outside Unicode: equal only to the same byte
    } else {
        for (size_t i = 1; i < length; ++i) {
            const auto next = static_cast<unsigned char>(text[at + i]);
            if ((next & 0xC0) != 0x80) {
                length = 1;
                code = 0x110000 + lead;
                break;
            }
            code = (code << 6) | (next & 0x3F);
        }
    }
    at += length;
    if ((code >= 'A' && code <= 'Z') || (code >= 0xC0 && code <= 0xDE && code != 0xD7) ||
        (code >= 0x391 && code <= 0x3A9 && code != 0x3A2) || (code >= 0x410 && code <= 0x42F)) {
        return code + 0x20;
    }
    if (code >= 0x400 && code <= 0x40F) {
        return code + 0x50;
    }
    return code;
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

// An https URL that fits the image field, of printable ASCII without spaces.
bool is_usable_image_url(std::string_view url)
{
    if (!url.starts_with(https_prefix) || url.size() > cover_url_max_bytes) {
        return false;
    }
    for (char c : url) {
        if (c <= ' ' || c > '~') {
            return false;
        }
    }
    return true;
}

bool is_uuid(std::string_view text)
{
    if (text.size() != mbid_length) {
        return false;
    }
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (dash ? c != '-' : !hex) {
            return false;
        }
    }
    return true;
}

std::string lower_ascii(std::string_view text)
{
    std::string lower(text);
    for (char &c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return lower;
}

// A release group's score, written as an integer or as a string of digits; -1 otherwise.
int64_t release_group_score(const json_node *group)
{
    const json_node *score = json_member(group, "score");
    if (score == nullptr) {
        return -1;
    }
    if (score->kind == JSON_INTEGER) {
        return score->integer;
    }
    int64_t value = -1;
    if (score->kind == JSON_STRING) {
        const std::string_view digits = score->string;
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        if (error != std::errc{} || end != digits.data() + digits.size()) {
            return -1;
        }
    }
    return value;
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

std::string cover_release_group_path(std::string_view artist, std::string_view album)
{
    std::string query = "releasegroup:";
    append_quoted_term(query, album);
    query += " AND artist:";
    append_quoted_term(query, artist);
    std::string path = "/ws/2/release-group/?query=";
    append_percent_encoded(path, query);
    path += "&fmt=json&limit=5";
    return path;
}

std::string cover_front_path(std::string_view mbid)
{
    std::string path = "/release-group/";
    path += mbid;
    path += "/front-250";
    return path;
}

std::string cover_front_url(std::string_view mbid)
{
    return std::string(front_url_prefix) + cover_front_path(mbid);
}

bool cover_same_title(std::string_view a, std::string_view b)
{
    size_t at_a = 0, at_b = 0;
    while (at_a < a.size() && at_b < b.size()) {
        if (next_folded(a, at_a) != next_folded(b, at_b)) {
            return false;
        }
    }
    return at_a == a.size() && at_b == b.size();
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

cover_outcome cover_judge_reply(unsigned status, char *reply)
{
    if (reply[0] == '\0') {
        return {cover_verdict::unknown, {}};
    }
    cover_reply read = cover_read_reply(reply);
    if (is_usable_image_url(read.art.url)) {
        return {cover_verdict::found, std::move(read.art)};
    }
    read.art.url.clear();
    read.art.page.clear();
    if (status == 200 && read.search_result) {
        return {cover_verdict::none, std::move(read.art)};
    }
    return {cover_verdict::unknown, {}};
}

release_group_verdict cover_judge_release_groups(unsigned status, char *reply, std::string_view album)
{
    if (status != 200 || reply[0] == '\0') {
        return {cover_verdict::unknown, {}};
    }
    json_node *root = json_parse(reply);
    const json_node *groups = json_member(root, "release-groups");
    release_group_verdict verdict{cover_verdict::unknown, {}};
    if (groups != nullptr && groups->kind == JSON_ARRAY) {
        verdict.verdict = cover_verdict::none;
        for (const json_node *group = groups->first; group != nullptr; group = group->next) {
            const std::optional<std::string_view> id = json_member_string(group, "id");
            const std::optional<std::string_view> title = json_member_string(group, "title");
            if (group->kind == JSON_OBJECT && id && is_uuid(*id) && title &&
                cover_same_title(*title, album) && release_group_score(group) >= release_group_min_score) {
                verdict = {cover_verdict::found, lower_ascii(*id)};
                break;
            }
        }
    }
    json_free(root);
    return verdict;
}

cover_outcome cover_judge_front(unsigned status, std::string_view location, std::string_view mbid)
{
    cover_outcome outcome{cover_verdict::found, {}};
    switch (status) {
    case 307:
        if (is_usable_image_url(location)) {
            outcome.art.url = location;
            break;
        }
        [[fallthrough]];
    case 200:
        outcome.art.url = cover_front_url(mbid);
        break;
    case 404:
        return {cover_verdict::none, {}};
    default:
        return {cover_verdict::unknown, {}};
    }
    outcome.art.page = std::string(release_group_page_prefix) + std::string(mbid);
    return outcome;
}
