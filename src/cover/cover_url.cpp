// Percent-encoding and the tests of an https URL and of an image URL.
#include "cover/cover_url.h"

#include "cover/cover_verdict.h"

namespace {

bool is_unreserved(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

} // namespace

void cover_append_percent_encoded(std::string &path, std::string_view text)
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

bool cover_is_usable_https_url(std::string_view url, size_t limit)
{
    if (!url.starts_with("https://") || url.size() == 8 || url.size() > limit) {
        return false;
    }
    // The characters a URI may hold: no space, quote, backslash, brace or anything beyond ASCII.
    constexpr std::string_view uri_punctuation = "-._~:/?#[]@!$&'()*+,;=%";
    for (char c : url) {
        const auto byte = static_cast<unsigned char>(c);
        if (!is_unreserved(byte) && uri_punctuation.find(c) == std::string_view::npos) {
            return false;
        }
    }
    return true;
}

bool cover_is_usable_image_url(std::string_view url)
{
    return cover_is_usable_https_url(url, cover_url_max_bytes);
}
