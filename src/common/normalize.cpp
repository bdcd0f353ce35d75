// Normalization forms D and C: table-driven decomposition and composition, and
// the arithmetic of Hangul syllables, as UAX #15 and Unicode's chapter 3 define them.
#include "common/normalize.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace {

// The Canonical_Combining_Class of the code points from `first` to the next entry's first.
struct class_start {
    char32_t first;
    uint8_t combining_class;
};

constexpr class_start class_starts[] = {
#include "common/combining_class_table.inc"
};

// A canonical decomposition mapping: `code` to `first` and `second` (0 when it maps to one code point).
struct decomposition {
    char32_t code;
    char32_t first;
    char32_t second;
};

constexpr decomposition decompositions[] = {
#include "common/decomposition_table.inc"
};

// A pair that composes to a primary composite.
struct composition {
    char32_t first;
    char32_t second;
    char32_t composite;
};

constexpr composition compositions[] = {
#include "common/composition_table.inc"
};

// Hangul syllables: each is a leading consonant, a vowel and an optional
// trailing consonant, numbered in that order from U+AC00.
constexpr char32_t hangul_first_syllable = 0xAC00;
constexpr char32_t hangul_first_leading = 0x1100;
constexpr char32_t hangul_first_vowel = 0x1161;
constexpr char32_t hangul_trailing_base = 0x11A7; // one before the first trailing consonant
constexpr char32_t hangul_leading_count = 19;
constexpr char32_t hangul_vowel_count = 21;
constexpr char32_t hangul_trailing_count = 28; // the trailing consonants and none
constexpr char32_t hangul_syllables_per_leading = hangul_vowel_count * hangul_trailing_count;
constexpr char32_t hangul_syllable_count = hangul_leading_count * hangul_syllables_per_leading;

uint8_t combining_class_of(char32_t code)
{
    const auto after = std::upper_bound(std::begin(class_starts), std::end(class_starts), code,
                                        [](char32_t c, const class_start &start) { return c < start.first; });
    return after[-1].combining_class; // the table starts at U+0000
}

bool is_hangul_syllable(char32_t code)
{
    return code >= hangul_first_syllable && code - hangul_first_syllable < hangul_syllable_count;
}

void append_hangul_decomposition(char32_t syllable, std::u32string &out)
{
    const char32_t index = syllable - hangul_first_syllable;
    out += hangul_first_leading + index / hangul_syllables_per_leading;
    out += hangul_first_vowel + index % hangul_syllables_per_leading / hangul_trailing_count;
    if (index % hangul_trailing_count != 0) {
        out += hangul_trailing_base + index % hangul_trailing_count;
    }
}

// Appends the full canonical decomposition of `code` (mappings applied until none is left).
void append_decomposition(char32_t code, std::u32string &out)
{
    if (is_hangul_syllable(code)) {
        append_hangul_decomposition(code, out);
        return;
    }
    const auto found = std::lower_bound(std::begin(decompositions), std::end(decompositions), code,
                                        [](const decomposition &d, char32_t c) { return d.code < c; });
    if (found == std::end(decompositions) || found->code != code) {
        out += code;
        return;
    }
    append_decomposition(found->first, out);
    if (found->second != 0) {
        append_decomposition(found->second, out);
    }
}

// The Hangul syllable a leading consonant and a vowel, or an LV syllable and a
// trailing consonant, make; 0 for any other pair.
char32_t hangul_composite(char32_t first, char32_t second)
{
    if (first >= hangul_first_leading && first < hangul_first_leading + hangul_leading_count &&
        second >= hangul_first_vowel && second < hangul_first_vowel + hangul_vowel_count) {
        return hangul_first_syllable + (first - hangul_first_leading) * hangul_syllables_per_leading +
               (second - hangul_first_vowel) * hangul_trailing_count;
    }
    if (is_hangul_syllable(first) && (first - hangul_first_syllable) % hangul_trailing_count == 0 &&
        second > hangul_trailing_base && second < hangul_trailing_base + hangul_trailing_count) {
        return first + (second - hangul_trailing_base);
    }
    return 0;
}

// The primary composite of `first` followed by `second`, or 0 when there is none.
char32_t composite_of(char32_t first, char32_t second)
{
    if (const char32_t hangul = hangul_composite(first, second)) {
        return hangul;
    }
    const auto found =
        std::lower_bound(std::begin(compositions), std::end(compositions), composition{first, second, 0},
                         [](const composition &a, const composition &b) {
                             return a.first != b.first ? a.first < b.first : a.second < b.second;
                         });
    return found != std::end(compositions) && found->first == first && found->second == second
               ? found->composite
               : 0;
}

} // namespace

std::u32string canonical_decomposition(std::u32string_view text)
{
    std::u32string decomposed;
    decomposed.reserve(text.size());
    for (char32_t code : text) {
        append_decomposition(code, decomposed);
    }
    // Canonical ordering: a stable sort of each run of marks by combining class.
    for (size_t run_start = 0; run_start < decomposed.size();) {
        if (combining_class_of(decomposed[run_start]) == 0) {
            ++run_start;
            continue;
        }
        size_t run_end = run_start;
        while (run_end < decomposed.size() && combining_class_of(decomposed[run_end]) != 0) {
            ++run_end;
        }
        std::stable_sort(
            decomposed.begin() + static_cast<std::ptrdiff_t>(run_start),
            decomposed.begin() + static_cast<std::ptrdiff_t>(run_end),
            [](char32_t a, char32_t b) { return combining_class_of(a) < combining_class_of(b); });
        run_start = run_end;
    }
    return decomposed;
}

std::u32string canonical_composition(std::u32string_view text)
{
    const std::u32string decomposed = canonical_decomposition(text);
    std::u32string composed;
    composed.reserve(decomposed.size());
    constexpr size_t no_starter = std::u32string::npos;
    size_t starter = no_starter;
    uint8_t last_class = 0; // of the last code point kept after the starter
    for (char32_t code : decomposed) {
        const uint8_t combining_class = combining_class_of(code);
        // A code point between the starter and this one blocks them when it is a
        // starter itself or its class is not below this one's.
        const bool adjacent = starter != no_starter && starter + 1 == composed.size();
        const bool blocked = !adjacent && (last_class == 0 || last_class >= combining_class);
        if (starter != no_starter && !blocked) {
            if (const char32_t composite = composite_of(composed[starter], code)) {
                composed[starter] = composite;
                continue;
            }
        }
        if (combining_class == 0) {
            starter = composed.size();
        }
        last_class = combining_class;
        composed += code;
    }
    return composed;
}
