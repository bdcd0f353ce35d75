// Simple case folding from runs of code points that fold alike, and the
// comparison of two texts folded code point by code point.
#include "common/case_fold.h"

#include "common/utf8.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

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
    while (!a.empty() && !b.empty()) {
        const utf8_code_point from_a = utf8_decode_first(a);
        const utf8_code_point from_b = utf8_decode_first(b);
        if (case_fold(from_a.code) != case_fold(from_b.code)) {
            return false;
        }
        a.remove_prefix(from_a.length);
        b.remove_prefix(from_b.length);
    }
    return a.empty() && b.empty();
}
