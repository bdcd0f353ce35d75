// The two encodings' rules: lead and continuation bytes on one side,
// surrogate pairs on the other, U+FFFD for whatever breaks them.
#include "common/utf8.h"

#include <cstdint>

namespace {

void append_utf16(utf16_string &out, char32_t code)
{
    if (code < 0x10000) {
        out.push_back(static_cast<utf16_char>(code));
        return;
    }
    out.push_back(static_cast<utf16_char>(0xD800 + ((code - 0x10000) >> 10)));
    out.push_back(static_cast<utf16_char>(0xDC00 + ((code - 0x10000) & 0x3FF)));
}

} // namespace

utf8_code_point utf8_decode_first(std::string_view text)
{
    constexpr utf8_code_point bad_byte{replacement_character, 1};
    const auto lead = static_cast<unsigned char>(text[0]);
    if (lead < 0x80) {
        return {lead, 1};
    }
    const size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                          : lead >= 0xE0 && lead <= 0xEF ? 3
                          : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                         : 0;
    if (length == 0 || text.size() < length) {
        return bad_byte;
    }
    char32_t code = lead & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[k]);
        if ((next & 0xC0) != 0x80) {
            return bad_byte;
        }
        code = (code << 6) | (next & 0x3F);
    }
    constexpr char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < smallest[length] || code > 0x10FFFF || is_high_surrogate(code) || is_low_surrogate(code)) {
        return bad_byte;
    }
    return {code, length};
}

size_t utf8_encode(char32_t code, char *out)
{
    if (code < 0x80) {
        out[0] = static_cast<char>(code);
        return 1;
    }
    const size_t length = code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
    // Lead byte: as many high bits as bytes, then the highest bits of the code.
    const unsigned lead_marker = (0xF00u >> length) & 0xF0u;
    out[0] = static_cast<char>(lead_marker | (code >> (6 * (length - 1))));
    for (size_t k = 1; k < length; ++k) {
        out[k] = static_cast<char>(0x80 | ((code >> (6 * (length - 1 - k))) & 0x3F));
    }
    return length;
}

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
        char encoded[utf8_max_length];
        utf8.append(encoded, utf8_encode(code, encoded));
    }
    return utf8;
}

utf16_string utf8_to_utf16(std::string_view text)
{
    utf16_string utf16;
    utf16.reserve(text.size());
    while (!text.empty()) {
        const utf8_code_point next = utf8_decode_first(text);
        append_utf16(utf16, next.code);
        text.remove_prefix(next.length);
    }
    return utf16;
}
