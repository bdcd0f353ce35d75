// Fuzz target of the text composition: any UTF-16 text at any offset either
// leaves the field alone or is appended whole as UTF-8 that decodes back to
// exactly that text, terminated within the field's first 127 bytes; a
// one-character line is padded, and padding never makes a line too long.
#include "presence/compose.h"

#include <cstdlib>
#include <cstring>
#include <string>

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
    const unsigned offset = data[0] % 130;
    std::basic_string<utf16_char> text;
    for (size_t i = 1; i + 1 < size; i += 2) {
        text.push_back(static_cast<utf16_char>(data[i] | (data[i + 1] << 8)));
    }
    if (text.find(utf16_char{0}) != std::basic_string<utf16_char>::npos) {
        return 0; // the host's texts end at their first NUL
    }

    char field[128];
    std::memset(field, 'x', sizeof field);
    const int appended = utf8_append(text, field, offset);
    const bool written = appended > 0 || (text.empty() && offset < 127); // empty text: the terminator only
    if (!written) {
        require(appended == 0 && std::string(field, sizeof field) == std::string(128, 'x'));
        return 0;
    }
    require(offset < 127 && offset + static_cast<unsigned>(appended) <= 126);
    require(field[offset + appended] == '\0');
    const std::u16string decoded = decode(std::string(field + offset, static_cast<size_t>(appended)));
    require(decoded == std::u16string(text.begin(), text.end()));

    std::memset(field, 0, sizeof field);
    utf8_append(text, field, 0);
    const size_t before = std::strlen(field);
    pad_single_character(field);
    require(std::strlen(field) <= 126 && std::strlen(field) >= before);
    decode(field);
    return 0;
}
