// Extended grapheme cluster boundaries: each code point's Grapheme_Cluster_Break
// class and Indic_Conjunct_Break value from the generated table, and rules GB3
// to GB13 of UAX #29 (GB9c's conjuncts included) applied from a cluster's
// start, where no earlier text matters.
#include "common/grapheme.h"

#include "common/utf8.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace {

// The values of Grapheme_Cluster_Break, with Extended_Pictographic (emoji-data)
// as one more. The table's values come first, in its order.
enum class grapheme_class : uint8_t {
    other,
    cr,
    lf,
    control,
    extend,
    zwj,
    regional_indicator,
    prepend,
    spacing_mark,
    l,
    v,
    t,
    hangul_syllable, // in the table only: LV or LVT, told apart by hangul_class
    extended_pictographic,
    lv,
    lvt,
};

// The values of Indic_Conjunct_Break, which rule GB9c joins conjuncts by: a
// consonant, a virama or other sign linking it to the next, or a mark between.
enum class conjunct_role : uint8_t {
    none,
    linker,
    consonant,
    extend,
};

// Where each run of code points of one class and conjunct role starts:
// (first code point << 8) | (role << conjunct_role_shift) | class.
constexpr uint32_t class_starts[] = {
#include "common/grapheme_table.inc"
};
constexpr unsigned conjunct_role_shift = 4;
constexpr uint32_t class_mask = (1u << conjunct_role_shift) - 1;

constexpr char32_t hangul_first_syllable = 0xAC00;
// Syllables follow each other in the order LV, then the 27 LVT with that LV's trailing consonants.
constexpr char32_t hangul_syllables_per_lv = 28;

grapheme_class hangul_class(char32_t syllable)
{
    return (syllable - hangul_first_syllable) % hangul_syllables_per_lv == 0 ? grapheme_class::lv
                                                                             : grapheme_class::lvt;
}

// What the rules need to know of one code point.
struct code_point_kind {
    grapheme_class break_class;
    conjunct_role role;
};

code_point_kind kind_of(char32_t code)
{
    // The last start at or before `code`; the table starts at U+0000.
    const uint32_t key = (static_cast<uint32_t>(code) << 8) | 0xFF;
    const uint32_t start = *(std::upper_bound(std::begin(class_starts), std::end(class_starts), key) - 1);
    const auto found = static_cast<grapheme_class>(start & class_mask);
    const auto role = static_cast<conjunct_role>((start & 0xFF) >> conjunct_role_shift);
    return {found == grapheme_class::hangul_syllable ? hangul_class(code) : found, role};
}

bool is_control_or_line_end(grapheme_class c)
{
    return c == grapheme_class::control || c == grapheme_class::cr || c == grapheme_class::lf;
}

// What the rules need to know of the text before a possible boundary.
struct text_before {
    grapheme_class last;
    // The text ends in Extended_Pictographic Extend* (GB11's left side without its ZWJ).
    bool emoji_with_extends = false;
    // The text ends in Extended_Pictographic Extend* ZWJ.
    bool joined_emoji = false;
    // The text ends in an odd number of regional indicators.
    bool odd_regional_indicators = false;
    // The text ends in a conjunct consonant followed by conjunct marks and linkers.
    bool conjunct_consonant = false;
    // ... and among those a linker (GB9c's left side).
    bool linked_consonant = false;
};

text_before first_code_point(code_point_kind first)
{
    using enum grapheme_class;
    return {first.break_class,
            first.break_class == extended_pictographic,
            false,
            first.break_class == regional_indicator,
            first.role == conjunct_role::consonant,
            false};
}

text_before followed_by(const text_before &before, code_point_kind next_kind)
{
    using enum grapheme_class;
    const grapheme_class next = next_kind.break_class;
    const bool continues_consonant = before.conjunct_consonant && (next_kind.role == conjunct_role::linker ||
                                                                   next_kind.role == conjunct_role::extend);
    return {next,
            next == extended_pictographic || (before.emoji_with_extends && next == extend),
            before.emoji_with_extends && next == zwj,
            next == regional_indicator && !before.odd_regional_indicators,
            next_kind.role == conjunct_role::consonant || continues_consonant,
            continues_consonant && (before.linked_consonant || next_kind.role == conjunct_role::linker)};
}

// Whether a cluster boundary lies between the text `before` and a code point of kind `next_kind`.
bool is_boundary(const text_before &before, code_point_kind next_kind)
{
    using enum grapheme_class;
    const grapheme_class last = before.last;
    const grapheme_class next = next_kind.break_class;
    if (last == cr && next == lf) {
        return false; // GB3
    }
    if (is_control_or_line_end(last) || is_control_or_line_end(next)) {
        return true; // GB4, GB5
    }
    if (last == l && (next == l || next == v || next == lv || next == lvt)) {
        return false; // GB6
    }
    if ((last == lv || last == v) && (next == v || next == t)) {
        return false; // GB7
    }
    if ((last == lvt || last == t) && next == t) {
        return false; // GB8
    }
    if (next == extend || next == zwj || next == spacing_mark || last == prepend) {
        return false; // GB9, GB9a, GB9b
    }
    if (before.linked_consonant && next_kind.role == conjunct_role::consonant) {
        return false; // GB9c
    }
    if (before.joined_emoji && next == extended_pictographic) {
        return false; // GB11
    }
    if (before.odd_regional_indicators && next == regional_indicator) {
        return false; // GB12, GB13
    }
    return true; // GB999
}

} // namespace

size_t grapheme_cluster_end(std::string_view text, size_t start)
{
    if (start >= text.size()) {
        return text.size();
    }
    const utf8_code_point first = utf8_decode_first(text.substr(start));
    text_before before = first_code_point(kind_of(first.code));
    for (size_t at = start + first.length; at < text.size();) {
        const utf8_code_point next = utf8_decode_first(text.substr(at));
        const code_point_kind next_kind = kind_of(next.code);
        if (is_boundary(before, next_kind)) {
            return at;
        }
        before = followed_by(before, next_kind);
        at += next.length;
    }
    return text.size();
}

size_t grapheme_prefix_within(std::string_view text, size_t limit)
{
    if (text.size() <= limit) {
        return text.size();
    }
    size_t kept = 0;
    for (size_t end = grapheme_cluster_end(text, 0); end <= limit; end = grapheme_cluster_end(text, end)) {
        kept = end;
    }
    return kept;
}
