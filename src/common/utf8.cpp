// The two encodings' rules: surrogate pairs on one side, lead and
// continuation bytes on the other, U+FFFD for whatever breaks them.
#include "common/utf8.h"

#include <cstdint>

namespace {

constexpr char32_t replacement_character = 0xFFFD;

bool is_high_surrogate(char32_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool is_low_surrogate(char32_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

void append_utf8(std::string &out, char32_t code)
{
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
        return;
    }
    const unsigned bytes = code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
    // Lead byte: as many high bits as bytes, then the highest bits of the code.
    const unsigned lead_marker = (0xF00u >> bytes) & 0xF0u;
    out.push_back(static_cast<char>(lead_marker | (code >> (6 * (bytes - 1)))));
    for (unsigned shift = 6 * (bytes - 1); shift > 0; shift -= 6) {
        out.push_back(static_cast<char>(0x80 | ((code >> (shift - 6)) & 0x3F)));
    }
}

void append_utf16(utf16_string &out, char32_t code)
{
    if (code < 0x10000) {
        out.push_back(static_cast<utf16_char>(code));
        return;
    }
    out.push_back(static_cast<utf16_char>(0xD800 + ((code - 0x10000) >> 10)));
    out.push_back(static_cast<utf16_char>(0xDC00 + ((code - 0x10000) & 0x3FF)));
}

// The code of the well-formed sequence at the start of `bytes` and its
// length, or a length of 0 when none starts there.
struct decoded {
    char32_t code;
    size_t length;
};

decoded decode_utf8(std::string_view bytes)
{
    const auto lead = static_cast<unsigned char>(bytes[0]);
    if (lead < 0x80) {
        return {lead, 1};
    }
    const size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                          : lead >= 0xE0 && lead <= 0xEF ? 3
                          : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                         : 0;
    if (length == 0 || bytes.size() < length) {
        return {0, 0};
    }
    char32_t code = lead & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(bytes[k]);
        if ((next & 0xC0) != 0x80) {
            return {0, 0};
        }
        code = (code << 6) | (next & 0x3F);
    }
    constexpr char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < smallest[length] || code > 0x10FFFF || is_high_surrogate(code) || is_low_surrogate(code)) {
        return {0, 0};
    }
    return {code, length};
}

} // namespace

std::string utf16_to_utf8(utf16_view text)
{
    std::string utf8;
    utf8.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t code = static_cast<uint16_t>(text[i]);
        if (is_high_surrogate(code) && i + 1 < text.size() &&
            is_low_surrogate(static_cast<uint16_t>(text[i + 1]))) {
            code = 0x10000 + ((code - 0xD800) << 10) + (static_cast<uint16_t>(text[++i]) - 0xDC00);
        } else if (is_high_surrogate(code) || is_low_surrogate(code)) {
            code = replacement_character;
        }
        append_utf8(utf8, code);
    }
    return utf8;
}

utf16_string utf8_to_utf16(std::string_view text)
{
    utf16_string utf16;
    utf16.reserve(text.size());
    while (!text.empty()) {
        const decoded next = decode_utf8(text);
        if (next.length == 0) {
            append_utf16(utf16, replacement_character);
            text.remove_prefix(1);
            continue;
        }
        append_utf16(utf16, next.code);
        text.remove_prefix(next.length);
    }
    return utf16;
}
