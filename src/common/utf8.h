// UTF-8 read and written one code point at a time, and UTF-16 and UTF-8 each
// into the other: the host speaks UTF-16 (wchar_t is 16 bits on Windows),
// Discord, the services and the settings file UTF-8. This is the one UTF-8
// decoder of the plug-in (the conversion, the cut and the case fold read with
// it), with one rule for bad input: what is not well-formed becomes U+FFFD,
// one for each bad piece, and the rest of the text is kept. No Windows API here.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

inline constexpr char32_t replacement_character = 0xFFFD;

// The halves of a UTF-16 surrogate pair.
constexpr bool is_high_surrogate(char32_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}
constexpr bool is_low_surrogate(char32_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// One code point read from UTF-8 and the bytes it took.
struct utf8_code_point {
    char32_t code;
    size_t length;
};

// The code point at the start of `text` (not empty). A byte that starts no
// well-formed sequence, or a sequence cut short, reads as U+FFFD of length 1
// (overlong forms, surrogates and codes past U+10FFFF are not well-formed), so
// a bad sequence gives one U+FFFD for each of its bytes.
utf8_code_point utf8_decode_first(std::string_view text);

// Longest UTF-8 form of a code point.
inline constexpr size_t utf8_max_length = 4;

// Writes `code` (a code point other than a surrogate) as UTF-8 at `out`,
// which has room for utf8_max_length bytes; returns the bytes written.
size_t utf8_encode(char32_t code, char *out);

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

// `text` as UTF-16, read as utf8_decode_first reads it (U+FFFD for each bad byte).
utf16_string utf8_to_utf16(std::string_view text);
