// What the three services' requests and answers share: percent-encoding of
// query words, and the test of an image URL the activity can carry. No
// Windows API here.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Appends `text` (UTF-8) to `path` with every byte outside A-Z a-z 0-9 - . _ ~
// percent-encoded, so the words reach a service as they are and can never add
// or cut query parameters.
void cover_append_percent_encoded(std::string &path, std::string_view text);

// Whether `url` is an https address past the scheme, of the characters a URI
// may hold (ASCII letters, digits and -._~:/?#[]@!$&'()*+,;=%), of at most
// `limit` bytes.
bool cover_is_usable_https_url(std::string_view url, size_t limit);

// Whether `url` can be the activity's image: a usable https URL of at most
// cover_url_max_bytes.
bool cover_is_usable_image_url(std::string_view url);
