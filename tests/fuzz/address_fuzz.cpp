// Fuzz target of the address splitter and the secrets of a stream's address:
// any bytes split without a fault, decoded parts never grow, a publishable
// address is https and holds no user, and no secret of an address is left
// publishable in a text that quotes it.
#include "common/address.h"
#include "common/address_limits.h"
#include "common/stream_secrets.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void require(bool holds)
{
    if (!holds) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    require(percent_decode(text).size() <= text.size());
    const std::optional<address_parts> parts = split_address(text);
    require(parts.has_value() == address_scheme(text).has_value());
    if (parts) {
        require(parts->has_password <= parts->has_user);
        require(parts->user.size() + parts->password.size() + parts->host.size() <= text.size());
    }
    if (is_within_address_limits(text, link_address_max_bytes)) {
        require(text.starts_with("https://") && text.size() <= link_address_max_bytes && !parts->has_user);
    }
    const std::vector<std::string> secrets = stream_secrets(text);
    for (const std::string &secret : secrets) {
        require(!secret.empty());
        require(!text_is_publishable("[" + secret + "]", secrets));
    }
    return 0;
}
