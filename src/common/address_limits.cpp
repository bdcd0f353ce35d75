// The limits of a publishable address, checked on the split address.
#include "common/address_limits.h"

#include "common/address.h"

bool is_within_address_limits(std::string_view url, size_t max_bytes)
{
    if (url.size() > max_bytes || !url.starts_with("https://")) {
        return false;
    }
    constexpr std::string_view uri_punctuation = "-._~:/?#[]@!$&'()*+,;=%";
    for (const char c : url) {
        const bool letter_or_digit =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!letter_or_digit && uri_punctuation.find(c) == std::string_view::npos) {
            return false;
        }
    }
    const std::optional<address_parts> parts = split_address(url);
    return parts && !parts->host.empty() && !parts->has_user;
}
