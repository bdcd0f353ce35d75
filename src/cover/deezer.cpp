// Deezer's search paths and its match rules: the track played, the album
// played and its artist, read from the replies.
#include "cover/deezer.h"

#include "common/case_fold.h"
#include "common/address.h"
#include "common/address_limits.h"
#include "json/json.h"

#include <algorithm>
#include <cctype>
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

// The album record's cover and page and the artist record's page.
cover_art album_art(const json_node *album, const json_node *artist)
{
    cover_art art;
    if (album != nullptr && album->kind == JSON_OBJECT) {
        art.url = album_cover(album);
        if (!art.url.empty()) {
            art.page = catalogue_page(album_page_prefix, album);
        }
    }
    if (artist != nullptr && artist->kind == JSON_OBJECT) {
        art.artist_page = catalogue_page(artist_page_prefix, artist);
    }
    return art;
}

// What a track record gives: its album's cover and page, its artist's page
// and its own page with `title`, the title it matched by.
cover_art track_art(const json_node *track, std::string_view title)
{
    cover_art art = album_art(json_member(track, "album"), json_member(track, "artist"));
    if (!title.empty() && title.size() <= cover_title_max_bytes) {
        art.track_page = catalogue_page(track_page_prefix, track);
        if (!art.track_page.empty()) {
            art.track_title = title;
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

// Whether `record`'s "artist" object names the played artist.
bool by_artist(const json_node *record, std::string_view played)
{
    const std::optional<std::string_view> name = json_member_string(json_member(record, "artist"), "name");
    return name && deezer_same_artist(*name, played);
}

// Whether `record`'s member `name` is a string that is `played` ignoring case.
bool member_is(const json_node *record, const char *name, std::string_view played)
{
    const std::optional<std::string_view> text = json_member_string(record, name);
    return text && same_text_ignoring_case(*text, played);
}

// A featuring credit's opening word, as it follows the lead artist and a blank
// (and an opening parenthesis or bracket), followed by the guest.
constexpr std::string_view featuring_words[] = {"feat. ", "feat ", "ft. ", "ft ", "featuring "};

// Whether `text` from `at` on (just after a blank) is a featuring credit
// naming someone: the word in any case, then a name.
bool is_featuring_credit(std::string_view text, size_t at)
{
    if (at < text.size() && (text[at] == '(' || text[at] == '[')) {
        ++at;
    }
    for (std::string_view word : featuring_words) {
        const std::string_view rest = text.substr(std::min(at, text.size()));
        if (rest.size() > word.size() &&
            std::equal(word.begin(), word.end(), rest.begin(),
                       [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); })) {
            return true;
        }
    }
    return false;
}

// Whether `credited` is `lead` followed by a blank and a featuring credit.
bool leads_with_guest(std::string_view credited, std::string_view lead)
{
    for (size_t blank = credited.find(' '); blank != std::string_view::npos;
         blank = credited.find(' ', blank + 1)) {
        if (is_featuring_credit(credited, blank + 1) &&
            same_text_ignoring_case(credited.substr(0, blank), lead)) {
            return true;
        }
    }
    return false;
}

} // namespace

std::string deezer_track_search_path(std::string_view artist, std::string_view title, std::string_view album)
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

std::string deezer_album_search_path(std::string_view artist, std::string_view album)
{
    std::string path = "/search/album?strict=on&q=artist:%22";
    append_search_word(path, artist);
    path += "%22%20album:%22";
    append_search_word(path, album);
    path += "%22&limit=5";
    return path;
}

bool deezer_same_artist(std::string_view listed, std::string_view played)
{
    return same_text_ignoring_case(listed, played) || leads_with_guest(listed, played) ||
           leads_with_guest(played, listed);
}

deezer_track_reply deezer_read_track_reply(char *reply, const cover_key &played)
{
    json_node *root = json_parse(reply);
    deezer_track_reply result;
    const json_node *data = json_member(root, "data");
    result.search_result = data != nullptr && data->kind == JSON_ARRAY;
    const json_node *first = result.search_result ? data->first : nullptr;
    // The very title first, then the title without its version.
    for (const char *title_name : {"title", "title_short"}) {
        for (const json_node *track = played.title.empty() ? nullptr : first;
             track != nullptr && !result.matched; track = track->next) {
            if (track->kind == JSON_OBJECT && member_is(track, title_name, played.title) &&
                by_artist(track, played.artist)) {
                result.matched = true;
                result.match = track_art(track, *json_member_string(track, title_name));
            }
        }
    }
    for (const json_node *track = played.album.empty() ? nullptr : first; track != nullptr;
         track = track->next) {
        if (track->kind == JSON_OBJECT && member_is(json_member(track, "album"), "title", played.album) &&
            by_artist(track, played.artist)) {
            result.album = album_art(json_member(track, "album"), json_member(track, "artist"));
            break;
        }
    }
    json_free(root);
    return result;
}

deezer_track_verdict deezer_judge_track_reply(unsigned status, char *reply, const cover_key &played)
{
    if (reply[0] == '\0') {
        return {};
    }
    deezer_track_reply found = deezer_read_track_reply(reply, played);
    const bool match_cover = keep_usable_cover(found.match);
    const bool album_cover = keep_usable_cover(found.album);
    if (!match_cover && !album_cover && !(status == 200 && found.search_result)) {
        return {};
    }
    deezer_track_verdict verdict;
    verdict.answered = true;
    if (found.matched) {
        verdict.track = {cover_verdict::found, std::move(found.match)};
    } else {
        // Without the track, the album's tracks still name its artist.
        verdict.track = {cover_verdict::none, {}};
        verdict.track.art.artist_page = found.album.artist_page;
    }
    if (album_cover) {
        verdict.album = std::move(found.album);
    }
    return verdict;
}

deezer_album_reply deezer_read_album_reply(char *reply, std::string_view artist, std::string_view album)
{
    json_node *root = json_parse(reply);
    deezer_album_reply result;
    const json_node *data = json_member(root, "data");
    result.search_result = data != nullptr && data->kind == JSON_ARRAY;
    for (const json_node *record = result.search_result ? data->first : nullptr; record != nullptr;
         record = record->next) {
        if (record->kind == JSON_OBJECT && member_is(record, "title", album) && by_artist(record, artist)) {
            result.matched = true;
            result.album = album_art(record, json_member(record, "artist"));
            break;
        }
    }
    json_free(root);
    return result;
}

cover_outcome deezer_judge_album_reply(unsigned status, char *reply, std::string_view artist,
                                       std::string_view album)
{
    if (reply[0] == '\0') {
        return {cover_verdict::unknown, {}};
    }
    deezer_album_reply found = deezer_read_album_reply(reply, artist, album);
    if (keep_usable_cover(found.album)) {
        return {cover_verdict::found, std::move(found.album)};
    }
    if (status == 200 && found.search_result) {
        return {cover_verdict::none, {}};
    }
    return {cover_verdict::unknown, {}};
}
