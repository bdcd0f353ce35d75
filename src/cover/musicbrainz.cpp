// MusicBrainz's release group search and the verdict on its answer.
#include "cover/musicbrainz.h"

#include "common/case_fold.h"
#include "common/address.h"
#include "common/address_limits.h"
#include "json/json.h"

#include <charconv>
#include <cstdint>
#include <optional>

namespace {

constexpr std::string_view release_group_page_prefix = "https://musicbrainz.org/release-group/";

// The length of a UUID.
constexpr size_t mbid_length = 36;
static_assert(release_group_page_prefix.size() + mbid_length == page_address_max_bytes);

// A release group whose score is lower is another album.
constexpr int64_t release_group_min_score = 90;

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

// Whether `artist` is the release group's credited artist: the whole credit
// as MusicBrainz writes it ("A feat. B"), or one of its artists.
bool credits(const json_node *group, std::string_view artist)
{
    const json_node *credit = json_member(group, "artist-credit");
    if (credit == nullptr || credit->kind != JSON_ARRAY) {
        return false;
    }
    std::string whole;
    for (const json_node *part = credit->first; part != nullptr; part = part->next) {
        const std::optional<std::string_view> name = json_member_string(part, "name");
        const std::optional<std::string_view> own_name =
            json_member_string(json_member(part, "artist"), "name");
        if ((name && same_text_ignoring_case(*name, artist)) ||
            (own_name && same_text_ignoring_case(*own_name, artist))) {
            return true;
        }
        whole += name.value_or(own_name.value_or(""));
        whole += json_member_string(part, "joinphrase").value_or("");
    }
    return !whole.empty() && same_text_ignoring_case(whole, artist);
}

} // namespace

std::string musicbrainz_release_group_path(std::string_view artist, std::string_view album)
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

std::string musicbrainz_release_group_page(std::string_view mbid)
{
    return std::string(release_group_page_prefix) + std::string(mbid);
}

release_group_verdict musicbrainz_judge_release_groups(unsigned status, char *reply, std::string_view artist,
                                                       std::string_view album)
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
                same_text_ignoring_case(*title, album) &&
                release_group_score(group) >= release_group_min_score && credits(group, artist)) {
                verdict = {cover_verdict::found, lower_ascii(*id)};
                break;
            }
        }
    }
    json_free(root);
    return verdict;
}
