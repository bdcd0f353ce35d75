// The secrets of a stream's address and the search for them in a text.
#include "common/stream_secrets.h"

#include "common/address.h"
#include "common/address_limits.h"
#include "common/case_fold.h"
#include "common/utf8.h"

#include <algorithm>

namespace {

// A secret this short is found only as a whole word: a one-letter user name
// or a two-digit path segment inside an ordinary word tells nothing.
constexpr size_t whole_word_below = 4;

// A path segment or host label this long is no ordinary word.
constexpr size_t ordinary_word_below = 12;

struct folded_text {
    std::string text;
    size_t code_points = 0;
};

folded_text fold(std::string_view text)
{
    folded_text folded;
    folded.text.reserve(text.size());
    while (!text.empty()) {
        const utf8_code_point point = utf8_decode_first(text);
        char bytes[utf8_max_length];
        folded.text.append(bytes, utf8_encode(case_fold(point.code), bytes));
        ++folded.code_points;
        text.remove_prefix(point.length);
    }
    return folded;
}

size_t code_points_of(std::string_view text)
{
    return fold(text).code_points;
}

bool is_ordinary_word(std::string_view word)
{
    return code_points_of(word) < ordinary_word_below &&
           std::ranges::none_of(word, [](char c) { return c >= '0' && c <= '9'; });
}

// Whether `host` is four dot-separated decimal numbers ("178.32.1.5").
bool is_ip_v4_address(std::string_view host)
{
    int numbers = 0;
    for (size_t start = 0;; ++numbers) {
        const size_t dot = host.find('.', start);
        const std::string_view number = host.substr(start, dot == std::string_view::npos ? dot : dot - start);
        if (number.empty() || number.size() > 3 ||
            !std::ranges::all_of(number, [](char c) { return c >= '0' && c <= '9'; })) {
            return false;
        }
        if (dot == std::string_view::npos) {
            return numbers == 3;
        }
        start = dot + 1;
    }
}

// Letters, digits and everything beyond ASCII make words.
bool is_word_byte(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || byte >= 0x80;
}

// Whether the folded `haystack` holds the folded `secret`, as a whole word when it is short.
bool holds(std::string_view haystack, std::string_view secret)
{
    const bool whole_word = code_points_of(secret) < whole_word_below;
    for (size_t at = haystack.find(secret); at != std::string_view::npos;
         at = haystack.find(secret, at + 1)) {
        const size_t end = at + secret.size();
        if (!whole_word || ((at == 0 || !is_word_byte(haystack[at - 1])) &&
                            (end == haystack.size() || !is_word_byte(haystack[end])))) {
            return true;
        }
    }
    return false;
}

bool holds_any(std::string_view text, const std::vector<std::string> &secrets)
{
    if (secrets.empty()) {
        return false;
    }
    const std::string raw = fold(text).text;
    const std::string decoded = fold(percent_decode(text)).text;
    return std::ranges::any_of(
        secrets, [&](const std::string &secret) { return holds(raw, secret) || holds(decoded, secret); });
}

} // namespace

std::vector<std::string> stream_secrets(std::string_view location)
{
    const std::optional<address_parts> parts = split_address(location);
    if (!parts) {
        return {};
    }
    std::vector<std::string> found;
    const auto add = [&](std::string_view secret) {
        std::string folded = fold(secret).text;
        if (!folded.empty() && std::ranges::find(found, folded) == found.end()) {
            found.push_back(std::move(folded));
        }
    };
    add(parts->user);
    add(parts->password);
    for (const address_query_item &item : parts->query) {
        // A key given alone ("?a1b2c3d4e5") stands in the name's place.
        if (!item.value.empty()) {
            add(item.value);
        } else if (!is_ordinary_word(item.name)) {
            add(item.name);
        }
    }
    add(parts->fragment);
    for (const std::string &segment : parts->path_segments) {
        if (!is_ordinary_word(segment)) {
            add(segment);
        }
    }
    // The numbers of an IP address are no secret, and as whole words they
    // would hide every title with a number.
    if (is_ip_v4_address(parts->host)) {
        return found;
    }
    size_t label_start = 0;
    for (;;) {
        const size_t dot = parts->host.find('.', label_start);
        const std::string_view label = std::string_view(parts->host).substr(label_start, dot - label_start);
        if (!is_ordinary_word(label)) {
            add(label);
        }
        if (dot == std::string::npos) {
            break;
        }
        label_start = dot + 1;
    }
    return found;
}

bool text_is_publishable(std::string_view text, const std::vector<std::string> &secrets)
{
    return text.find("://") == std::string_view::npos && !holds_any(text, secrets);
}

bool address_keeps_secrets(std::string_view address, const std::vector<std::string> &secrets)
{
    return !holds_any(address, secrets);
}

bool station_address_is_usable(std::string_view address, const std::vector<std::string> &secrets,
                               size_t max_bytes)
{
    if (!is_within_address_limits(address, max_bytes)) {
        return false;
    }
    const std::optional<address_parts> parts = split_address(address);
    return parts && !parts->has_query && !parts->has_fragment && address_keeps_secrets(address, secrets);
}
