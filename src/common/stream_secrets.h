// What a stream's address keeps secret, and whether a text or an address
// would give it away. A stream's address may carry a user and password, a
// listen key in its query or its path, a token in a host name: the secrets
// are its user name, password, every query value, the fragment, every path
// segment or host label that is not an ordinary word (it holds a digit or
// runs 12 characters or more). Texts and addresses
// are compared percent-decoded and ignoring case (Unicode's simple case
// folding); a secret shorter than 4 characters counts only as a whole word.
// No Windows API here.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The secrets of the stream at `location` (UTF-8), case-folded and
// percent-decoded, each once; none for a text that is not an address.
std::vector<std::string> stream_secrets(std::string_view location);

// Whether `text` (UTF-8) may be shown or sent to a service: it holds no
// "://" (no address) and none of `secrets`.
bool text_is_publishable(std::string_view text, const std::vector<std::string> &secrets);

// Whether `address` (UTF-8) holds none of `secrets`.
bool address_keeps_secrets(std::string_view address, const std::vector<std::string> &secrets);

// Whether `address`, which the station itself names (its art, its home
// page), may be used: https within `max_bytes` (common/address_limits.h),
// without user, password, query or fragment, and holding none of the
// secrets of the stream's own address.
bool station_address_is_usable(std::string_view address, const std::vector<std::string> &secrets,
                               size_t max_bytes);
