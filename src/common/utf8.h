// UTF-16 and UTF-8, each into the other: the host speaks UTF-16 (wchar_t is 16
// bits on Windows), Discord, the catalogue and the settings file UTF-8. What
// is not well-formed becomes U+FFFD, one for each bad piece, and the rest of
// the text is kept. No Windows API here.
#pragma once

#include <string>
#include <string_view>

// UTF-16 text as the host hands it over, and its literals.
#ifdef _WIN32
using utf16_char = wchar_t;
#define UTF16(text) L##text
#else
using utf16_char = char16_t;
#define UTF16(text) u##text
#endif
using utf16_view = std::basic_string_view<utf16_char>;
using utf16_string = std::basic_string<utf16_char>;

// `text` as UTF-8; an unpaired surrogate becomes U+FFFD.
std::string utf16_to_utf8(utf16_view text);

// `text` as UTF-16; a byte that starts no well-formed sequence, or a
// sequence cut short, becomes U+FFFD (overlong forms, surrogates and codes
// past U+10FFFF are not well-formed).
utf16_string utf8_to_utf16(std::string_view text);
