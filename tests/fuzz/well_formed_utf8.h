// The fuzz targets' own test of UTF-8, written apart from the decoder in
// src/common so that the two check each other: shortest forms of U+0000 to
// U+10FFFF without surrogates.
#pragma once

#include <cstddef>
#include <string_view>

inline bool is_well_formed_utf8(std::string_view text)
{
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        const size_t bytes = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        if (lead < 0xC2 || lead > 0xF4 || i + bytes > text.size()) {
            return false;
        }
        char32_t code = lead & (0x7F >> bytes);
        for (size_t k = 1; k < bytes; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            code = (code << 6) | (next & 0x3F);
        }
        const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < smallest[bytes] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return false;
        }
        i += bytes;
    }
    return true;
}
