// Simple case folding from runs of code points that fold alike, and the
// comparison of two texts folded in canonical composition.
#include "common/case_fold.h"

#include "common/normalize.h"
#include "common/utf8.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>

namespace {

// The code points first, first + stride, ... up to last fold to themselves plus delta.
struct fold_run {
    char32_t first;
    char32_t last;
    uint8_t stride;
    int32_t delta;
};

// Sorted by first code point; no run holds another run's code point.
constexpr fold_run fold_runs[] = {
#include "common/case_fold_table.inc"
};

// NFC(fold(NFD(text))) of UTF-8 text.
std::u32string folded_composition(std::string_view text)
{
    std::u32string codes;
    while (!text.empty()) {
        const utf8_code_point next = utf8_decode_first(text);
        codes += next.code;
        text.remove_prefix(next.length);
    }
    std::u32string folded = canonical_decomposition(codes);
    for (char32_t &code : folded) {
        code = case_fold(code);
    }
    return canonical_composition(folded);
}

bool is_ascii(std::string_view text)
{
    return std::ranges::all_of(text, [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

char ascii_fold(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

char32_t case_fold(char32_t code)
{
    const fold_run *after = std::upper_bound(std::begin(fold_runs), std::end(fold_runs), code,
                                             [](char32_t c, const fold_run &run) { return c < run.first; });
    if (after == std::begin(fold_runs)) {
        return code;
    }
    const fold_run &run = after[-1];
    if (code > run.last || (code - run.first) % run.stride != 0) {
        return code;
    }
    return static_cast<char32_t>(static_cast<int32_t>(code) + run.delta);
}

bool same_text_ignoring_case(std::string_view a, std::string_view b)
{
    // The same bytes read as the same text; ASCII is its own decomposition
    // and composition, and folds only its capitals.
    if (a == b) {
        return true;
    }
    if (is_ascii(a) && is_ascii(b)) {
        return std::ranges::equal(a, b, [](char x, char y) { return ascii_fold(x) == ascii_fold(y); });
    }
    return folded_composition(a) == folded_composition(b);
}
