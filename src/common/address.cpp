// The address splitter, percent-decoding and percent-encoding.
#include "common/address.h"

#include "common/hex_digit.h"

namespace {

constexpr std::string_view scheme_end = "://";

bool is_ascii_letter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool is_ascii_digit(char c)
{
    return c >= '0' && c <= '9';
}

bool is_unreserved(char c)
{
    return is_ascii_letter(c) || is_ascii_digit(c) || c == '-' || c == '.' || c == '_' || c == '~';
}

std::string lower_ascii(std::string text)
{
    for (char &c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

// The pieces of `text` between `separator`s, empty ones included.
std::vector<std::string_view> pieces(std::string_view text, char separator)
{
    std::vector<std::string_view> found;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(separator, start);
        found.push_back(
            text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) {
            return found;
        }
        start = end + 1;
    }
}

// Host and port of an authority without its user part.
void split_host_and_port(std::string_view host_and_port, address_parts &parts)
{
    size_t host_end = host_and_port.size();
    const size_t colon = host_and_port.rfind(':');
    const size_t bracket = host_and_port.rfind(']');
    if (colon != std::string_view::npos && (bracket == std::string_view::npos || colon > bracket)) {
        host_end = colon;
        parts.port = host_and_port.substr(colon + 1);
    }
    parts.host = lower_ascii(percent_decode(host_and_port.substr(0, host_end)));
}

void split_authority(std::string_view authority, address_parts &parts)
{
    const size_t at = authority.rfind('@');
    if (at != std::string_view::npos) {
        const std::string_view user_part = authority.substr(0, at);
        const size_t colon = user_part.find(':');
        parts.has_user = true;
        parts.user = percent_decode(user_part.substr(0, colon));
        if (colon != std::string_view::npos) {
            parts.has_password = true;
            parts.password = percent_decode(user_part.substr(colon + 1));
        }
        authority = authority.substr(at + 1);
    }
    split_host_and_port(authority, parts);
}

} // namespace

std::string percent_decode(std::string_view text)
{
    std::string decoded;
    decoded.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hex_digit_value(text[i + 1]) >= 0 &&
            hex_digit_value(text[i + 2]) >= 0) {
            decoded += static_cast<char>(hex_digit_value(text[i + 1]) * 16 + hex_digit_value(text[i + 2]));
            i += 2;
        } else {
            decoded += text[i];
        }
    }
    return decoded;
}

void append_percent_encoded(std::string &out, std::string_view text)
{
    static constexpr char hex_digits[] = "0123456789ABCDEF";
    for (char c : text) {
        if (is_unreserved(c)) {
            out += c;
        } else {
            const auto byte = static_cast<unsigned char>(c);
            out += '%';
            out += hex_digits[byte >> 4];
            out += hex_digits[byte & 0x0F];
        }
    }
}

std::optional<std::string> address_scheme(std::string_view text)
{
    const size_t end = text.find(scheme_end);
    if (end == std::string_view::npos || end == 0 || !is_ascii_letter(text[0])) {
        return std::nullopt;
    }
    for (const char c : text.substr(0, end)) {
        if (!is_ascii_letter(c) && !is_ascii_digit(c) && c != '+' && c != '-' && c != '.') {
            return std::nullopt;
        }
    }
    return lower_ascii(std::string(text.substr(0, end)));
}

std::optional<address_parts> split_address(std::string_view text)
{
    std::optional<std::string> scheme = address_scheme(text);
    if (!scheme) {
        return std::nullopt;
    }
    address_parts parts;
    std::string_view rest = text.substr(scheme->size() + scheme_end.size());
    parts.scheme = std::move(*scheme);

    const size_t hash = rest.find('#');
    if (hash != std::string_view::npos) {
        parts.has_fragment = true;
        parts.fragment = percent_decode(rest.substr(hash + 1));
        rest = rest.substr(0, hash);
    }
    const size_t question = rest.find('?');
    if (question != std::string_view::npos) {
        parts.has_query = true;
        for (const std::string_view item : pieces(rest.substr(question + 1), '&')) {
            if (item.empty()) {
                continue;
            }
            const size_t equals = item.find('=');
            parts.query.push_back(
                {percent_decode(item.substr(0, equals)),
                 equals == std::string_view::npos ? std::string() : percent_decode(item.substr(equals + 1))});
        }
        rest = rest.substr(0, question);
    }
    const size_t slash = rest.find('/');
    split_authority(rest.substr(0, slash), parts);
    if (slash != std::string_view::npos) {
        for (const std::string_view segment : pieces(rest.substr(slash + 1), '/')) {
            if (!segment.empty()) {
                parts.path_segments.push_back(percent_decode(segment));
            }
        }
    }
    return parts;
}
