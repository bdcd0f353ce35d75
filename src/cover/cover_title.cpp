// Case-insensitive comparison by a simple fold of a few alphabets.
#include "cover/cover_title.h"

#include <cstddef>

namespace {

// The next code point of `text` from `at`, folded to its small form; an
// invalid byte stands for itself.
char32_t next_folded(std::string_view text, size_t &at)
{
    const auto lead = static_cast<unsigned char>(text[at]);
    size_t length = lead < 0x80           ? 1
                    : (lead >> 5) == 0x6  ? 2
                    : (lead >> 4) == 0xE  ? 3
                    : (lead >> 3) == 0x1E ? 4
                                          : 0;
    char32_t code = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
    if (length == 0 || at + length > text.size()) {
        length = 1;
        code = 0x110000 + lead; // outside Unicode: equal only to the same byte
    } else {
        for (size_t i = 1; i < length; ++i) {
            const auto next = static_cast<unsigned char>(text[at + i]);
            if ((next & 0xC0) != 0x80) {
                length = 1;
                code = 0x110000 + lead;
                break;
            }
            code = (code << 6) | (next & 0x3F);
        }
    }
    at += length;
    if ((code >= 'A' && code <= 'Z') || (code >= 0xC0 && code <= 0xDE && code != 0xD7) ||
        (code >= 0x391 && code <= 0x3A9 && code != 0x3A2) || (code >= 0x410 && code <= 0x42F)) {
        return code + 0x20;
    }
    if (code >= 0x400 && code <= 0x40F) {
        return code + 0x50;
    }
    return code;
}

} // namespace

bool cover_same_title(std::string_view a, std::string_view b)
{
    size_t at_a = 0, at_b = 0;
    while (at_a < a.size() && at_b < b.size()) {
        if (next_folded(a, at_a) != next_folded(b, at_b)) {
            return false;
        }
    }
    return at_a == a.size() && at_b == b.size();
}
