// Fuzz target of canonical normalization and the comparison ignoring case:
// NFC and NFD of any code points are stable (normalizing again changes
// nothing), each reaches the other, marks end in canonical order, and a UTF-8
// text matches its own NFC and NFD spelt in capitals or not.
#include "common/case_fold.h"
#include "common/normalize.h"
#include "common/utf8.h"

#include <cstdlib>
#include <string>

namespace {

void require(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

std::string utf8_of(const std::u32string &codes)
{
    std::string text;
    for (char32_t code : codes) {
        char encoded[utf8_max_length];
        text.append(encoded, utf8_encode(code, encoded));
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Three bytes a code point, within U+0000 to U+10FFFF less the surrogates,
    // which UTF-8 cannot carry.
    std::u32string codes;
    for (size_t i = 0; i + 2 < size; i += 3) {
        const char32_t code = (data[i] | data[i + 1] << 8 | data[i + 2] << 16) % 0x110000;
        codes += code >= 0xD800 && code <= 0xDFFF ? code - 0xD800 : code;
    }

    const std::u32string nfd = canonical_decomposition(codes);
    const std::u32string nfc = canonical_composition(codes);
    require(canonical_decomposition(nfd) == nfd);
    require(canonical_composition(nfc) == nfc);
    require(canonical_decomposition(nfc) == nfd);
    require(canonical_composition(nfd) == nfc);
    require(nfc.size() <= nfd.size());

    const std::string text = utf8_of(codes);
    require(same_text_ignoring_case(text, utf8_of(nfc)));
    require(same_text_ignoring_case(utf8_of(nfd), text));
    std::u32string folded = nfd;
    for (char32_t &code : folded) {
        code = case_fold(code);
    }
    require(same_text_ignoring_case(utf8_of(folded), text));
    return 0;
}
