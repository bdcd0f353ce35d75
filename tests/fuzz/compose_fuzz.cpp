// Fuzz target of the text composition: any UTF-16 text becomes well-formed
// UTF-8; cut to any room, it stays within that room and is a prefix of the
// text (whole, or followed by the ellipsis); every composed line stays within
// the field, a one-character line is padded, and padding never makes a line
// too long.
#include "presence/compose.h"

#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void require(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

// Decodes well-formed UTF-8 back to UTF-16; aborts on anything else.
std::u16string decode(const std::string &utf8)
{
    std::u16string text;
    for (size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const size_t bytes = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        require(lead < 0x80 || (lead >= 0xC2 && lead <= 0xF4));
        require(i + bytes <= utf8.size());
        char32_t code = bytes == 1 ? lead : lead & (0x7F >> bytes);
        for (size_t k = 1; k < bytes; ++k) {
            const auto next = static_cast<unsigned char>(utf8[i + k]);
            require((next & 0xC0) == 0x80);
            code = (code << 6) | (next & 0x3F);
        }
        const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        require(code >= smallest[bytes] && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF));
        if (code >= 0x10000) {
            text.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
            text.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
        } else {
            text.push_back(static_cast<char16_t>(code));
        }
        i += bytes;
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1) {
        return 0;
    }
    const size_t room = data[0] % 130;
    utf16_string text;
    for (size_t i = 1; i + 1 < size; i += 2) {
        text.push_back(static_cast<utf16_char>(data[i] | (data[i + 1] << 8)));
    }
    if (text.find(utf16_char{0}) != utf16_string::npos) {
        return 0; // the host's texts end at their first NUL
    }

    const std::string utf8 = utf16_to_utf8(text);
    decode(utf8);
    const std::string fitted = fit_text(utf8, room);
    require(fitted.size() <= room);
    decode(fitted);
    if (fitted != utf8 && !fitted.empty()) {
        const std::string_view ellipsis = "\u2026";
        require(fitted.size() >= ellipsis.size() && fitted.ends_with(ellipsis));
        require(utf8.starts_with(std::string_view(fitted).substr(0, fitted.size() - ellipsis.size())));
    }

    const cfg_settings settings;
    const utf16_view half(text.data(), text.size() / 2);
    std::string lines[] = {compose_state(settings, text, data[0] & 1 ? 1 : 3),
                           compose_details(settings, half, utf16_view(text).substr(half.size()))};
    for (std::string &line : lines) {
        require(line.size() <= field_text_limit);
        decode(line);
        const size_t before = line.size();
        pad_single_character(line);
        require(line.size() <= field_text_limit && line.size() >= before);
        decode(line);
    }
    return 0;
}
