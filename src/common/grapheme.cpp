// Extended grapheme cluster boundaries: each code point's Grapheme_Cluster_Break
// class from the generated table, and rules GB3 to GB13 of UAX #29 applied from
// a cluster's start, where no earlier text matters.
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

// Where each run of code points of one class starts: (first code point << 8) | class.
constexpr uint32_t class_starts[] = {
#include "common/grapheme_table.inc"
};

constexpr char32_t hangul_first_syllable = 0xAC00;
// Syllables follow each other in the order LV, then the 27 LVT with that LV's trailing consonants.
constexpr char32_t hangul_syllables_per_lv = 28;

grapheme_class hangul_class(char32_t syllable)
{
    return (syllable - hangul_first_syllable) % hangul_syllables_per_lv == 0 ? grapheme_class::lv
                                                                             : grapheme_class::lvt;
}

grapheme_class class_of(char32_t code)
{
    // The last start at or before `code`; the table starts at U+0000.
    const uint32_t key = (static_cast<uint32_t>(code) << 8) | 0xFF;
    const uint32_t start = *(std::upper_bound(std::begin(class_starts), std::end(class_starts), key) - 1);
    const auto found = static_cast<grapheme_class>(start & 0xFF);
    return found == grapheme_class::hangul_syllable ? hangul_class(code) : found;
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
};

text_before first_code_point(grapheme_class c)
{
    return {c, c == grapheme_class::extended_pictographic, false, c == grapheme_class::regional_indicator};
}

text_before followed_by(const text_before &before, grapheme_class next)
{
    using enum grapheme_class;
    return {next, next == extended_pictographic || (before.emoji_with_extends && next == extend),
            before.emoji_with_extends && next == zwj,
            next == regional_indicator && !before.odd_regional_indicators};
}

// Whether a cluster boundary lies between the text `before` and a code point of class `next`.
bool is_boundary(const text_before &before, grapheme_class next)
{
    using enum grapheme_class;
    const grapheme_class last = before.last;
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
    text_before before = first_code_point(class_of(first.code));
    for (size_t at = start + first.length; at < text.size();) {
        const utf8_code_point next = utf8_decode_first(text.substr(at));
        const grapheme_class next_class = class_of(next.code);
        if (is_boundary(before, next_class)) {
            return at;
        }
        before = followed_by(before, next_class);
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
