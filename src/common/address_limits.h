// The limits of an address the activity may carry: https, a host, no user or
// password, only the characters a URI may hold, and the lengths Discord takes
// for an image and for a link. No Windows API here.
#pragma once

#include <cstddef>
#include <string_view>

// Longest image address: Discord's references give image addresses of up to
// 256 characters (newer ones 300 or 313), and the shortest is kept. The Cover
// Art Archive's image addresses at archive.org run to about 150.
inline constexpr size_t image_address_max_bytes = 256;

// Longest link (a line's, the image's): Discord takes links of up to 256 characters.
inline constexpr size_t link_address_max_bytes = 256;

// Longest page link the cover services give: MusicBrainz's release group
// address with its 36-character id; the catalogue's album, artist and track
// addresses with ids of up to 19 digits are shorter.
inline constexpr size_t page_address_max_bytes = 74;

// Whether `url` is within the limits of an address the activity may carry:
// "https://" and a host, no user or password, only ASCII letters, digits and
// -._~:/?#[]@!$&'()*+,;=% (no space, quote, backslash, brace or anything
// beyond ASCII), and at most `max_bytes` bytes.
bool is_within_address_limits(std::string_view url, size_t max_bytes);
